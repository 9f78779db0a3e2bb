#pragma once

// The About box: its title, its version line and the "System information:" lines.
// The lines are built from a SystemFacts record so they can be checked exactly; the
// GUI fills the display part from its screen, CollectSystemFacts the rest.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace km {

struct DisplayFacts {
  int bitsPerPixel = 0;  // bits per pixel times planes
  int paletteSize = 0;   // colours of a fixed hardware palette; 0 when not paletted
  int width = 0;         // resolution in pixels
  int height = 0;
};

struct SystemFacts {
  std::string buildDate;  // as the compiler gives it ("Dec  7 2026")
  std::string buildTime;  // "21:03:14"
  unsigned memoryLoad = 0;  // percent of physical memory in use
  std::uint64_t totalPhysical = 0;
  std::uint64_t availablePhysical = 0;
  std::uint64_t totalPaging = 0;      // swap space
  std::uint64_t availablePaging = 0;
  std::optional<std::uint64_t> tempFreeBytes;  // free space where temporary files go
  DisplayFacts display;
  int displayDepth = 0;   // the application's display depth (DisplayDepth())
  std::string osName;     // "Linux"
  int osMajor = 0;
  int osMinor = 0;
  std::string osInfo;     // the distribution's name; the line is left out when empty
};

// "1.00": major 1, minor 0 written as two digits.
std::string VersionText();

// "About Tavo Kilnmark" (2061 with the application title).
std::string AboutTitle();

// "Version 1.00" (2062, a space, the version text).
std::string AboutVersionLine();

// One memory line: format `id` (15042 ... 15046) with the amount and its unit. Below
// 1 MB (the count with its low 10 bits cleared is at most 0xFFC00) the count / 1024
// with "KB", else count / 1024 / 1024 with "MB", by integer division.
std::string AmountLine(int id, std::uint64_t bytes);

// The list box lines, in order.
std::vector<std::string> AboutBoxLines(const SystemFacts& facts);

// Memory, temporary-folder space and operating system as this machine reports them
// (/proc/meminfo, the temporary folder, uname and /etc/os-release), the build date and
// time of this program, and the given display.
SystemFacts CollectSystemFacts(const DisplayFacts& display, int displayDepth);

}  // namespace km
