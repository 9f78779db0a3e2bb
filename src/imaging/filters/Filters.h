#pragma once

// Convolution and neighbourhood filters on 8-bit and 24-bit images.
//
// Shared contract: `source` is never changed or freed; on success *result receives a new
// image of the same size, depth, header and colour table; on every failure *result is
// left null and all working storage is freed. Result codes: 0 success, 100 cancelled
// through the progress sink (reported and tested before each row), 101 invalid argument
// (missing source or result, unsupported depth, image too low for the neighbourhood,
// parameter out of range), 102 out of memory. 8-bit images are worked on as raw bytes
// (grey levels for greyscale images, indices otherwise); 24-bit pixels channel by
// channel (blue, green, red).

#include "imaging/Dib.h"
#include "imaging/OpResult.h"
#include "imaging/Progress.h"

namespace km {

// Kernel codes accepted by ConvolveDIB.
inline constexpr int kKernelEmboss = 1;
inline constexpr int kKernelBlur = 10;
inline constexpr int kKernelBlurMore = 11;
inline constexpr int kKernelSharpen = 20;
inline constexpr int kKernelSharpenMore = 21;
inline constexpr int kKernelSoften = 30;
inline constexpr int kKernelSoftenMore = 31;
inline constexpr int kKernelTraceContour = 40;
inline constexpr int kKernelEdgeEnhance = 50;
inline constexpr int kKernelEdgeEnhanceMore = 51;
inline constexpr int kKernelFindEdges = 61;
inline constexpr int kKernelFindHorizontalEdges = 62;
inline constexpr int kKernelFindVerticalEdges = 63;

// Applies one fixed kernel (code above; any other code answers 101). `bits` is the
// source's bit count: 24 selects the 24-bit worker, any other value the 8-bit worker,
// which answers 101 unless the image is 8 bits per pixel. Needs at least 3 rows for the
// 3 x 3 kernels and 5 for the 5 x 5 ones. Rows beyond the edges repeat the edge row,
// columns beyond the edges the edge pixel. Each value is sum / divisor truncated toward
// zero, plus the kernel's bias, clamped to 0..255.
OpResult ConvolveDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int bits,
                     int kernelCode);

// Blurs with Soften, Soften More, Blur or Blur More for strength 1, 2, 3 or 4 (others
// answer 101), then moves every byte whose distance d = source - blurred exceeds
// `clipping` (0..100) to source + d, clamped; the others keep their value.
OpResult UnsharpenDIB(ProgressWindow progress, const Dib* source, DibHandle* result,
                      int clipping, int strength);

// Rank modes for RankFilterDIB.
inline constexpr int kRankErode = 0;   // minimum of the 3 x 3 neighbourhood
inline constexpr int kRankMedian = 1;  // fifth smallest of the nine
inline constexpr int kRankDilate = 2;  // maximum

// 3 x 3 rank filter with edge replication; needs at least 3 rows. Other modes: 101.
OpResult RankFilterDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int mode);

// Replaces a byte by the median of its 3 x 3 neighbourhood when it differs from the
// mean of its eight neighbours (sum >> 3) by more than 48. Needs at least 3 rows.
OpResult DespeckleDIB(ProgressWindow progress, const Dib* source, DibHandle* result);

// Noise types for AddNoiseDIB.
inline constexpr int kNoiseRandom = 0;
inline constexpr int kNoiseUniform = 1;

// Adds offsets drawn from the C library's rand() (never reseeded here, so a process
// run is reproducible). amount 0..100; other types or amounts answer 101.
OpResult AddNoiseDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int type,
                     int amount);

// Replaces blocks of blockWidth x blockHeight pixels, laid from the top-left corner, by
// their per-byte average; the rightmost and bottom blocks may be smaller. The dispatcher
// passes the sizes as 16-bit values; sizes below 1 answer 101.
OpResult MosaicDIB(ProgressWindow progress, const Dib* source, DibHandle* result,
                   int blockWidth, int blockHeight);

}  // namespace km
