#include "console/ScriptText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "StringTable.h"
#include "commands/Describe.h"
#include "common/SystemError.h"
#include "console/ConsoleRunner.h"
#include "script/ScriptFile.h"
#include "script/ScriptJson.h"

namespace km {
namespace {

constexpr char kDescribe[] = "--describe";
constexpr char kToJson[] = "--to-json";
constexpr char kFromJson[] = "--from-json";
constexpr int kTextCommandHeading = 2660;  // "%d. %s"
constexpr int kTextOptionUsage = 2667;
constexpr int kTextUnknownCode = 2668;
constexpr int kTextJsonNotRead = 2686;
constexpr char kDescriptionIndent[] = "    ";

void Describe(const CScript& script, std::ostream& out) {
  for (int i = 0; i < script.GetCount(); ++i) {
    const CScriptCommand& c = *script.GetAt(i);
    std::string name = CommandName(c.Code);
    if (name.empty()) name = FormatString(kTextUnknownCode, std::to_string(c.Code));
    out << FormatString(kTextCommandHeading, i + 1, name) << '\n';
    // Every line of the text, an empty one too (a value with no text), indented.
    const std::string text = DescribeCommand(c);
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
      end = text.find('\n', start);
      const std::string_view line = std::string_view(text).substr(start, end - start);
      out << (line.empty() ? "" : kDescriptionIndent) << line << '\n';
    }
  }
}

// The whole of a file, or of standard input for "-".
bool ReadText(const std::string& path, std::string* text, std::string* message) {
  std::string reason;
  if (path != "-" && !CanOpenForReading(path, &reason)) {
    *message = FormatString(kTextJsonNotRead, reason);
    return false;
  }
  errno = 0;
  std::FILE* f = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (!f) {
    *message = FormatString(kTextJsonNotRead, SystemErrorText(errno));
    return false;
  }
  text->clear();
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) text->append(chunk, got);
  const int err = std::ferror(f) ? (errno ? errno : EIO) : 0;
  if (f != stdin) std::fclose(f);
  if (err != 0) {
    *message = FormatString(kTextJsonNotRead, SystemErrorText(err));
    return false;
  }
  return true;
}

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::string* message) {
  const std::string& option = arguments[0];
  if (option == kDescribe || option == kToJson) {
    if (arguments.size() != 2) {
      *message = LoadString(kTextOptionUsage);
      return kExitRefused;
    }
    CScript script;
    ScriptFileExtras extras;
    const bool json = option == kToJson;
    if (ReadScriptFile(arguments[1], &script, message, json ? &extras : nullptr) != 0) return kExitRefused;
    if (!json) {
      Describe(script, out);
      return kExitConverted;
    }
    std::string text;
    if (!ScriptToJson(script, &extras, &text, message)) return kExitRefused;
    out << text << std::flush;
    return kExitConverted;
  }
  if (option == kFromJson && arguments.size() == 3) {
    std::string text;
    if (!ReadText(arguments[1], &text, message)) return kExitRefused;
    CScript script;
    ScriptFileExtras extras;
    if (!JsonToScript(text, &script, &extras, message)) return kExitRefused;
    return WriteScriptFile(arguments[2], script, message, &extras) == 0 ? kExitConverted : kExitRefused;
  }
  *message = LoadString(kTextOptionUsage);
  return kExitRefused;
}

}  // namespace

bool RunScriptTextOption(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                         int* status) {
  const bool given = std::any_of(arguments.begin(), arguments.end(), [](const std::string& a) {
    return a == kDescribe || a == kToJson || a == kFromJson;
  });
  if (!given) return false;
  std::string message;
  *status = Run(arguments, out, &message);
  if (*status != kExitConverted) err << message << '\n';
  return true;
}

}  // namespace km
