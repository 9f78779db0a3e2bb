#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "commands/Describe.h"

namespace km {
namespace {

CScriptCommand Make(int code, int i1 = kUnsetParam, int i2 = kUnsetParam, int i3 = kUnsetParam,
                    int i4 = kUnsetParam, int i5 = kUnsetParam) {
  CScriptCommand c(code);
  c.Int1 = i1;
  c.Int2 = i2;
  c.Int3 = i3;
  c.Int4 = i4;
  c.Int5 = i5;
  return c;
}

CScriptCommand WithColor(CScriptCommand c, std::uint32_t color) {
  c.Color1 = color;
  return c;
}

struct DescribeCase {
  const char* name;
  CScriptCommand command;
  std::string want;
};

void PrintTo(const DescribeCase& c, std::ostream* os) { *os << c.name; }

class Describe : public ::testing::TestWithParam<DescribeCase> {};

TEST_P(Describe, Text) { EXPECT_EQ(DescribeCommand(GetParam().command), GetParam().want); }

CScriptCommand Gamma(float g) {
  CScriptCommand c(511);
  c.Real1 = g;
  return c;
}

CScriptCommand Output(int type, int sub, const char* folder) {
  CScriptCommand c = Make(544, type, sub, 300, 15, 0);
  c.Text1 = folder;
  return c;
}

CScriptCommand Palette(int method, const char* path) {
  CScriptCommand c = Make(518, method);
  c.Text1 = path;
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Describe,
    ::testing::Values(
        DescribeCase{"hmsDefaults", Make(505, 100, 50, 0), "Highlight: 100\nMidtone: 50\nShadow: 0"},
        DescribeCase{"resizeWidth", Make(501, 6, 0, 320, 100),
                     "Size Image To:\n  320 x (Maintain Aspect)\nResize or Resample:\n  Use Appropriate Method"},
        DescribeCase{"resizeHeight", Make(501, 7, 2, 100, 200),
                     "Size Image To:\n  (Maintain Aspect) x 200\nResize or Resample:\n  Resize"},
        DescribeCase{"resizeFixed", Make(501, 4, 1), "Size Image To:\n  1024 x 768\nResize or Resample:\n  Resample"},
        DescribeCase{"resizeCustomZero", Make(501, 5, 0, 0, 50),
                     "Size Image To:\n  (Maintain Aspect) x 50\nResize or Resample:\n  Use Appropriate Method"},
        DescribeCase{"gamma", Gamma(1.2f), "Correction: 1.20"},
        DescribeCase{"gammaUnset", CScriptCommand(511), "Correction: -650000.00"},
        DescribeCase{"optimizedWithWindows", Make(519, 236, 1, 1, 0, 1),
                     "Number of colors: 256\nApply using:\n  Optimized Octree Palette\n  Error Diffusion Dither\n"
                     "  Include Windows Colors\n  Don't Reduce Color Bleed"},
        DescribeCase{"optimizedPlain", Make(519, 256, 0, 0, 1, 0),
                     "Number of colors: 256\nApply using:\n  Optimized Median Cut Palette\n  Nearest Color Match\n"
                     "  Don't Include Windows Colors\n  Reduce Color Bleed"},
        DescribeCase{"twoColorsOrdered", Make(520, 2, 1, 1, 0),
                     "If needed, dither using:\n  Green components\n  Non Weighted Palette\n  Ordered Dither"},
        DescribeCase{"twoColorsStucki", Make(520, 0, 0, 2, 2),
                     "If needed, dither using:\n  Grey Values\n  Weighted Palette\n  Stucki Error Diffusion"},
        DescribeCase{"sixteen", Make(521, 2, 2, 1),
                     "If needed, dither using:\n  Standard Palette\n  Error Diffusion Dither\n  Reduce Color Bleed"},
        DescribeCase{"twoFiftySix", Make(522, 0, 1, 1, 0),
                     "If needed, dither using:\n  Optimized Median Cut Palette\n  Ordered Dither\n"
                     "  Include Windows Colors\n  Don't Reduce Color Bleed"},
        DescribeCase{"jpgProgressive", Output(9, 1, "/srv/out"),
                     "File Type:\n  JPG - JPEG File Interchange Format\nFile Sub-Type:\n  Progressive Encoding\nOutput Folder:\n  /srv/out"},
        DescribeCase{"tifLzw", Output(24, 2, "/o"),
                     "File Type:\n  TIF - Tagged Image File Format\nFile Sub-Type:\n  LZW Compressed\nOutput Folder:\n  /o"},
        DescribeCase{"pgmShared", Output(16, 1, ""),
                     "File Type:\n  PGM - Portable Greymap\nFile Sub-Type:\n  Binary Encoded\nOutput Folder:\n  "},
        DescribeCase{"clpNone", Output(1, 0, "/o"), "File Type:\n  CLP - Windows Clipboard\nFile Sub-Type:\n  None\nOutput Folder:\n  /o"},
        DescribeCase{"wmfNone", Output(25, 3, "/o"), "File Type:\n  WMF - Windows Metafile\nFile Sub-Type:\n  None\nOutput Folder:\n  /o"},
        DescribeCase{"bmpSubTypeOutOfList", Output(0, 5, "/o"),
                     "File Type:\n  BMP - OS/2 or Windows Bitmap\nFile Sub-Type:\n  \nOutput Folder:\n  /o"},
        DescribeCase{"blur", Make(537), "None"},
        DescribeCase{"unknownCode", Make(999), "None"},
        DescribeCase{"rotateFree", WithColor(Make(508, 45, 3, 1), 0x00FF8000u),
                     "Direction: Left\nDegrees: 45\nColor: R:0 G:128 B:255"},
        DescribeCase{"rotate270", Make(508, 45, 2, 0), "Direction: Right\nDegrees: 270\nColor: R:0 G:0 B:0"},
        DescribeCase{"borders", WithColor(Make(509, 1, 2, 3, 4), 0x000000FFu),
                     "Left: 1\nRight: 2\nTop: 3\nBottom: 4\nColor: R:255 G:0 B:0"},
        DescribeCase{"canvasCentre", Make(510, 1, 640, 480), "New Width: 640\nNew Height: 480\nCenter Image\nColor: R:0 G:0 B:0"},
        DescribeCase{"canvasCorner", Make(510, 0, 64, 48),
                     "New Width: 64\nNew Height: 48\nPlace image in upper left\nColor: R:0 G:0 B:0"},
        DescribeCase{"palette", Palette(2, "/p/web.pal"), "File: /p/web.pal\nApply using:\n  Maintain Indexes"},
        DescribeCase{"paletteDither", Palette(1, "a.pal"), "File: a.pal\nApply using:\n  Error Diffusion Dithering"},
        DescribeCase{"wind", Make(547, 1, 7), "Strength: 7\nDirection: Left"},
        DescribeCase{"noise", Make(550, 1, 40), "Type: Uniform\nAmount: 40"},
        DescribeCase{"mosaic", Make(556, 4, 5, 0), "Block Width: 4\nBlock Height: 5"},
        DescribeCase{"skew", Make(549, -10, 20), "Horizontal: -10\nVertical: 20\nColor: R:0 G:0 B:0"},
        DescribeCase{"circle", WithColor(Make(545), 0x00010203u), "Color: R:3 G:2 B:1"},
        DescribeCase{"unsetBrightness", Make(502), "Brightness: -650000\nContrast: -650000"},
        DescribeCase{"unsetOptimized", Make(519),
                     "Number of colors: -650000\nApply using:\n  Optimized Octree Palette\n  Error Diffusion Dither\n\n"},
        DescribeCase{"hugeCount", Make(519, 2147483647, 1, 0, 0, 0),
                     "Number of colors: 2147483667\nApply using:\n  Optimized Median Cut Palette\n  Nearest Color Match\n"
                     "  Include Windows Colors\n  Don't Reduce Color Bleed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DescribeScript, BadIndexLeavesTextAlone) {
  CScript s;
  s.Append(std::make_unique<CScriptCommand>(537));
  std::string text = "before";
  EXPECT_FALSE(DescribeCommand(s, 1, &text));
  EXPECT_FALSE(DescribeCommand(s, -1, &text));
  EXPECT_EQ(text, "before");
  EXPECT_TRUE(DescribeCommand(s, 0, &text));
  EXPECT_EQ(text, "None");
}

TEST(DescribeScript, EveryCatalogueCodeDescribes) {
  for (int code = kFirstCommandCode; code <= kLastCommandCode; ++code) {
    CScriptCommand c(code);
    EXPECT_FALSE(DescribeCommand(c).empty()) << code;
  }
}

TEST(DescribeScript, OutputTypeNames) {
  EXPECT_EQ(OutputTypeName(0), "BMP - OS/2 or Windows Bitmap");
  EXPECT_EQ(OutputTypeName(26), "WPG - WordPerfect");
  EXPECT_EQ(OutputTypeName(27), "");
  EXPECT_EQ(OutputTypeName(-1), "");
  EXPECT_EQ(OutputSubTypeName(23, 5), "24 Bit - Uncompressed");
  EXPECT_EQ(OutputSubTypeName(3, 0), "OS/2");
  EXPECT_EQ(OutputSubTypeName(-650000, 0), "None");
}

}  // namespace
}  // namespace km
