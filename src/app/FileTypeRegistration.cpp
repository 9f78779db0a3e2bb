#include "app/FileTypeRegistration.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include "StringTable.h"
#include "common/UserFolders.h"

namespace km {
namespace {

namespace fs = std::filesystem;

constexpr int kScriptFileDescription = 5021;  // "Tavo Kilnmark Script File"
constexpr int kApplicationTitle = 57344;      // "Tavo Kilnmark"

std::string XmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// Writes `text` to `path`, creating its folder; false on any failure.
bool WriteText(const fs::path& path, const std::string& text) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << text;
  out.close();
  return static_cast<bool>(out);
}

// mimeapps.list with our default-application line set in [Default Applications]; every
// other line is kept.
std::string MergeMimeApps(const std::string& old) {
  const std::string ourLine = std::string(kScriptMimeType) + "=" + kDesktopFileName;
  const std::string prefix = std::string(kScriptMimeType) + "=";
  std::istringstream in(old);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);

  std::vector<std::string> out;
  bool inDefaults = false;
  bool sectionSeen = false;
  bool written = false;
  for (const std::string& l : lines) {
    if (!l.empty() && l[0] == '[') {
      if (inDefaults && !written) {
        out.push_back(ourLine);
        written = true;
      }
      inDefaults = l == "[Default Applications]";
      sectionSeen = sectionSeen || inDefaults;
      out.push_back(l);
      continue;
    }
    if (inDefaults && l.rfind(prefix, 0) == 0) {
      if (!written) {
        out.push_back(ourLine);
        written = true;
      }
      continue;  // an older line for our type
    }
    out.push_back(l);
  }
  if (inDefaults && !written) {
    out.push_back(ourLine);
    written = true;
  }
  if (!sectionSeen) {
    if (!out.empty() && !out.back().empty()) out.push_back("");
    out.push_back("[Default Applications]");
    out.push_back(ourLine);
  }
  std::string text;
  for (const std::string& l : out) text += l + "\n";
  return text;
}

void RunIfPresent(const char* tool, const std::string& folder) {
  const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool));
  if (path.isEmpty()) return;
  QProcess process;
  process.setProgram(path);
  process.setArguments({QString::fromStdString(folder)});
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start();
  process.waitForFinished(30000);
}

}  // namespace

std::string UserDataHome() { return UserBaseFolder("XDG_DATA_HOME", ".local/share"); }

std::string RunningProgramPath() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

std::string DesktopExecLine(const std::string& program) {
  // Inside double quotes the characters " ` $ \ take a backslash; the value itself then
  // escapes every backslash once more, and a literal % is written %%.
  std::string quoted = "\"";
  for (char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (char c : quoted) {
    if (c == '\\') value += '\\';
    value += c;
  }
  return value + " %f";
}

bool RegisterScriptFileType(const std::string& program, const std::string& dataHome,
                            bool runUpdateTools) {
  const fs::path home(dataHome);
  const std::string description = XmlEscape(LoadString(kScriptFileDescription));
  const std::string mime =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
      "  <mime-type type=\"" + std::string(kScriptMimeType) + "\">\n"
      "    <comment>" + description + "</comment>\n"
      "    <glob pattern=\"*.rsq\"/>\n"
      "  </mime-type>\n"
      "</mime-info>\n";
  if (!WriteText(home / "mime" / "packages" / "kilnmark-script.xml", mime)) {
    return false;
  }

  const std::string desktop =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=" + LoadString(kApplicationTitle) + "\n"
      "Exec=" + DesktopExecLine(program) + "\n"
      "Icon=kilnmark\n"
      "Categories=Graphics;RasterGraphics;Qt;\n"
      "MimeType=" + std::string(kScriptMimeType) + ";\n"
      "Terminal=false\n"
      "NoDisplay=false\n";
  const fs::path applications = home / "applications";
  WriteText(applications / kDesktopFileName, desktop);

  std::string old;
  {
    std::ifstream in(applications / "mimeapps.list", std::ios::binary);
    if (in) {
      std::ostringstream s;
      s << in.rdbuf();
      old = s.str();
    }
  }
  WriteText(applications / "mimeapps.list", MergeMimeApps(old));

  if (runUpdateTools) {
    RunIfPresent("update-mime-database", (home / "mime").string());
    RunIfPresent("update-desktop-database", applications.string());
  }
  return true;
}

bool RegisterScriptFileType() {
  return RegisterScriptFileType(RunningProgramPath(), UserDataHome(), true);
}

}  // namespace km
