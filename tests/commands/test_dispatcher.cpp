#include <gtest/gtest.h>

#include <memory>

#include "commands/Dispatcher.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

using test::GetPixel;
using test::MakeDib;
using test::MakeGrey;
using test::MakeRgb;

// A script of one command with the given parameters.
struct OneCommand {
  CScript script;
  CScriptCommand* command;
  explicit OneCommand(int code) {
    command = script.Append(std::make_unique<CScriptCommand>(code));
    command->Int1 = command->Int2 = command->Int3 = command->Int4 = command->Int5 = 0;
  }
  int run(const Dib* source, DibHandle* out, ProgressWindow progress = nullptr) const {
    return DoCommand(script, 0, source, out, progress, nullptr, 0);
  }
};

// A 256-colour image whose table is not the grey ramp.
DibHandle MakePalette8(int w, int h) {
  DibHandle dib = MakeDib(w, h, 8, 256);
  for (int i = 0; i < 256; ++i) {
    dib->colors()[i] = RgbQuad{static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i), 7, 0};
  }
  test::FillRandom(*dib, 3);
  return dib;
}

class CancelAtOnce : public ProgressSink {
public:
  void report(int) override {}
  bool cancelled() override { return true; }
};

TEST(Dispatcher, RefusesBadIndexMissingImagesAndUnknownCodes) {
  OneCommand one(515);
  DibHandle img = MakeRgb(2, 2, 1, 2, 3);
  DibHandle out;
  EXPECT_EQ(DoCommand(one.script, 1, img.get(), &out, nullptr, nullptr, 0), kErrBadArgument);
  EXPECT_EQ(DoCommand(one.script, -1, img.get(), &out, nullptr, nullptr, 0), kErrBadArgument);
  EXPECT_EQ(DoCommand(one.script, 0, nullptr, &out, nullptr, nullptr, 0), kErrBadArgument);
  EXPECT_EQ(DoCommand(one.script, 0, img.get(), nullptr, nullptr, nullptr, 0), kErrBadArgument);

  for (int code : {0, 500, 557, -3}) {
    OneCommand bad(code);
    out = MakeRgb(1, 1, 0, 0, 0);  // a stale value must be cleared
    EXPECT_EQ(bad.run(img.get(), &out), kErrNotImplemented) << code;
    EXPECT_EQ(out, nullptr);
  }
}

TEST(Dispatcher, EveryCatalogueCodeIsWired) {
  DibHandle img = MakeRgb(8, 8, 90, 120, 200);
  for (int code = kFirstCommandCode; code <= kLastCommandCode; ++code) {
    OneCommand one(code);
    DibHandle out;
    EXPECT_NE(one.run(img.get(), &out), kErrNotImplemented) << code;
  }
}

TEST(Dispatcher, TrueColourCommandsRefusePaletteImagesButTakeGreyscale) {
  OneCommand edge(531);
  DibHandle palette8 = MakePalette8(6, 6);
  DibHandle out;
  EXPECT_EQ(edge.run(palette8.get(), &out), kErrNeedsTrueColor);
  EXPECT_EQ(out, nullptr);

  OneCommand to24(523);
  DibHandle rgb;
  ASSERT_EQ(to24.run(palette8.get(), &rgb), 0);
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(rgb->bitCount(), 24);
  EXPECT_EQ(edge.run(rgb.get(), &out), 0);
  EXPECT_NE(out, nullptr);

  DibHandle grey = MakeGrey(6, 6, 100);
  EXPECT_EQ(edge.run(grey.get(), &out), 0);
  EXPECT_NE(out, nullptr);

  DibHandle four = MakeDib(6, 6, 4);
  EXPECT_EQ(edge.run(four.get(), &out), kErrNeedsTrueColor);
}

TEST(Dispatcher, ResizeTargetsFromTheSizeChoice) {
  OneCommand one(501);
  one.command->Int1 = 6;
  one.command->Int3 = 320;
  one.command->Int2 = 0;
  DibHandle big = MakeRgb(640, 480, 10, 20, 30);
  DibHandle out;
  ASSERT_EQ(one.run(big.get(), &out), 0);
  EXPECT_EQ(out->width(), 320);
  EXPECT_EQ(out->height(), 240);

  one.command->Int1 = 7;
  one.command->Int4 = 100;
  DibHandle wide = MakeRgb(300, 200, 10, 20, 30);
  ASSERT_EQ(one.run(wide.get(), &out), 0);
  EXPECT_EQ(out->width(), 150);
  EXPECT_EQ(out->height(), 100);

  // "Resample only" needs true colour; automatic falls back to the plain resize.
  DibHandle four = MakeDib(40, 30, 4);
  one.command->Int1 = 0;
  one.command->Int2 = 1;
  EXPECT_EQ(one.run(four.get(), &out), kErrNeedsTrueColor);
  one.command->Int2 = 0;
  ASSERT_EQ(one.run(four.get(), &out), 0);
  EXPECT_EQ(out->width(), 320);
  EXPECT_EQ(out->height(), 200);
  EXPECT_EQ(out->bitCount(), 4);
}

