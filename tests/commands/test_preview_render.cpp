// The widget-free half of the dialogs' live preview: the fit rule, the frame of 80 x 80
// dialog units, the clamps and the values that skip the operation, and every previewing
// command at the ends of its ranges.

#include <gtest/gtest.h>

#include "commands/Dispatcher.h"
#include "commands/PreviewRender.h"
#include "script/CommandCatalogue.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

TEST(PreviewRender, FitsWidthFirstThenHeight) {
  // 276 x 187 into 116 x 126: by width, 187 * 116 / 276 = 78.
  EXPECT_EQ(FitToFrame(276, 187, {116, 126}).width, 116);
  EXPECT_EQ(FitToFrame(276, 187, {116, 126}).height, 78);
  // A tall picture: by width 100 x 400 would be too tall; by height 300 * 50 / 200 = 75.
  EXPECT_EQ(FitToFrame(300, 200, {100, 50}).width, 75);
  EXPECT_EQ(FitToFrame(300, 200, {100, 50}).height, 50);
  // Small pictures grow to the frame; a sliver keeps one pixel.
  EXPECT_EQ(FitToFrame(10, 5, {100, 100}).height, 50);
  EXPECT_EQ(FitToFrame(1000, 1, {100, 100}).height, 1);
}

TEST(PreviewRender, FrameOfEightyDialogUnits) {
  // 6 x 13 font: 80 * 6 / 4 = 120 and 80 * 13 / 8 = 130 pixels, less 4 each.
  const FrameSize area = PreviewArea(kClassicCharWidth, kClassicCharHeight);
  EXPECT_EQ(area.width, 116);
  EXPECT_EQ(area.height, 126);
}

TEST(PreviewRender, ScalesTrueColourByResamplingAndPalettesByResizing) {
  DibHandle rgb = test::MakeRgb(40, 20, 10, 20, 30);
  DibHandle scaled;
  ASSERT_EQ(ScaleToFrame(rgb.get(), {10, 10}, &scaled), 0);
  EXPECT_EQ(scaled->width(), 10);
  EXPECT_EQ(scaled->height(), 5);
  EXPECT_EQ(scaled->bitCount(), 24);
  // A 4-bit picture keeps its depth and table (nearest neighbour).
  DibHandle four = test::MakeDib(8, 8, 4);
  four->colors()[3] = RgbQuad{1, 2, 3, 0};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) test::SetPixel(*four, x, y, 3);
  }
  ASSERT_EQ(ScaleToFrame(four.get(), {4, 4}, &scaled), 0);
  EXPECT_EQ(scaled->bitCount(), 4);
  EXPECT_EQ(test::GetPixel(*scaled, 3, 3), 3u);
  EXPECT_EQ(scaled->colors()[3].rgbRed, 3);
  EXPECT_NE(ScaleToFrame(nullptr, {4, 4}, &scaled), 0);
  EXPECT_EQ(scaled, nullptr);
}

TEST(PreviewRender, ClampsToTheShownRanges) {
  CScriptCommand posterize(kPosterizeImage);
  posterize.Int1 = 50;
  EXPECT_EQ(ClampedForPreview(posterize, 10, 10).Int1, 7);
  CScriptCommand warp(kVerticalCylinder);
  warp.Int1 = 100;  // accepted on OK, but the preview stops at the arrows' 99
  EXPECT_EQ(ClampedForPreview(warp, 10, 10).Int1, 99);
  CScriptCommand gamma(kGammaCorrection);
  gamma.Real1 = 9.0f;
  EXPECT_FLOAT_EQ(ClampedForPreview(gamma, 10, 10).Real1, 4.99f);
  CScriptCommand noise(kAddNoise);
  noise.Int1 = 7;  // a choice, not a number: left alone
  noise.Int2 = -5;
  EXPECT_EQ(ClampedForPreview(noise, 10, 10).Int1, 7);
  EXPECT_EQ(ClampedForPreview(noise, 10, 10).Int2, 0);
}

