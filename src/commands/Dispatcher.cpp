#include "commands/Dispatcher.h"

#include <array>
#include <cstdlib>

#include "common/ProgramFile.h"
#include "imaging/filters/Filters.h"
#include "imaging/geometry/Geometry.h"
#include "imaging/palette/Palette.h"
#include "imaging/tone/Tone.h"

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

int Resize(const CScriptCommand& c, const Source& s, ProgressWindow progress, DibHandle* out) {
  if (c.Int2 == 1 && !s.trueColorOrGrey) {
    return kErrNeedsTrueColor;
  }
  int w = 0;
  int h = 0;
  if (!ResizeTarget(c, s.width, s.height, &w, &h)) {
    return Code(kInvalidArgument);
  }
  bool resample = false;
  switch (c.Int2) {
    case 0: resample = s.trueColorOrGrey; break;
    case 1: resample = true; break;
    case 2: resample = false; break;
    default: return Code(kInvalidArgument);
  }
  if (resample) {
    return Code(ResampleDIB(progress, s.dib, out, w, h));
  }
  return Code(ResizeDIB(progress, s.dib, out, static_cast<std::int16_t>(w), static_cast<std::int16_t>(h)));
}

int BrightnessContrast(const CScriptCommand& c, const Source& s, ProgressWindow progress, DibHandle* out) {
  if (c.Int1 == 0) {
    return Code(ToneCurveDIB(progress, s.dib, out, c.Int2, ToneCurveKind::Contrast));
  }
  DibHandle first;
  const OpResult r = ToneCurveDIB(progress, s.dib, &first, c.Int1, ToneCurveKind::Brightness);
  if (Code(r) != 0 || c.Int2 == 0) {
    return Finish(r, first, out);
  }
  return Code(ToneCurveDIB(progress, first.get(), out, c.Int2, ToneCurveKind::Contrast));
}

int Rotate(const CScriptCommand& c, const Source& s, ProgressWindow progress, DibHandle* out) {
  int angle = 0;
  switch (c.Int2) {
    case 0: angle = 90; break;
    case 1: angle = 180; break;
    case 2: angle = 270; break;
    case 3: angle = c.Int1; break;
    default: return Code(kInvalidArgument);
  }
  if (!s.trueColorOrGrey && angle != 90 && angle != 180 && angle != 270) {
    return kErrNeedsTrueColor;
  }
  const int clockwise = c.Int3 == 0 ? 1 : 0;
  const int first = s.trueColorOrGrey ? s.red : s.nearest;
  return Code(RotateDIB(progress, s.dib, out, angle, clockwise, first, s.green, s.blue));
}

int Borders(const Source& s, int top, int bottom, int right, int left, ProgressWindow progress,
            DibHandle* out) {
  if (s.bits == 24) {
    return Code(AddBordersDIB(progress, s.dib, out, top, bottom, right, left, s.red, s.green, s.blue));
  }
  return Code(AddBordersDIB(progress, s.dib, out, top, bottom, right, left, s.nearest, 0, 0));
}

int Canvas(const CScriptCommand& c, const Source& s, ProgressWindow progress, DibHandle* out) {
  CanvasBorders b;
  if (!CanvasBordersFor(s.width, s.height, c.Int2, c.Int3, c.Int1 == 1, &b)) {
    return kErrCanvasTooSmall;
  }
  return Borders(s, b.top, b.bottom, b.right, b.left, progress, out);
}

int Greyscale(const Source& s, ProgressWindow progress, DibHandle* out) {
  if (s.bits >= 8) {
    return Code(GreyscaleDIB(progress, s.dib, out));
  }
  DibHandle raised;
  const OpResult r = IncreaseDIBDepth(progress, s.dib, &raised, 8);
  if (Code(r) != 0) {
    return Code(r);
  }
  return Code(GreyscaleDIB(progress, raised.get(), out));
}

int ApplyPaletteFile(const CScriptCommand& c, const Source& s, ProgressWindow progress, DibHandle* out) {
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
    r = IncreaseDIBDepth(progress, s.dib, &raised, 8);
    if (Code(r) != 0) {
      return Code(r);
    }
    from = raised.get();
  }
  switch (c.Int1) {
    case 0:
    case 1:
      return Code(MapDIBToPalette(progress, from, out, count == 16 ? 4 : 8, palette.data(),
                                  c.Int1 == 0 ? 0 : 2, false, count));
    case 2:
      return Code(MaintainIndexesDIB(from, out, count, palette.data()));
    default:
      return Code(kInvalidArgument);
  }
}

