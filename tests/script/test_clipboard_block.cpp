#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "script/ClipboardBlock.h"

namespace km {
namespace {

TEST(ClipboardBlock, EmptyTextsGiveA46ByteBlockWithTheTwoTerminators) {
  CScriptCommand flip(kFlipImage);  // never edited: every parameter at the unset marker
  const std::vector<std::uint8_t> block = EncodeClipboardBlock(flip);
  ASSERT_EQ(block.size(), 46u);
  // Code 506 = 0x1FA, then Int1 = -650000 = 0xFFF614F0, Real1 = 0xC91EB100.
  const std::vector<std::uint8_t> head = {0xFA, 0x01, 0x00, 0x00, 0xF0, 0x14, 0xF6, 0xFF};
  EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.begin() + 8), head);
  const std::vector<std::uint8_t> real1 = {0x00, 0xB1, 0x1E, 0xC9};
  EXPECT_EQ(std::vector<std::uint8_t>(block.begin() + 24, block.begin() + 28), real1);
  EXPECT_EQ(block[40], 0);
  EXPECT_EQ(block[41], 0);
  for (std::size_t i = 42; i < 46; ++i) EXPECT_EQ(block[i], 0) << i;
}

TEST(ClipboardBlock, ColoursComeBeforeTheZeroTerminatedTexts) {
  CScriptCommand palette(kApplyNewPalette);
  palette.Int1 = 2;
  palette.Text1 = "/tmp/web.pal";  // 12 characters
  palette.Text2.append(1, 'a').append(1, 'b');
  palette.Color1 = 0x00FF8000;       // red 0, green 128, blue 255
  palette.Color2 = 0x01020304;
  const std::vector<std::uint8_t> block = EncodeClipboardBlock(palette);
  ASSERT_EQ(block.size(), 12u + 2u + 46u);
  EXPECT_EQ(block[4], 2);
  const std::vector<std::uint8_t> colours = {0x00, 0x80, 0xFF, 0x00, 0x04, 0x03, 0x02, 0x01};
  EXPECT_EQ(std::vector<std::uint8_t>(block.begin() + 32, block.begin() + 40), colours);
  EXPECT_EQ(std::string(block.begin() + 40, block.begin() + 52), "/tmp/web.pal");
  EXPECT_EQ(block[52], 0);
  EXPECT_EQ(block[53], 'a');
  EXPECT_EQ(block[54], 'b');
  EXPECT_EQ(block[55], 0);

  CScriptCommand pasted;
  ASSERT_TRUE(DecodeClipboardBlock(block.data(), block.size(), &pasted));
  EXPECT_EQ(pasted.Code, kApplyNewPalette);
  EXPECT_EQ(pasted.Int1, 2);
  EXPECT_EQ(pasted.Int2, kUnsetParam);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(pasted.Real2), kUnsetRealBits);
  EXPECT_EQ(pasted.Text1, "/tmp/web.pal");
  EXPECT_EQ(pasted.Text2, "ab");
  EXPECT_EQ(pasted.Color1, 0x00FF8000u);
  EXPECT_EQ(pasted.Color2, 0x01020304u);
}

TEST(ClipboardBlock, ShortOrUnterminatedBlocksAreRefusedAndChangeNothing) {
  CScriptCommand source(kGammaCorrection);
  source.Text1 = "xyz";
  std::vector<std::uint8_t> block = EncodeClipboardBlock(source);

  CScriptCommand target(kBlur);
  target.Text1 = "keep";
  EXPECT_FALSE(DecodeClipboardBlock(block.data(), 39, &target));
  // 40 bytes of numbers and a first text without its zero.
  EXPECT_FALSE(DecodeClipboardBlock(block.data(), 43, &target));
  // Text1 terminated, Text2 not: the block ends at the first terminator.
  EXPECT_FALSE(DecodeClipboardBlock(block.data(), 44, &target));
  EXPECT_EQ(target.Code, kBlur);
  EXPECT_EQ(target.Text1, "keep");

  // The smallest acceptable block: the numbers and two terminators, without the tail.
  EXPECT_TRUE(DecodeClipboardBlock(block.data(), 45, &target));
  EXPECT_EQ(target.Code, kGammaCorrection);
  EXPECT_EQ(target.Text1, "xyz");
  EXPECT_EQ(target.Text2, "");
}

}  // namespace
}  // namespace km