TEST(Dispatcher, CanvasCentresWithTheOddPixelRightAndBottom) {
  CanvasBorders b;
  ASSERT_TRUE(CanvasBordersFor(101, 101, 104, 104, true, &b));
  EXPECT_EQ(b.left, 1);
  EXPECT_EQ(b.right, 2);
  EXPECT_EQ(b.top, 1);
  EXPECT_EQ(b.bottom, 2);
  ASSERT_TRUE(CanvasBordersFor(100, 50, 130, 60, false, &b));
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.top, 0);
  EXPECT_EQ(b.right, 30);
  EXPECT_EQ(b.bottom, 10);

  OneCommand one(510);
  one.command->Int1 = 1;
  one.command->Int2 = 104;
  one.command->Int3 = 104;
  one.command->Color1 = km::MakeRgb(9, 8, 7);
  DibHandle img = MakeRgb(101, 101, 200, 200, 200);
  DibHandle out;
  ASSERT_EQ(one.run(img.get(), &out), 0);
  EXPECT_EQ(out->width(), 104);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0x090807u);
  EXPECT_EQ(GetPixel(*out, 1, 1), 0xC8C8C8u);
  EXPECT_EQ(GetPixel(*out, 101, 101), 0xC8C8C8u);
  EXPECT_EQ(GetPixel(*out, 102, 101), 0x090807u);

  one.command->Int2 = 90;
  one.command->Int3 = 200;
  DibHandle square = MakeRgb(100, 100, 1, 1, 1);
  EXPECT_EQ(one.run(square.get(), &out), kErrCanvasTooSmall);
  EXPECT_EQ(out, nullptr);
}

TEST(Dispatcher, BordersOnPaletteImagesUseTheNearestTableEntry) {
  DibHandle img = MakeDib(3, 2, 4);
  img->colors()[5] = RgbQuad{0, 0, 250, 0};  // red-ish
  OneCommand one(509);
  one.command->Int1 = 1;  // left
  one.command->Color1 = km::MakeRgb(255, 0, 0);
  DibHandle out;
  ASSERT_EQ(one.run(img.get(), &out), 0);
  EXPECT_EQ(out->width(), 4);
  EXPECT_EQ(GetPixel(*out, 0, 0), 5u);
  EXPECT_EQ(GetPixel(*out, 1, 0), 0u);
}

TEST(Dispatcher, BrightnessZeroStillRunsContrastZero) {
  OneCommand one(502);
  DibHandle img = MakeGrey(4, 1);
  const std::uint8_t values[4] = {0, 1, 254, 255};
  for (int x = 0; x < 4; ++x) {
    img->row(0)[x] = values[x];
  }
  DibHandle out;
  ASSERT_EQ(one.run(img.get(), &out), 0);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->row(0)[0], 0);
  EXPECT_EQ(out->row(0)[1], 0);
  EXPECT_EQ(out->row(0)[2], 253);
  EXPECT_EQ(out->row(0)[3], 255);
}

TEST(Dispatcher, CommandsThatLeaveTheImageAnswerZeroWithoutImage) {
  struct Case {
    int code;
    DibHandle image;
  };
  Case cases[] = {{521, MakeDib(5, 5, 4)}, {522, MakePalette8(5, 5)}, {523, MakeRgb(5, 5, 1, 2, 3)},
                  {520, MakeDib(5, 5, 1)}, {544, MakeRgb(5, 5, 1, 2, 3)}};
  for (auto& c : cases) {
    OneCommand one(c.code);
    DibHandle out = MakeRgb(1, 1, 0, 0, 0);
    EXPECT_EQ(one.run(c.image.get(), &out), 0) << c.code;
    EXPECT_EQ(out, nullptr) << c.code;
  }
  // An optimised palette with ordered dither is not applied.
  OneCommand optimised(522);
  optimised.command->Int1 = 0;
  optimised.command->Int2 = 1;
  DibHandle rgb = MakeRgb(5, 5, 1, 2, 3);
  DibHandle out;
  EXPECT_EQ(optimised.run(rgb.get(), &out), 0);
  EXPECT_EQ(out, nullptr);
}