int FullyOptimized(const CScriptCommand& c, const Source& s, ProgressWindow progress, const RgbQuad* palette,
                   int paletteCount, DibHandle* out) {
  if (palette == nullptr) {
    return Code(kInvalidArgument);
  }
  const Dib* from = s.dib;
  DibHandle raised;
  if (s.bits < 24) {
    const OpResult r = IncreaseDIBDepth(progress, s.dib, &raised, 24);
    if (Code(r) != 0) {
      return Code(r);
    }
    from = raised.get();
  }
  const int usable = paletteCount + (c.Int2 == 1 ? kWindowsColorCount : 0);
  const bool diffuse = c.Int3 == 1;
  return Code(MapDIBToPalette(nullptr, from, out, 8, palette, diffuse ? 2 : 0, diffuse && c.Int4 != 0, usable));
}

int TwoColors(const CScriptCommand& c, const Source& s, ProgressWindow progress, DibHandle* out) {
  if (s.bits <= 2) {
    return 0;
  }
  const bool weighted = c.Int2 == 0;
  switch (c.Int3) {
    case 0: return Code(ReduceTo2Colors(progress, s.dib, out, 0, c.Int1, weighted));
    case 1: return Code(OrderedDither2(progress, s.dib, out, c.Int1));
    case 2: return Code(ReduceTo2Colors(progress, s.dib, out, c.Int4 + 1, c.Int1, weighted));
    default: return Code(kInvalidArgument);
  }
}

// 521 (targetBits 4) and 522 (targetBits 8): raise smaller images, reduce larger ones
// with an optimised or the standard palette.
int ReduceColors(const CScriptCommand& c, const Source& s, int targetBits, ProgressWindow progress,
                 DibHandle* out) {
  if (s.bits == targetBits) {
    return 0;
  }
  if (s.bits < targetBits) {
    return Code(IncreaseDIBDepth(progress, s.dib, out, targetBits));
  }
  const int method = c.Int2;
  const int bleed = targetBits == 4 ? c.Int3 : c.Int4;
  if (c.Int1 == 2) {
    return Code(StandardPaletteDIB(progress, s.dib, out, targetBits, method, bleed != 0, ProgramFilePath("PALX.DAT")));
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
    r = MapDIBToPalette(progress, s.dib, out, targetBits, palette.data(), method, bleed != 0, count);
  }
  FreeNearestCache();
  return Code(r);
}

int Warp(const Source& s, int horizontal, int vertical, ProgressWindow progress, DibHandle* out) {
  return Code(WarpDIB(progress, s.dib, out, horizontal, vertical));
}

int ConvolveKernel(int code) {
  switch (code) {
    case 531: return kKernelEdgeEnhance;
    case 532: return kKernelEdgeEnhanceMore;
    case 533: return kKernelFindEdges;
    case 534: return kKernelFindHorizontalEdges;
    case 535: return kKernelFindVerticalEdges;
    case 536: return kKernelTraceContour;
    case 537: return kKernelBlur;
    case 538: return kKernelBlurMore;
    case 539: return kKernelSoften;
    case 540: return kKernelSoftenMore;
    case 541: return kKernelSharpen;
    case 542: return kKernelSharpenMore;
    case 553: return kKernelEmboss;
    default: return -1;
  }
}

// Commands that refuse anything but 24-bit and 8-bit greyscale images before running.
bool NeedsTrueColor(int code) {
  return (code >= 525 && code <= 543) || code == 545 || code == 546 || code == 547 || code == 548 ||
         code == 549 || code == 551 || code == 552 || code == 553 || code == 554 || code == 555;
}

