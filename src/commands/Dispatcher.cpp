#include "commands/Dispatcher.h"

#include <array>
#include <cstdlib>

#include "common/ProgramFile.h"
#include "imaging/filters/Filters.h"
#include "imaging/geometry/Geometry.h"
#include "imaging/palette/Palette.h"
#include "imaging/tone/Tone.h"
#include "script/CommandCatalogue.h"

namespace km {

namespace {

// What every command sees of its source, taken once per call.
struct Source {
  const Dib* dib = nullptr;
  int width = 0;
  int height = 0;
  int bits = 0;
  bool trueColorOrGrey = false;
  int red = 0;  // Color1 split into bytes
  int green = 0;
  int blue = 0;
  int nearest = 0;  // the colour-table entry nearest to Color1 (below 24 bits)
};

int Code(OpResult r) { return LowCode(r); }

// Stores an operation's image and answers its code.
int Finish(OpResult r, DibHandle& made, DibHandle* result) {
  if (Code(r) != 0) {
    return Code(r);
  }
  *result = std::move(made);
  return 0;
}

// Everything an operation is run with: the command, the facts of its source, the
// fixed arguments of its catalogue row, and where the new image goes.
struct Call {
  const CScriptCommand& c;
  const Source& s;
  ProgressWindow progress;
  const RgbQuad* palette;  // 519 only
  int paletteCount;
  OperationArgs args;
  DibHandle* out;
};

using Runner = int (*)(const Call&);

int Resize(const Call& k) {
  const Source& s = k.s;
  if (k.c.Int2 == 1 && !s.trueColorOrGrey) {
    return kErrNeedsTrueColor;
  }
  int w = 0;
  int h = 0;
  if (!ResizeTarget(k.c, s.width, s.height, &w, &h)) {
    return Code(kInvalidArgument);
  }
  bool resample = false;
  switch (k.c.Int2) {
    case 0: resample = s.trueColorOrGrey; break;
    case 1: resample = true; break;
    case 2: resample = false; break;
    default: return Code(kInvalidArgument);
  }
  if (resample) {
    return Code(ResampleDIB(k.progress, s.dib, k.out, w, h));
  }
  return Code(ResizeDIB(k.progress, s.dib, k.out, static_cast<std::int16_t>(w), static_cast<std::int16_t>(h)));
}

int BrightnessContrast(const Call& k) {
  const CScriptCommand& c = k.c;
  if (c.Int1 == 0) {
    return Code(ToneCurveDIB(k.progress, k.s.dib, k.out, c.Int2, ToneCurveKind::Contrast));
  }
  DibHandle first;
  const OpResult r = ToneCurveDIB(k.progress, k.s.dib, &first, c.Int1, ToneCurveKind::Brightness);
  if (Code(r) != 0 || c.Int2 == 0) {
    return Finish(r, first, k.out);
  }
  return Code(ToneCurveDIB(k.progress, first.get(), k.out, c.Int2, ToneCurveKind::Contrast));
}

int Rotate(const Call& k) {
  const Source& s = k.s;
  int angle = 0;
  switch (k.c.Int2) {
    case 0: angle = 90; break;
    case 1: angle = 180; break;
    case 2: angle = 270; break;
    case 3: angle = k.c.Int1; break;
    default: return Code(kInvalidArgument);
  }
  if (!s.trueColorOrGrey && angle != 90 && angle != 180 && angle != 270) {
    return kErrNeedsTrueColor;
  }
  const int clockwise = k.c.Int3 == 0 ? 1 : 0;
  const int first = s.trueColorOrGrey ? s.red : s.nearest;
  return Code(RotateDIB(k.progress, s.dib, k.out, angle, clockwise, first, s.green, s.blue));
}

int AddBorders(const Call& k, int top, int bottom, int right, int left) {
  const Source& s = k.s;
  if (s.bits == 24) {
    return Code(AddBordersDIB(k.progress, s.dib, k.out, top, bottom, right, left, s.red, s.green, s.blue));
  }
  return Code(AddBordersDIB(k.progress, s.dib, k.out, top, bottom, right, left, s.nearest, 0, 0));
}

int Borders(const Call& k) { return AddBorders(k, k.c.Int3, k.c.Int4, k.c.Int2, k.c.Int1); }

int Canvas(const Call& k) {
  CanvasBorders b;
  if (!CanvasBordersFor(k.s.width, k.s.height, k.c.Int2, k.c.Int3, k.c.Int1 == 1, &b)) {
    return kErrCanvasTooSmall;
  }
  return AddBorders(k, b.top, b.bottom, b.right, b.left);
}

int Greyscale(const Call& k) {
  const Source& s = k.s;
  if (s.bits >= 8) {
    return Code(GreyscaleDIB(k.progress, s.dib, k.out));
  }
  DibHandle raised;
  const OpResult r = IncreaseDIBDepth(k.progress, s.dib, &raised, 8);
  if (Code(r) != 0) {
    return Code(r);
  }
  return Code(GreyscaleDIB(k.progress, raised.get(), k.out));
}

int ApplyPaletteFile(const Call& k) {
  const CScriptCommand& c = k.c;
  const Source& s = k.s;
  if (s.bits == 1) {
    return kErrTwoColorPalette;
  }
  std::array<RgbQuad, kPaletteEntries> palette{};
  int count = 0;
  OpResult r = ReadTextPalette(c.Text1, palette.data(), &count);
  if (Code(r) == Code(kNotAPalette)) {
    r = ReadRiffPalette(c.Text1, palette.data(), &count);
  }
  if (Code(r) != 0) {
    return Code(r);
  }
  const Dib* from = s.dib;
  DibHandle raised;
  if (s.bits == 4 && count == 256) {
    r = IncreaseDIBDepth(k.progress, s.dib, &raised, 8);
    if (Code(r) != 0) {
      return Code(r);
    }
    from = raised.get();
  }
  switch (c.Int1) {
    case 0:
    case 1:
      return Code(MapDIBToPalette(k.progress, from, k.out, count == 16 ? 4 : 8, palette.data(),
                                  c.Int1 == 0 ? 0 : 2, false, count));
    case 2:
      return Code(MaintainIndexesDIB(from, k.out, count, palette.data()));
    default:
      return Code(kInvalidArgument);
  }
}

int FullyOptimized(const Call& k) {
  if (k.palette == nullptr) {
    return Code(kInvalidArgument);
  }
  const Source& s = k.s;
  const Dib* from = s.dib;
  DibHandle raised;
  if (s.bits < 24) {
    const OpResult r = IncreaseDIBDepth(k.progress, s.dib, &raised, 24);
    if (Code(r) != 0) {
      return Code(r);
    }
    from = raised.get();
  }
  const int usable = k.paletteCount + (k.c.Int2 == 1 ? kWindowsColorCount : 0);
  const bool diffuse = k.c.Int3 == 1;
  return Code(MapDIBToPalette(nullptr, from, k.out, 8, k.palette, diffuse ? 2 : 0, diffuse && k.c.Int4 != 0, usable));
}

int TwoColors(const Call& k) {
  const CScriptCommand& c = k.c;
  if (k.s.bits <= 2) {
    return 0;
  }
  const bool weighted = c.Int2 == 0;
  switch (c.Int3) {
    case 0: return Code(ReduceTo2Colors(k.progress, k.s.dib, k.out, 0, c.Int1, weighted));
    case 1: return Code(OrderedDither2(k.progress, k.s.dib, k.out, c.Int1));
    case 2: return Code(ReduceTo2Colors(k.progress, k.s.dib, k.out, c.Int4 + 1, c.Int1, weighted));
    default: return Code(kInvalidArgument);
  }
}

// 521 (target depth 4) and 522 (8): raise smaller images, reduce larger ones with an
// optimised or the standard palette.
int ReduceColors(const Call& k) {
  const CScriptCommand& c = k.c;
  const Source& s = k.s;
  const int targetBits = k.args.a;
  if (s.bits == targetBits) {
    return 0;
  }
  if (s.bits < targetBits) {
    return Code(IncreaseDIBDepth(k.progress, s.dib, k.out, targetBits));
  }
  const int method = c.Int2;
  const int bleed = targetBits == 4 ? c.Int3 : c.Int4;
  if (c.Int1 == 2) {
    return Code(StandardPaletteDIB(k.progress, s.dib, k.out, targetBits, method, bleed != 0,
                                   ProgramFilePath("PALX.DAT")));
  }
  if (c.Int1 != 0 && c.Int1 != 1) {
    return Code(kInvalidArgument);
  }
  if (method == 1) {
    return 0;  // an optimised palette is never ordered-dithered: the image stays
  }
  if (method != 0 && method != 2) {
    return Code(kInvalidArgument);
  }
  const bool windows = targetBits == 8 && c.Int3 == 1;
  std::array<RgbQuad, kPaletteEntries> palette{};
  int count = 0;
  OpResult r = GatherImagePalette(s.dib, c.Int1, targetBits == 4 ? 16 : 256, windows, palette.data(), &count);
  if (Code(r) == 0) {
    r = MapDIBToPalette(k.progress, s.dib, k.out, targetBits, palette.data(), method, bleed != 0, count);
  }
  FreeNearestCache();
  return Code(r);
}

int Perspective(const Call& k) {
  const auto axis = k.args.a == 0 ? PerspectiveAxis::kHorizontal : PerspectiveAxis::kVertical;
  return Code(PerspectiveDIB(k.progress, k.s.dib, k.out, axis, k.c.Int1 > 0 ? 1 : 0, std::abs(k.c.Int1), k.s.red,
                             k.s.green, k.s.blue));
}

int Warp(const Call& k) {
  const int effect = k.c.Int1;
  return Code(WarpDIB(k.progress, k.s.dib, k.out, 100 + k.args.a * effect, 100 + k.args.b * effect));
}

// Each operation bound to the function that runs it.
constexpr std::array<Runner, static_cast<std::size_t>(Operation::kCount)> kRunners = [] {
  std::array<Runner, static_cast<std::size_t>(Operation::kCount)> runners{};
  const auto bind = [&runners](Operation op, Runner run) { runners[static_cast<std::size_t>(op)] = run; };
  using enum Operation;
  bind(kResize, Resize);
  bind(kBrightnessContrast, BrightnessContrast);
  bind(kAdjustRGB, [](const Call& k) {
    return Code(AdjustRGBDIB(k.progress, k.s.dib, k.out, k.c.Int1, k.c.Int2, k.c.Int3));
  });
  bind(kAdjustHSL, [](const Call& k) {
    return Code(AdjustHSLDIB(k.progress, k.s.dib, k.out, k.c.Int1, k.c.Int2, k.c.Int3));
  });
  bind(kHighlightMidtoneShadow, [](const Call& k) {
    return Code(HighlightMidtoneShadowDIB(k.progress, k.s.dib, k.out, k.c.Int1, k.c.Int2, k.c.Int3));
  });
  bind(kFlip, [](const Call& k) { return Code(FlipDIB(k.progress, k.s.dib, k.out)); });
  bind(kMirror, [](const Call& k) { return Code(MirrorDIB(k.progress, k.s.dib, k.out)); });
  bind(kRotate, Rotate);
  bind(kBorders, Borders);
  bind(kCanvas, Canvas);
  bind(kGamma, [](const Call& k) { return Code(GammaDIB(k.progress, k.s.dib, k.out, k.c.Real1)); });
  bind(kGreyscale, Greyscale);
  bind(kEqualize, [](const Call& k) { return Code(EqualizeDIB(k.progress, k.s.dib, k.out)); });
  bind(kStretchHistogram, [](const Call& k) { return Code(StretchHistogramDIB(k.progress, k.s.dib, k.out)); });
  bind(kInvert, [](const Call& k) { return Code(InvertDIB(k.progress, k.s.dib, k.out)); });
  bind(kPosterize, [](const Call& k) { return Code(PosterizeDIB(k.progress, k.s.dib, k.out, k.c.Int1)); });
  bind(kSolarize, [](const Call& k) {
    return Code(ToneCurveDIB(k.progress, k.s.dib, k.out, k.c.Int1, ToneCurveKind::Solarize));
  });
  bind(kApplyPaletteFile, ApplyPaletteFile);
  bind(kFullyOptimized, FullyOptimized);
  bind(kTwoColors, TwoColors);
  bind(kReduceColors, ReduceColors);
  bind(kTrueColor, [](const Call& k) {
    return k.s.bits == 24 ? 0 : Code(IncreaseDIBDepth(k.progress, k.s.dib, k.out, 24));
  });
  bind(kColorize, [](const Call& k) { return Code(ColorizeDIB(k.progress, k.s.dib, k.out, k.c.Int1, k.c.Int2)); });
  bind(kPerspective, Perspective);
  bind(kWarp, Warp);
  bind(kConvolve, [](const Call& k) { return Code(ConvolveDIB(k.progress, k.s.dib, k.out, k.s.bits, k.args.a)); });
  bind(kUnsharpen, [](const Call& k) { return Code(UnsharpenDIB(k.progress, k.s.dib, k.out, k.c.Int1, k.c.Int2)); });
  bind(kNothing, [](const Call&) { return 0; });
  bind(kCircle, [](const Call& k) {
    return Code(CircleDIB(k.progress, k.s.dib, k.out, k.s.red, k.s.green, k.s.blue));
  });
  bind(kPentagon, [](const Call& k) {
    return Code(PentagonDIB(k.progress, k.s.dib, k.out, k.s.red, k.s.green, k.s.blue));
  });
  bind(kWind, [](const Call& k) { return Code(WindDIB(k.progress, k.s.dib, k.out, k.c.Int2, 1 - k.c.Int1)); });
  bind(kMotionBlur, [](const Call& k) {
    return Code(MotionBlurDIB(k.progress, k.s.dib, k.out, k.c.Int2, static_cast<std::int16_t>(k.c.Int1)));
  });
  bind(kSkew, [](const Call& k) {
    return Code(SkewDIB(k.progress, k.s.dib, k.out, k.c.Int1, k.c.Int2, k.s.red, k.s.green, k.s.blue));
  });
  bind(kAddNoise, [](const Call& k) { return Code(AddNoiseDIB(k.progress, k.s.dib, k.out, k.c.Int1, k.c.Int2)); });
  bind(kDespeckle, [](const Call& k) { return Code(DespeckleDIB(k.progress, k.s.dib, k.out)); });
  bind(kRankFilter, [](const Call& k) { return Code(RankFilterDIB(k.progress, k.s.dib, k.out, k.args.a)); });
  bind(kMosaic, [](const Call& k) {
    return Code(MosaicDIB(k.progress, k.s.dib, k.out, static_cast<std::int16_t>(k.c.Int1),
                          static_cast<std::int16_t>(k.c.Int2)));
  });
  return runners;
}();

constexpr bool EveryOperationBound() {
  for (Runner r : kRunners) {
    if (r == nullptr) return false;
  }
  return true;
}
static_assert(EveryOperationBound());

int Run(const CScriptCommand& c, const Source& s, ProgressWindow progress, const RgbQuad* palette,
        int paletteCount, DibHandle* out) {
  const CommandInfo* info = FindCommand(c.Code);
  if (!info) {
    return kErrNotImplemented;
  }
  if (info->trueColor == TrueColor::kRequired && !s.trueColorOrGrey) {
    return kErrNeedsTrueColor;
  }
  const Call call{c, s, progress, palette, paletteCount, info->args, out};
  return kRunners[static_cast<std::size_t>(info->operation)](call);
}

}  // namespace

bool CanvasBordersFor(int width, int height, int canvasWidth, int canvasHeight, bool centre,
                      CanvasBorders* borders) {
  CanvasBorders b;
  if (centre) {
    b.left = b.right = (canvasWidth - width) / 2;
    if (width + 2 * b.left < canvasWidth) {
      ++b.right;
    }
    b.top = b.bottom = (canvasHeight - height) / 2;
    if (height + 2 * b.top < canvasHeight) {
      ++b.bottom;
    }
  } else {
    b.right = canvasWidth - width;
    b.bottom = canvasHeight - height;
  }
  if (b.left < 0 || b.right < 0 || b.top < 0 || b.bottom < 0) {
    return false;
  }
  *borders = b;
  return true;
}

bool ResizeTarget(const CScriptCommand& c, int width, int height, int* targetWidth, int* targetHeight) {
  if (c.Int1 >= 0 && c.Int1 < static_cast<int>(kResizePresets.size())) {
    *targetWidth = kResizePresets[static_cast<std::size_t>(c.Int1)].width;
    *targetHeight = kResizePresets[static_cast<std::size_t>(c.Int1)].height;
    return true;
  }
  // Products in 64 bits: the stored sizes are 32-bit and the image sides up to 32767.
  switch (c.Int1) {
    case 5:
      *targetWidth = c.Int3;
      *targetHeight = c.Int4;
      return true;
    case 6:
      *targetWidth = c.Int3;
      *targetHeight = static_cast<int>(static_cast<long long>(c.Int3) * height / width);
      return true;
    case 7:
      *targetHeight = c.Int4;
      *targetWidth = static_cast<int>(static_cast<long long>(c.Int4) * width / height);
      return true;
    default:
      return false;
  }
}

int DoCommand(const CScript& script, int index, const Dib* source, DibHandle* result, ProgressWindow progress,
              const RgbQuad* palette, int paletteCount) {
  if (index < 0 || index >= script.GetCount() || source == nullptr || result == nullptr) {
    return kErrBadArgument;
  }
  if (ValidateDib(source) != kOk) {
    result->reset();
    return kErrBadImage;
  }
  const CScriptCommand& command = *script.GetAt(index);
  Source s;
  s.dib = source;
  s.width = source->width();
  s.height = source->height();
  s.bits = source->bitCount();
  s.trueColorOrGrey = s.bits == 24 || (s.bits == 8 && IsDIBGreyScaled(source));
  result->reset();
  s.red = RedOf(command.Color1);
  s.green = GreenOf(command.Color1);
  s.blue = BlueOf(command.Color1);
  if (s.bits < 24) {
    // The whole table: a biClrUsed of 0 means 2^bits entries, not none.
    s.nearest = NearestColorIndex(source->colors(), source->colorCount(), s.red, s.green, s.blue);
  }

  DibHandle made;
  const int code = Run(command, s, progress, palette, paletteCount, &made);
  if (code != 0) {
    return code;
  }
  *result = std::move(made);
  return 0;
}

}  // namespace km
