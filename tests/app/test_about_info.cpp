#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AboutInfo.h"

namespace km {
namespace {

TEST(About, TitleAndVersion) {
  EXPECT_EQ(VersionText(), "1.00");
  EXPECT_EQ(AboutTitle(), "About Tavo Kilnmark");
  EXPECT_EQ(AboutVersionLine(), "Version 1.00");
}

TEST(About, AmountAndUnit) {
  EXPECT_EQ(AmountLine(15042, 8u * 1024 * 1024), " Total Physical Memory\t8MB");
  EXPECT_EQ(AmountLine(15045, 512u * 1024), " Available Paging Memory\t512KB");
  // The switch to MB: the count with its low 10 bits cleared above 0xFFC00.
  EXPECT_EQ(AmountLine(15043, 0xFFFFF), " Available Physical Memory\t1023KB");
  EXPECT_EQ(AmountLine(15043, 0x100000), " Available Physical Memory\t1MB");
  EXPECT_EQ(AmountLine(15044, 0x1FFFFF), " Total Paging Memory\t1MB");
  EXPECT_EQ(AmountLine(15046, 1023), " Temp Drive Free Space\t0KB");
  EXPECT_EQ(AmountLine(15042, 64ull << 30), " Total Physical Memory\t65536MB");  // no 4 GB limit
}

SystemFacts Sample() {
  SystemFacts f;
  f.buildDate = "Dec  7 2026";
  f.buildTime = "21:00:00";
  f.memoryLoad = 42;
  f.totalPhysical = 8u << 20;
  f.availablePhysical = 3u << 20;
  f.totalPaging = 16u << 20;
  f.availablePaging = 512u << 10;
  f.tempFreeBytes = 700u << 10;
  f.display = {32, 0, 1920, 1080};
  f.displayDepth = 24;
  f.osName = "Linux";
  f.osMajor = 6;
  f.osMinor = 1;
  f.osInfo = "Debian GNU/Linux 12 (bookworm)";
  return f;
}

TEST(About, LinesInOrder) {
  const std::vector<std::string> want = {
      "Tavo Kilnmark Build Information",
      " Build Date:\t\tDec  7 2026 @ 21:00:00",
      " Build Mode:\t\tRelease",
      "Memory / Drive Status:",
      " Memory Load Index\t42 pcnt.",
      " Total Physical Memory\t8MB",
      " Available Physical Memory\t3MB",
      " Total Paging Memory\t16MB",
      " Available Paging Memory\t512KB",
      " Temp Drive Free Space\t700KB",
      "Video Driver Information:",
      " Bits Per Pixel\t\t32",
      " Number of Colors\t\t16777216",
      " DIB Output\t\t24BPP",
      " Palette Size\t\tNon-Paletted",
      " Resolution\t\t1920 x 1080",
      "Operating System Information:",
      " Operating System\t\tLinux",
      " Version\t\t\t6.1",
      " Additional Info\t\tDebian GNU/Linux 12 (bookworm)",
  };
  EXPECT_EQ(AboutBoxLines(Sample()), want);
}

TEST(About, OptionalLinesAndPalettedDisplays) {
  SystemFacts f = Sample();
  f.tempFreeBytes.reset();
  f.osInfo.clear();
  f.display = {4, 16, 640, 480};
  f.displayDepth = 4;
  auto lines = AboutBoxLines(f);
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[9], "Video Driver Information:");
  EXPECT_EQ(lines[11], " Number of Colors\t\t16");
  EXPECT_EQ(lines[12], " DIB Output\t\t4BPP");
  EXPECT_EQ(lines[13], " Palette Size\t\t16");
  EXPECT_EQ(lines.back(), " Version\t\t\t6.1");
}

TEST(About, CollectsThisMachine) {
  SystemFacts f = CollectSystemFacts({24, 0, 800, 600}, 24);
  EXPECT_GT(f.totalPhysical, 0u);
  EXPECT_LE(f.availablePhysical, f.totalPhysical);
  EXPECT_LE(f.memoryLoad, 100u);
  EXPECT_FALSE(f.osName.empty());
  EXPECT_FALSE(f.buildDate.empty());
  EXPECT_GE(AboutBoxLines(f).size(), 18u);
}

}  // namespace
}  // namespace km