TEST(PreviewRender, UnchangedValuesSkipTheOperation) {
  CScriptCommand hms(kHighlightMidtoneShadow);
  hms.Int1 = 100;
  hms.Int2 = 50;
  hms.Int3 = 0;
  EXPECT_TRUE(LeavesPictureUnchanged(hms));
  hms.Int2 = 51;
  EXPECT_FALSE(LeavesPictureUnchanged(hms));
  CScriptCommand wind(kWind);
  wind.Int1 = 1;
  wind.Int2 = 0;
  EXPECT_TRUE(LeavesPictureUnchanged(wind));
  CScriptCommand skew(kSkew);
  skew.Int1 = 0;
  skew.Int2 = 0;
  EXPECT_TRUE(LeavesPictureUnchanged(skew));
  EXPECT_FALSE(LeavesPictureUnchanged(CScriptCommand(kPosterizeImage)));

  DibHandle picture = test::MakeRgb(30, 20, 90, 60, 30);
  DibHandle shown = test::MakeRgb(1, 1, 0, 0, 0);
  EXPECT_EQ(RenderPreview(picture.get(), wind, {30, 30}, 30, 20, nullptr, &shown), 0);
  EXPECT_EQ(shown, nullptr);
}

TEST(PreviewRender, AGrownPictureIsFittedAgain) {
  // Skew 45 degrees across makes the picture wider than the frame: fitted back in.
  DibHandle picture = test::MakeRgb(40, 20, 200, 100, 50);
  CScriptCommand skew(kSkew);
  skew.Int1 = 45;
  skew.Int2 = 0;
  DibHandle shown;
  ASSERT_EQ(RenderPreview(picture.get(), skew, {40, 40}, 40, 20, nullptr, &shown), 0);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->width(), 40);
  EXPECT_LT(shown->height(), 20);
}

TEST(PreviewRender, MatchesTheDispatcherAndReportsItsRefusals) {
  DibHandle picture = test::MakeRgb(30, 20, 10, 120, 240);
  test::FillRandom(*picture, 5);
  CScriptCommand solarize(kSolarizeImage);
  solarize.Int1 = 255;  // clamped to 254 for the preview
  DibHandle shown;
  ASSERT_EQ(RenderPreview(picture.get(), solarize, {30, 30}, 30, 20, nullptr, &shown), 0);
  CScript script;
  CScriptCommand clamped = solarize;
  clamped.Int1 = 254;
  script.Append(std::make_unique<CScriptCommand>(clamped));
  DibHandle direct;
  ASSERT_EQ(DoCommand(script, 0, picture.get(), &direct, nullptr, nullptr, 0), 0);
  EXPECT_TRUE(test::SamePixels(*shown, *direct));

  DibHandle palette = test::MakeDib(30, 20, 8);
  CScriptCommand pinch(kPinch);
  pinch.Int1 = 30;
  EXPECT_EQ(RenderPreview(palette.get(), pinch, {30, 30}, 30, 20, nullptr, &shown), kErrNeedsTrueColor);
  EXPECT_EQ(shown, nullptr);
}

// Every previewing command succeeds at both ends of each number's shown range and at
// its opening defaults, so no error box greets a freshly opened dialog.
TEST(PreviewRender, EveryPreviewRunsAcrossItsRanges) {
  DibHandle picture = test::MakeRgb(60, 40, 0, 0, 0);
  test::FillRandom(*picture, 9);
  int previews = 0;
  for (const CommandInfo& info : CommandCatalogue()) {
    if (!info.dialog.preview) continue;
    ++previews;
    for (int end = 0; end < 3; ++end) {
      CScriptCommand c(info.code);
      for (const FieldDef& f : info.fields) {
        const Range r = ShownRange(f, 60, 40);
        const std::int32_t v = end == 0 ? OpeningValue(f, kUnsetParam, 60, 40) : end == 1 ? r.min : r.max;
        if (auto m = IntMember(f.field)) c.*m = v;
        if (auto m = RealMember(f.field)) c.*m = static_cast<float>(v) / static_cast<float>(f.scale);
      }
      if (end == 0) {
        if (auto m = RealMember(Field::kReal1); info.code == kGammaCorrection) c.*m = 1.2f;
      }
      DibHandle shown;
      EXPECT_EQ(RenderPreview(picture.get(), c, {60, 60}, 60, 40, nullptr, &shown), 0)
          << info.code << " at end " << end;
    }
  }
  EXPECT_EQ(previews, 20);
}

}  // namespace
}  // namespace km
