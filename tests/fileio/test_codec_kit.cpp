// The codec kit the decoders share: PackBits both ways, the decode budget at its edges,
// reading a file's head, and what every decoder and information call answers for a
// null out pointer.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "CodecTestUtil.h"
#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/PackBits.h"

namespace km::imgx {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- PackBits ----

// 2, 0xAA, 0xBB, 0xCC: three literals; 0xFD, 7: 7 four times; 0x80: nothing; 0, 9: one literal.
const Bytes kRuns = {2, 0xAA, 0xBB, 0xCC, 0xFD, 7, 0x80, 0, 9};
const Bytes kPlain = {0xAA, 0xBB, 0xCC, 7, 7, 7, 7, 9};

TEST(PackBits, FillStopsWhenTheRowIsFullAndLeavesTheReaderThere) {
  Bytes stream = kRuns;
  stream.push_back(0x55);  // the next row's first byte
  ByteReader in(stream);
  Bytes out(kPlain.size());
  EXPECT_EQ(UnpackBits(in, out.data(), out.size()), RunResult::kOk);
  EXPECT_EQ(out, kPlain);
  EXPECT_EQ(in.remaining(), 1u);
}

TEST(PackBits, FillTellsOverrunFromTruncation) {
  Bytes out(6);  // two short of what the runs make: the run of four overruns
  ByteReader over(kRuns);
  EXPECT_EQ(UnpackBits(over, out.data(), out.size()), RunResult::kOverrun);

  Bytes wide(9);  // one more than the runs make: the data ends first
  ByteReader shortData(kRuns);
  EXPECT_EQ(UnpackBits(shortData, wide.data(), wide.size()), RunResult::kTruncated);

  const Bytes cut = {3, 1, 2};  // four literals promised, two there
  ByteReader in(cut);
  EXPECT_EQ(UnpackBits(in, out.data(), 4), RunResult::kTruncated);
  const Bytes noValue = {0xFE};  // a repeat without its byte
  ByteReader in2(noValue);
  EXPECT_EQ(UnpackBits(in2, out.data(), 3), RunResult::kTruncated);
}

TEST(PackBits, AllBitsReadsEveryRunAndLeavesTheRestAlone) {
  Bytes out(10, 0xEE);
  ByteReader in(kRuns);
  EXPECT_EQ(UnpackAllBits(in, out.data(), out.size(), 1), RunResult::kOk);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), kPlain);
  EXPECT_EQ(out[8], 0xEE);
  EXPECT_EQ(out[9], 0xEE);

  ByteReader over(kRuns);
  EXPECT_EQ(UnpackAllBits(over, out.data(), 7, 1), RunResult::kOverrun);
}

TEST(PackBits, WordItemsRepeatAndCopyPairs) {
  // 1: two literal words; 0xFE: one word three times.
  const Bytes runs = {1, 0x12, 0x34, 0x56, 0x78, 0xFE, 0xAB, 0xCD};
  Bytes out(10);
  ByteReader in(runs);
  ASSERT_EQ(UnpackAllBits(in, out.data(), out.size(), 2), RunResult::kOk);
  EXPECT_EQ(out, (Bytes{0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD, 0xAB, 0xCD, 0xAB, 0xCD}));

  const Bytes halfWord = {0xFE, 0xAB};
  ByteReader cut(halfWord);
  EXPECT_EQ(UnpackAllBits(cut, out.data(), out.size(), 2), RunResult::kTruncated);
}

TEST(PackBits, PackedRowsUnpackToThemselves) {
  Bytes row;
  for (int i = 0; i < 300; ++i) {
    row.push_back(static_cast<std::uint8_t>(i < 140 ? 5 : (i < 200 ? i : (i / 3) * 3)));
  }
  Bytes packed;
  PackBits(row.data(), row.size(), &packed);
  EXPECT_LT(packed.size(), row.size());
  Bytes back(row.size());
  ByteReader in(packed);
  ASSERT_EQ(UnpackBits(in, back.data(), back.size()), RunResult::kOk);
  EXPECT_EQ(back, row);
  EXPECT_EQ(in.remaining(), 0u);
}

// ---- The decode budget ----

TEST(DecodeBudget, FreeUpTo64MiBThenAtMostRatioTimesTheData) {
  const std::uint64_t free = kFreeDecodeBytes;  // 67108864
  EXPECT_TRUE(WithinBudget(free, 1, 0, 1));
  EXPECT_FALSE(WithinBudget(free + 1, 1, 0, 1000));
  // 8192 rows of 8193 bytes = 67117056 bytes; at ratio 64 they need 1048704 bytes.
  EXPECT_TRUE(WithinBudget(8193, 8192, 1048704, 64));
  EXPECT_FALSE(WithinBudget(8193, 8192, 1048703, 64));
  // A ratio that does not divide the size: 67117056 / 1000 rounds up to 67118.
  EXPECT_TRUE(WithinBudget(8193, 8192, 67118, 1000));
  EXPECT_FALSE(WithinBudget(8193, 8192, 67117, 1000));
}

