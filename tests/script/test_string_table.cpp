#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "StringTable.h"

namespace km {
namespace {

// res/strings.txt, the text source of the compiled table, with its escapes undone.
std::map<int, std::string> ReadStringsFile() {
  std::ifstream in(std::string(KILNMARK_TEST_DATA) + "/../../res/strings.txt");
  std::map<int, std::string> entries;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    auto tab = line.find('\t');
    if (tab == std::string::npos) {
      ADD_FAILURE() << "line without a tab: " << line;
      continue;
    }
    std::string text;
    for (std::size_t i = tab + 1; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        char e = line[++i];
        text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
      } else {
        text += line[i];
      }
    }
    int id = std::stoi(line.substr(0, tab));
    EXPECT_TRUE(entries.emplace(id, text).second) << "duplicate id " << id;
  }
  return entries;
}

TEST(StringTable, CompiledTableMatchesTextSource) {
  auto file = ReadStringsFile();
  ASSERT_GT(file.size(), 300u);
  ASSERT_EQ(static_cast<std::size_t>(StringCount()), file.size());
  for (const auto& [id, text] : file) {
    EXPECT_TRUE(HasString(id)) << id;
    EXPECT_EQ(LoadString(id), text) << id;
  }
  for (int i = 1; i < StringCount(); ++i) EXPECT_LT(StringIdAt(i - 1), StringIdAt(i));
}

TEST(StringTable, MissingIdIsEmpty) {
  EXPECT_EQ(LoadString(5016), "");
  EXPECT_EQ(LoadString(557), "");
  EXPECT_EQ(LoadString(-1), "");
  EXPECT_FALSE(HasString(0));
}

TEST(StringTable, SampleTexts) {
  EXPECT_EQ(LoadString(2068), "This does not appear to be a valid script file");
  EXPECT_EQ(LoadString(1506), "Correction: %.2f");
  EXPECT_EQ(LoadString(15033), " Build Date:\t\t");
  EXPECT_EQ(LoadString(2024), "The filename \"%s\" is in use. Do you wish to overwrite this file?");
  EXPECT_EQ(LoadString(1700), "BMP - OS/2 or Windows Bitmap|*.BMP|");
  EXPECT_EQ(LoadString(1726), "WPG - WordPerfect|*.WPG||");
  EXPECT_EQ(LoadString(57344), "Tavo Kilnmark");
  EXPECT_EQ(LoadString(2086),
            "The specified script does not include a \"Set Output Options\" command.  This command "
            "is required for any script which is to be used in batch mode.");
  EXPECT_EQ(LoadString(1537), "Log - TAVO Log File|*.log||\n");
  EXPECT_EQ(LoadString(15058), " Version\t\t\t%i.%i");
  EXPECT_EQ(LoadString(1545), "  Don't Include Windows Colors");
  EXPECT_EQ(LoadString(1544), "  Include Windows Colors");
  EXPECT_EQ(LoadString(1546), "  Reduce Color Bleed");
  EXPECT_EQ(LoadString(2048), "Random");
  EXPECT_EQ(LoadString(102), "UNTITLED");
  EXPECT_EQ(LoadString(520), "Change to 2 colors (1 bit)");
  EXPECT_EQ(LoadString(522), "Change to 256 colors (8 Bit)");
  EXPECT_EQ(LoadString(1811), "Windows RGB Encoded");
  EXPECT_EQ(LoadString(1611), "TVO - TAVO|*.TVO|");
  EXPECT_EQ(LoadString(1608), "GIF - CompuServe|*.GIF|");
}

struct FormatCase {
  const char* name;
  std::string got;
  std::string want;
};

class Formatting : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Formatting, Fills) { EXPECT_EQ(GetParam().got, GetParam().want); }

INSTANTIATE_TEST_SUITE_P(
    Table, Formatting,
    ::testing::Values(
        FormatCase{"ld", FormatString(1505, 10, -20), "Brightness: 10\nContrast: -20"},
        FormatCase{"real", FormatString(1506, 1.2f), "Correction: 1.20"},
        FormatCase{"realRounds", FormatString(1506, 0.005), "Correction: 0.01"},
        FormatCase{"string", FormatString(2067, std::string("disk full")),
                   "The script could not be loaded because disk full"},
        FormatCase{"unknown", FormatString(5018, 5099), "An unknown error (5099) has occurred"},
        FormatCase{"lu", FormatString(15042, 8u, "MB"), " Total Physical Memory\t8MB"},
        FormatCase{"bigUnsigned", FormatString(15049, 16777216ul), " Number of Colors\t\t16777216"},
        FormatCase{"two", FormatString(2070, 3, 12), "Processing File 3 of 12"},
        FormatCase{"percent", FormatText("100%% of %d", {7}), "100% of 7"},
        FormatCase{"missingArg", FormatText("a%db%sc", {1}), "a1bc"},
        FormatCase{"textForNumber", FormatText("<%ld>", {"x"}), "<0>"},
        FormatCase{"numberForText", FormatText("<%s>", {42}), "<42>"},
        FormatCase{"unfinished", FormatText("50%", {}), "50%"},
        FormatCase{"unknownConv", FormatText("%q%d", {3}), "%q3"},
        FormatCase{"width", FormatText("[%5d|%-3s]", {42, "a"}), "[   42|a  ]"},
        FormatCase{"long", FormatText("%s", {std::string(300, 'z')}), std::string(300, 'z')}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace km
