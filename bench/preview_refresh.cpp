// One refresh of a parameter dialog's live preview for every command that has one: the
// built-in 276 x 187 picture scaled into the 80 x 80 dialog-unit frame (116 x 78 with
// the 6 x 13 dialog font), then the command applied through RenderPreview as the dialog
// does on the thread pool. The scaling, done once per dialog, is measured on its own.
// Each refresh should stay well under 30 ms of CPU so typing never waits on the picture.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "commands/PreviewRender.h"
#include "imaging/Dib.h"
#include "script/CommandCatalogue.h"

namespace km {
namespace {

DibHandle BuiltInPicture() {
  std::ifstream file(KILNMARK_SOURCE_DIR "/res/Preview.bmp", std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  constexpr std::size_t kFileHeader = 14;
  DibHandle dib;
  if (bytes.size() > kFileHeader) {
    bytes.erase(bytes.begin(), bytes.begin() + kFileHeader);
    Dib::FromBytes(std::move(bytes), &dib);
  }
  return dib;
}

const FrameSize kArea = PreviewArea(kClassicCharWidth, kClassicCharHeight);

const Dib* Scaled() {
  static const DibHandle scaled = [] {
    const DibHandle picture = BuiltInPicture();
    DibHandle out;
    ScaleToFrame(picture.get(), kArea, &out);
    return out;
  }();
  return scaled.get();
}

// A setting of each command that changes the picture; the motion blur at its longest.
CScriptCommand Setting(int code) {
  CScriptCommand c(code);
  c.Color1 = 0x00808080;
  switch (code) {
    case kBrightnessContrast: c.Int1 = 20; c.Int2 = 10; break;
    case kAdjustRGB: c.Int1 = 30; c.Int2 = 0; c.Int3 = -20; break;
    case kAdjustHSL: c.Int1 = 10; c.Int2 = -40; c.Int3 = 5; break;
    case kHighlightMidtoneShadow: c.Int1 = 90; c.Int2 = 70; c.Int3 = 10; break;
    case kGammaCorrection: c.Real1 = 2.5f; break;
    case kPosterizeImage: c.Int1 = 3; break;
    case kSolarizeImage: c.Int1 = 100; break;
    case kColorizeImage: c.Int1 = 120; c.Int2 = 128; break;
    case kHorizontalPerspective: c.Int1 = -40; break;
    case kVerticalPerspective: c.Int1 = 50; break;
    case kUnsharpen: c.Int1 = 10; c.Int2 = 4; break;
    case kWind: c.Int1 = 0; c.Int2 = 20; break;
    case kMotionBlur: c.Int1 = 45; c.Int2 = 40; break;
    case kSkew: c.Int1 = 20; c.Int2 = 0; break;
    case kAddNoise: c.Int1 = 0; c.Int2 = 30; break;
    case kMosaic: c.Int1 = 5; c.Int2 = 5; break;
    default: c.Int1 = 60; break;  // the warps
  }
  return c;
}

void BM_ScaleIntoFrame(benchmark::State& state) {
  const DibHandle picture = BuiltInPicture();
  for (auto _ : state) {
    DibHandle out;
    benchmark::DoNotOptimize(ScaleToFrame(picture.get(), kArea, &out));
  }
}
BENCHMARK(BM_ScaleIntoFrame)->Unit(benchmark::kMillisecond);

void BM_Refresh(benchmark::State& state) {
  const CScriptCommand c = Setting(static_cast<int>(state.range(0)));
  const Dib* scaled = Scaled();
  for (auto _ : state) {
    DibHandle shown;
    const int code = RenderPreview(scaled, c, kArea, 276, 187, nullptr, &shown);
    if (code != 0 || !shown) {
      state.SkipWithError("the preview failed or changed nothing");
      break;
    }
  }
  state.SetLabel(CommandName(c.Code));
}

void PreviewingCommands(benchmark::internal::Benchmark* b) {
  for (const CommandInfo& info : CommandCatalogue()) {
    if (info.dialog.preview) b->Arg(info.code);
  }
}
BENCHMARK(BM_Refresh)->Apply(PreviewingCommands)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace km
