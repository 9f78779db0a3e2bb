#pragma once

// Colour reduction and palettes: optimised palettes (median cut, octree), mapping an
// image to a palette with or without error diffusion, the fixed standard palettes,
// depth raising, palette files and the two-colour conversion.
//
// Shared contract: an operation never changes its source, leaves *out null on every
// failure and hands a new image to its caller on success. 101 means a missing argument
// or an unsupported depth, 102 that memory ran out (everything allocated so far is
// freed), 100 that the progress sink asked to stop. Palettes are arrays of RgbQuad
// (blue, green, red, reserved); a palette buffer always has room for 256 entries.

#include <cstdint>
#include <memory>
#include <string>

#include "imaging/Dib.h"
#include "imaging/OpResult.h"
#include "imaging/Progress.h"

namespace km {

inline constexpr int kPaletteEntries = 256;
inline constexpr int kWindowsColorCount = 20;
// The most generated colours that still leave room for the 20 Windows colours.
inline constexpr int kMaxColorsWithWindows = 236;

// Palette-file and converter codes: imaging/OpResult.h.

// Optimum-palette methods.
inline constexpr int kMedianCut = 0;
inline constexpr int kOctree = 1;

// ---------------------------------------------------------------------------------
// Optimum-palette gatherer. One gathering at a time per object; the object belongs to
// whoever runs the gathering (a command, an editor test, a batch run), so concurrent
// runs never share one. Calls: OptPaletteStart, OptPaletteAddDIB per image,
// OptPaletteFinish.
class OptPaletteGatherer {
public:
  OptPaletteGatherer();
  ~OptPaletteGatherer();
  OptPaletteGatherer(const OptPaletteGatherer&) = delete;
  OptPaletteGatherer& operator=(const OptPaletteGatherer&) = delete;

  // Frees what a previous gathering left and starts a new one. method kMedianCut or
  // kOctree (else 101); colours is clamped to 1..256; depth is the octree depth (8).
  // 102 when the histogram cannot be allocated.
  OpResult OptPaletteStart(int method, int colors, int depth);

  // Adds every pixel of a 1-, 4-, 8- or 24-bit image; other depths add nothing.
  // 101 when no gathering is in progress or the image is invalid. 102 when an octree
  // node cannot be allocated: the gathering then ends (the tree is freed) and later
  // calls answer 101 until the next start.
  OpResult OptPaletteAddDIB(const Dib* image);

  // Writes the generated colours to palette[0..] (room for 256 entries, cleared by the
  // caller), releases the statistics and answers the number of generated colours, not
  // counting the Windows colours. With includeWindowsColors it then calls
  // AddWindowsColors (which refuses counts above 236 and leaves the palette as is).
  // 0 when no gathering is in progress.
  int OptPaletteFinish(RgbQuad* palette, bool includeWindowsColors);

private:
  struct State;
  std::unique_ptr<State> state_;
};

// Moves entries 0..count-1 up by 10, writes the first 10 Windows colours at 0..9 and the
// last 10 at count+10..count+19. 101 (palette unchanged) for a count above 236 or below 0.
OpResult AddWindowsColors(RgbQuad* palette, int count);

// The colour count to start a gathering with for a command asking for `colors`: with
// the Windows colours included it is limited to 236 so that the palette fits in 256.
int OptimumColorRequest(int colors, bool includeWindowsColors);

// The whole gathering from one image: start (method, OptimumColorRequest(colors,
// withWindows), depth 8), add the image, finish. *count receives the usable palette
// entries: the generated count, plus 20 when the Windows colours were added. palette
// must hold 256 entries; it is cleared first.
OpResult GatherImagePalette(const Dib* image, int method, int colors, bool includeWindowsColors,
                            RgbQuad* palette, int* count);

// ---------------------------------------------------------------------------------
// Mapping to a given palette. bits 4 or 8; method 0 nearest colour, 2 error diffusion
// (any other method answers 101; a caller holding "1 = error diffusion" passes 2);
// count the usable entries (0 answers 101: nothing to match; above 2^bits it is held to
// 2^bits so that every index fits the output);
// palette holds at least max(count, 2^bits) entries, whose first 2^bits become the
// result's colour table. Sources of 4, 8 or 24 bits. No progress, no cancel.
// The nearest-colour memo of the calling thread is released before returning.
OpResult MapDIBToPalette(ProgressWindow progress, const Dib* source, DibHandle* out, int bits,
                         const RgbQuad* palette, int method, bool reduceBleed, int count);

// Nearest of the first count entries (squared distance, first smallest wins), memoised
// per 7-bit-per-channel cell in a per-thread cache allocated on first use. Colours in
// the same cell share the first answer. 0 when count is below 1.
int NearestPaletteIndex(int red, int green, int blue, const RgbQuad* palette, int count);

// Releases the calling thread's nearest-colour memo, if any.
void FreeNearestCache();

// Mapping to the fixed standard palette of 16 or 256 colours. method 0 nearest, 1 ordered
// dither, 2 error diffusion. tablePath names the lookup file (PALX.DAT), read at every
// call for methods 0 and 2 (800 when it cannot be opened, 202 when short); it is not
// used by the ordered dither and may then be empty.
OpResult StandardPaletteDIB(ProgressWindow progress, const Dib* source, DibHandle* out, int bits,
                            int method, bool reduceBleed, const std::string& tablePath);

// ---------------------------------------------------------------------------------
// Depth conversion and palette replacement.

// Raises a 1-, 4- or 8-bit image to bits (4, 8 or 24, above the source's depth; else
// 101), keeping its colours.
OpResult IncreaseDIBDepth(ProgressWindow progress, const Dib* source, DibHandle* out, int bits);

// A copy whose first count table entries are the palette's; the pixel indices stay.
// 601 when count differs from the source's biClrUsed.
OpResult MaintainIndexesDIB(const Dib* source, DibHandle* out, int count, const RgbQuad* palette);

// ---------------------------------------------------------------------------------
// Palette files. Both fill palette[0..] (256 entries of room; entries the file does
// not supply are left alone) and set *count to 16 or 256 on success.
// Text: 101 missing argument, 201 cannot open, 202 ends inside the header lines,
// 312 not a text palette or a malformed colour line: cut short, no separator after the
// third character, or not an optionally signed number (*count 0); 528 count not 16/256,
// 529 version not "0100".
OpResult ReadTextPalette(const std::string& path, RgbQuad* palette, int* count);
// RIFF "PAL ": 101, 201, 202 chunk not whole, 312 no form or no "data" chunk,
// 528 n of 0 or above 256 or a chunk size not a multiple of 4, 102 no memory.
OpResult ReadRiffPalette(const std::string& path, RgbQuad* palette, int* count);

// ---------------------------------------------------------------------------------
// Two colours. channel 0 grey, 1 red, 2 green, 3 blue.

// method 0 threshold only, 1 Floyd-Steinberg, 2 Burkes, 3 Stucki; weighted selects the
// weighting curve. Sources of 4, 8 or 24 bits (1 bit: 101).
OpResult ReduceTo2Colors(ProgressWindow progress, const Dib* source, DibHandle* out, int method,
                         int channel, bool weighted);

// The format library's 1-bit ordered dither of the chosen channel (see OrderedDither2.cpp
// for the matrix). Sources of 4, 8 or 24 bits; 101 for other depths or channels.
OpResult OrderedDither2(ProgressWindow progress, const Dib* source, DibHandle* out, int channel);

}  // namespace km