int Run(const CScriptCommand& c, const Source& s, ProgressWindow progress, const RgbQuad* palette,
        int paletteCount, DibHandle* out) {
  if (!IsCommandCode(c.Code)) {
    return kErrNotImplemented;
  }
  if (NeedsTrueColor(c.Code) && !s.trueColorOrGrey) {
    return kErrNeedsTrueColor;
  }
  const Dib* src = s.dib;
  switch (c.Code) {
    case 501: return Resize(c, s, progress, out);
    case 502: return BrightnessContrast(c, s, progress, out);
    case 503: return Code(AdjustRGBDIB(progress, src, out, c.Int1, c.Int2, c.Int3));
    case 504: return Code(AdjustHSLDIB(progress, src, out, c.Int1, c.Int2, c.Int3));
    case 505: return Code(HighlightMidtoneShadowDIB(progress, src, out, c.Int1, c.Int2, c.Int3));
    case 506: return Code(FlipDIB(progress, src, out));
    case 507: return Code(MirrorDIB(progress, src, out));
    case 508: return Rotate(c, s, progress, out);
    case 509: return Borders(s, c.Int3, c.Int4, c.Int2, c.Int1, progress, out);
    case 510: return Canvas(c, s, progress, out);
    case 511: return Code(GammaDIB(progress, src, out, c.Real1));
    case 512: return Greyscale(s, progress, out);
    case 513: return Code(EqualizeDIB(progress, src, out));
    case 514: return Code(StretchHistogramDIB(progress, src, out));
    case 515: return Code(InvertDIB(progress, src, out));
    case 516: return Code(PosterizeDIB(progress, src, out, c.Int1));
    case 517: return Code(ToneCurveDIB(progress, src, out, c.Int1, ToneCurveKind::Solarize));
    case 518: return ApplyPaletteFile(c, s, progress, out);
    case 519: return FullyOptimized(c, s, progress, palette, paletteCount, out);
    case 520: return TwoColors(c, s, progress, out);
    case 521: return ReduceColors(c, s, 4, progress, out);
    case 522: return ReduceColors(c, s, 8, progress, out);
    case 523: return s.bits == 24 ? 0 : Code(IncreaseDIBDepth(progress, src, out, 24));
    case 524: return Code(ColorizeDIB(progress, src, out, c.Int1, c.Int2));
    case 525:
    case 526: {
      const auto axis = c.Code == 525 ? PerspectiveAxis::kHorizontal : PerspectiveAxis::kVertical;
      return Code(PerspectiveDIB(progress, src, out, axis, c.Int1 > 0 ? 1 : 0, std::abs(c.Int1), s.red, s.green,
                                 s.blue));
    }
    case 527: return Warp(s, 100, 100 - c.Int1, progress, out);
    case 528: return Warp(s, 100 - c.Int1, 100, progress, out);
    case 529: return Warp(s, 100 + c.Int1, 100 + c.Int1, progress, out);
    case 530: return Warp(s, 100 - c.Int1, 100 - c.Int1, progress, out);
    case 543: return Code(UnsharpenDIB(progress, src, out, c.Int1, c.Int2));
    case 544: return 0;
    case 545: return Code(CircleDIB(progress, src, out, s.red, s.green, s.blue));
    case 546: return Code(PentagonDIB(progress, src, out, s.red, s.green, s.blue));
    case 547: return Code(WindDIB(progress, src, out, c.Int2, 1 - c.Int1));
    case 548: return Code(MotionBlurDIB(progress, src, out, c.Int2, static_cast<std::int16_t>(c.Int1)));
    case 549: return Code(SkewDIB(progress, src, out, c.Int1, c.Int2, s.red, s.green, s.blue));
    case 550: return Code(AddNoiseDIB(progress, src, out, c.Int1, c.Int2));
    case 551: return Code(DespeckleDIB(progress, src, out));
    case 552: return Code(RankFilterDIB(progress, src, out, kRankDilate));
    case 554: return Code(RankFilterDIB(progress, src, out, kRankErode));
    case 555: return Code(RankFilterDIB(progress, src, out, kRankMedian));
    case 556:
      return Code(MosaicDIB(progress, src, out, static_cast<std::int16_t>(c.Int1), static_cast<std::int16_t>(c.Int2)));
    default: {
      const int kernel = ConvolveKernel(c.Code);
      return kernel < 0 ? kErrNotImplemented : Code(ConvolveDIB(progress, src, out, s.bits, kernel));
    }
  }
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
  static constexpr int kPresets[5][2] = {{320, 200}, {640, 350}, {640, 480}, {800, 600}, {1024, 768}};
  if (c.Int1 >= 0 && c.Int1 <= 4) {
    *targetWidth = kPresets[c.Int1][0];
    *targetHeight = kPresets[c.Int1][1];
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
