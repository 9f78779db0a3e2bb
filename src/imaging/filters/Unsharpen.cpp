// Unsharp masking: a blurred copy marks the detail, and bytes whose detail exceeds the
// clipping threshold are pushed away from the blur by that much again.

#include <cstdint>
#include <cstdlib>

#include "imaging/filters/Filters.h"
#include "imaging/filters/PaddedRows.h"

namespace km {

OpResult UnsharpenDIB(ProgressWindow progress, const Dib* source, DibHandle* result,
                      int clipping, int strength) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  static constexpr int kBlurForStrength[] = {kKernelSoften, kKernelSoftenMore, kKernelBlur,
                                             kKernelBlurMore};
  if (strength < 1 || strength > 4) {
    return kInvalidArgument;
  }

  DibHandle blurred;
  if (const OpResult r = ConvolveDIB(progress, source, &blurred, source->bitCount(),
                                     kBlurForStrength[strength - 1]);
      r != kOk) {
    return r;
  }
  DibHandle out;
  if (const OpResult r = CopyDIB(source, &out); r != kOk) {
    return r;
  }

  const int height = source->height();
  const std::size_t rowBytes =
      static_cast<std::size_t>(source->width()) * static_cast<std::size_t>(source->bitCount() / 8);
  for (int y = 0; y < height; ++y) {
    if (ProgressStep(progress, y, height)) {
      return kCancelled;  // the blurred image and the copy go with their handles
    }
    const std::uint8_t* src = source->row(y);
    const std::uint8_t* blur = blurred->row(y);
    std::uint8_t* dst = out->row(y);
    for (std::size_t k = 0; k < rowBytes; ++k) {
      const int d = src[k] - blur[k];
      if (std::abs(d) > clipping) {
        dst[k] = filters::ClampByte(src[k] + d);
      }
    }
  }
  *result = std::move(out);
  return kOk;
}

}  // namespace km
