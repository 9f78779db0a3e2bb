#include "app/AboutInfo.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <sys/utsname.h>

#include "StringTable.h"

namespace km {
namespace {

constexpr int kApplicationTitle = 57344;

// The value of `key` in /proc/meminfo, in bytes (the file counts in kB).
std::optional<std::uint64_t> MemInfo(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key + ":", 0) == 0) {
      std::istringstream fields(line.substr(key.size() + 1));
      std::uint64_t kb = 0;
      if (fields >> kb) return kb * 1024;
    }
  }
  return std::nullopt;
}

std::string ReadFile(const char* path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// PRETTY_NAME of /etc/os-release without its quotes.
std::string DistributionName() {
  std::istringstream in(ReadFile("/etc/os-release"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("PRETTY_NAME=", 0) == 0) {
      std::string v = line.substr(12);
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
      }
      return v;
    }
  }
  return {};
}

}  // namespace

std::string VersionText() { return FormatText("%i.%i%i", {1, 0, 0}); }

std::string AboutTitle() { return FormatString(2061, LoadString(kApplicationTitle)); }

std::string AboutVersionLine() { return LoadString(2062) + " " + VersionText(); }

std::string AmountLine(int id, std::uint64_t bytes) {
  if ((bytes & ~std::uint64_t{0x3FF}) <= 0xFFC00) {
    return FormatString(id, bytes / 1024, LoadString(15041));
  }
  return FormatString(id, bytes / 1024 / 1024, LoadString(15040));
}

std::vector<std::string> AboutBoxLines(const SystemFacts& f) {
  std::vector<std::string> lines;
  lines.push_back(LoadString(15032));
  lines.push_back(LoadString(15033) + f.buildDate + " @ " + f.buildTime);
  lines.push_back(LoadString(15034) + LoadString(15036));
  lines.push_back(LoadString(15038));
  lines.push_back(FormatString(15039, f.memoryLoad));
  lines.push_back(AmountLine(15042, f.totalPhysical));
  lines.push_back(AmountLine(15043, f.availablePhysical));
  lines.push_back(AmountLine(15044, f.totalPaging));
  lines.push_back(AmountLine(15045, f.availablePaging));
  if (f.tempFreeBytes) {
    lines.push_back(AmountLine(15046, *f.tempFreeBytes));
  }
  lines.push_back(LoadString(15047));
  lines.push_back(FormatString(15048, f.display.bitsPerPixel));
  int depth = f.display.bitsPerPixel == 32 ? 24 : f.display.bitsPerPixel;
  std::uint64_t colors = depth >= 0 && depth < 64 ? std::uint64_t{1} << depth : 0;
  lines.push_back(FormatString(15049, colors));
  lines.push_back(FormatString(15060, f.displayDepth));
  lines.push_back(f.display.paletteSize == 0 ? LoadString(15050)
                                             : FormatString(15051, f.display.paletteSize));
  lines.push_back(FormatString(15052, f.display.width, f.display.height));
  lines.push_back(LoadString(15053));
  lines.push_back(LoadString(15054) + f.osName);
  lines.push_back(FormatString(15058, f.osMajor, f.osMinor));
  if (!f.osInfo.empty()) {
    lines.push_back(FormatString(15059, f.osInfo));
  }
  return lines;
}

SystemFacts CollectSystemFacts(const DisplayFacts& display, int displayDepth) {
  SystemFacts f;
  f.buildDate = __DATE__;
  f.buildTime = __TIME__;
  const std::string meminfo = ReadFile("/proc/meminfo");
  f.totalPhysical = MemInfo(meminfo, "MemTotal").value_or(0);
  f.availablePhysical =
      MemInfo(meminfo, "MemAvailable").value_or(MemInfo(meminfo, "MemFree").value_or(0));
  f.totalPaging = MemInfo(meminfo, "SwapTotal").value_or(0);
  f.availablePaging = MemInfo(meminfo, "SwapFree").value_or(0);
  if (f.totalPhysical > 0 && f.availablePhysical <= f.totalPhysical) {
    f.memoryLoad = static_cast<unsigned>((f.totalPhysical - f.availablePhysical) * 100 / f.totalPhysical);
  }
  std::error_code ec;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  if (!ec) {
    const std::filesystem::space_info space = std::filesystem::space(temp, ec);
    if (!ec) f.tempFreeBytes = space.available;
  }
  f.display = display;
  f.displayDepth = displayDepth;
  struct utsname u {};
  if (::uname(&u) == 0) {
    f.osName = u.sysname;
    std::istringstream release(u.release);
    char dot = 0;
    release >> f.osMajor >> dot >> f.osMinor;
  }
  f.osInfo = DistributionName();
  return f;
}

}  // namespace km