TEST(Dispatcher, StandardPalettesFindTheirLookupFileBesideTheProgram) {
  DibHandle rgb = MakeRgb(7, 5, 250, 10, 10);
  for (int method : {0, 1, 2}) {
    OneCommand to256(522);
    to256.command->Int1 = 2;  // standard palette
    to256.command->Int2 = method;
    DibHandle out;
    ASSERT_EQ(to256.run(rgb.get(), &out), 0) << method;
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->bitCount(), 8);

    OneCommand to16(521);
    to16.command->Int1 = 2;
    to16.command->Int2 = method;
    ASSERT_EQ(to16.run(rgb.get(), &out), 0) << method;
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->bitCount(), 4);
  }
}

TEST(Dispatcher, OptimisedPaletteReductionGathersFromTheImage) {
  DibHandle rgb = MakeRgb(6, 6, 0, 0, 0);
  for (int x = 0; x < 6; ++x) {
    test::SetPixel(*rgb, x, 0, 0xFF0000);  // a red top row on black
  }
  OneCommand one(521);
  one.command->Int1 = 0;  // median cut
  one.command->Int2 = 0;  // nearest colour
  DibHandle out;
  ASSERT_EQ(one.run(rgb.get(), &out), 0);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->bitCount(), 4);
  const RgbQuad top = out->colors()[GetPixel(*out, 0, 0)];
  const RgbQuad bottom = out->colors()[GetPixel(*out, 0, 5)];
  EXPECT_EQ(top.rgbRed, 255);
  EXPECT_EQ(top.rgbGreen, 0);
  EXPECT_EQ(bottom.rgbRed, 0);
}

TEST(Dispatcher, PaletteFileOnTwoColourImageIsRefusedBeforeReading) {
  OneCommand one(518);
  one.command->Text1 = "/nonexistent/folder/palette.pal";
  DibHandle mono = MakeDib(8, 8, 1);
  DibHandle out;
  EXPECT_EQ(one.run(mono.get(), &out), kErrTwoColorPalette);
  DibHandle four = MakeDib(8, 8, 4);
  EXPECT_EQ(one.run(four.get(), &out), 201);  // the reader's "cannot open"
  EXPECT_EQ(out, nullptr);
}

TEST(Dispatcher, FreeRotationNeedsTrueColourRightAnglesDoNot) {
  OneCommand one(508);
  one.command->Int2 = 3;
  one.command->Int1 = 45;
  DibHandle sixteen = MakeDib(4, 3, 4);
  test::FillRandom(*sixteen, 9);
  DibHandle out;
  EXPECT_EQ(one.run(sixteen.get(), &out), kErrNeedsTrueColor);

  one.command->Int2 = 1;  // 180
  ASSERT_EQ(one.run(sixteen.get(), &out), 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(GetPixel(*out, x, y), GetPixel(*sixteen, 3 - x, 2 - y));
    }
  }
}

TEST(Dispatcher, CancelGivesHundredAndNoImage) {
  CancelAtOnce cancel;
  DibHandle img = MakeRgb(16, 16, 50, 60, 70);
  for (int code : {502, 506, 513, 537, 555}) {
    OneCommand one(code);
    one.command->Int1 = 10;
    DibHandle out;
    EXPECT_EQ(one.run(img.get(), &out, &cancel), 100) << code;
    EXPECT_EQ(out, nullptr) << code;
  }
}

TEST(Dispatcher, SourceIsNeverChanged) {
  DibHandle img = MakeRgb(9, 7, 10, 200, 30);
  test::FillRandom(*img, 5);
  const std::vector<std::uint8_t> before(img->data(), img->data() + img->size());
  for (int code = kFirstCommandCode; code <= kLastCommandCode; ++code) {
    OneCommand one(code);
    one.command->Int1 = 2;
    one.command->Int2 = 2;
    one.command->Int3 = 2;
    DibHandle out;
    one.run(img.get(), &out);
    ASSERT_TRUE(std::equal(before.begin(), before.end(), img->data())) << code;
  }
}

}  // namespace
}  // namespace km
