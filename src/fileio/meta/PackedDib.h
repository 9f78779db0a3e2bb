#pragma once

// Device-independent bitmaps as metafile records carry them: a BITMAPINFOHEADER (or the
// 12-byte core header), a colour table and the rows, bottom row first unless the height
// is negative. Depths 1, 4, 8, 16, 24 and 32, uncompressed or with bit fields, and the
// run-length codings of 4- and 8-bit pictures.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fileio/meta/Metafile.h"

namespace km::meta {

// Pictures larger than this many pixels are refused, whatever the record claims.
inline constexpr std::uint64_t kMaxBitmapPixels = std::uint64_t{1} << 24;

// Decodes the packed DIB in bytes [data, data + size) into *out, top row first. When
// `paletteIndices` is set the colour table holds 16-bit indices into `palette` (colour
// values 0x00BBGGRR) instead of colours. False for a header, table or row data that
// does not fit in `size` or a picture outside the bounds above.
bool DecodePackedDib(const std::uint8_t* data, std::size_t size, bool paletteIndices,
                     const std::vector<Colour>& palette, Bitmap* out);

}  // namespace km::meta