TEST(DecodeBudget, SizesBeyond64BitsAndHugeDataDoNotWrap) {
  EXPECT_FALSE(WithinBudget(std::uint64_t{1} << 40, std::uint64_t{1} << 30, UINT64_MAX, UINT64_MAX));
  EXPECT_TRUE(WithinBudget(std::uint64_t{1} << 40, 1, UINT64_MAX, 2));
  EXPECT_FALSE(WithinBudget(std::uint64_t{1} << 40, 1, 0, UINT64_MAX));
}

// ---- Files ----

TEST(FileHead, ReadsAtMostTheHeadAndReportsAMissingFile) {
  test::TempFolder dir("kit");
  test::WriteBytes(dir.path("f"), Bytes{1, 2, 3, 4, 5});
  Bytes head;
  ASSERT_EQ(ReadFileHead(dir.path("f"), 3, &head), kOk);
  EXPECT_EQ(head, (Bytes{1, 2, 3}));
  ASSERT_EQ(ReadFileHead(dir.path("f"), 100, &head), kOk);
  EXPECT_EQ(head.size(), 5u);
  EXPECT_EQ(ReadFileHead(dir.path("none"), 3, &head), kCannotOpen);
  EXPECT_TRUE(head.empty());
}

// A null out pointer is the caller's mistake: 101 from every entry point, before the
// file is even looked at (the path here does not exist).
TEST(NullOut, EveryDecoderAndInformationCallAnswersInvalidParameter) {
  const std::string none = "/nonexistent/kilnmark/x";
  const std::vector<std::pair<const char*, std::function<Code()>>> calls = {
      {"BMP", [&] { return DecodeBMP(nullptr, none, nullptr); }},
      {"CISRLE", [&] { return DecodeCISRLE(nullptr, none, nullptr); }},
      {"CLP", [&] { return DecodeCLP(nullptr, none, nullptr); }},
      {"CUT", [&] { return DecodeCUT(nullptr, none, nullptr); }},
      {"IFF", [&] { return DecodeIFF(nullptr, none, nullptr); }},
      {"IMG", [&] { return DecodeIMG(nullptr, none, nullptr); }},
      {"JPG", [&] { return DecodeJPG(nullptr, none, nullptr); }},
      {"MAC", [&] { return DecodeMAC(nullptr, none, nullptr); }},
      {"MSP", [&] { return DecodeMSP(nullptr, none, nullptr); }},
      {"PCX", [&] { return DecodePCX(nullptr, none, nullptr); }},
      {"PIC", [&] { return DecodePIC(nullptr, none, nullptr); }},
      {"PICT", [&] { return DecodePICT(nullptr, none, nullptr); }},
      {"PSD", [&] { return DecodePSD(nullptr, none, nullptr); }},
      {"PXM", [&] { return DecodePXM(nullptr, none, nullptr); }},
      {"RAS", [&] { return DecodeRAS(nullptr, none, nullptr); }},
      {"WPG", [&] { return DecodeWPG(nullptr, none, nullptr); }},
      {"GIF", [&] { return DecodeGIF(nullptr, none, nullptr, nullptr); }},
      {"PNG", [&] { return DecodePNG(nullptr, none, nullptr, nullptr, nullptr); }},
      {"TGA", [&] { return DecodeTGA(nullptr, none, nullptr, nullptr); }},
      {"TIF", [&] { return DecodeTIF(nullptr, none, nullptr, nullptr); }},
      {"PCD", [&] { return DecodePCD(nullptr, none, nullptr, 3); }},
      {"info BMP", [&] { return InfoBMP(none, nullptr); }},
      {"info PCX", [&] { return InfoPCX(none, nullptr); }},
      {"info TIF", [&] { return InfoTIF(none, nullptr); }},
      {"info WPG", [&] { return InfoWPG(none, nullptr); }},
      {"type", [&] { return ImageType(none, nullptr); }},
      {"RLE kind", [&] { return PickRLEType(none, nullptr); }},
  };
  for (const auto& [name, call] : calls) {
    EXPECT_EQ(call(), kInvalidParameter) << name;
  }
  DibHandle dib;
  EXPECT_EQ(DecodeBMP(nullptr, none, &dib), kCannotOpen);  // with an out pointer, the file is looked at
}

}  // namespace
}  // namespace km::imgx
