#pragma once

// What a photograph carries besides its pixels, from the file it was read from to the
// file it is written to: the ICC profile, the EXIF orientation, and the EXIF, XMP and
// IPTC records. JPEG, PNG and TIFF hold them; every other format is left alone.
//
// The records are read and written by exiv2, behind this interface: nothing here
// throws, and a file exiv2 cannot read or write simply carries nothing, so a
// conversion never fails for its metadata.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km {

// The EXIF, XMP and IPTC records as read (exiv2's containers, kept out of this header).
struct PhotoRecords;

struct PhotoMetadata {
  std::vector<std::uint8_t> iccProfile;  // as stored; empty when none
  // The EXIF orientation of the pixels in hand: 1 upright, 2..8 the turn a viewer
  // still has to make (the TIFF/EXIF numbering: 2 mirrored, 3 half turn, 4 flipped,
  // 5 transposed, 6 a quarter turn clockwise, 7 transversed, 8 anticlockwise).
  int orientation = 1;
  std::shared_ptr<const PhotoRecords> records;  // null when the file had none

  bool empty() const { return iccProfile.empty() && !records; }
};

// The metadata of the photograph at `path`; empty when it has none or when it cannot
// be read.
PhotoMetadata ReadPhotoMetadata(const std::string& path);

// Turns `source` upright from EXIF orientation 2..8 with the flip and rotation
// operations; *result stays null for orientation 1 or outside 1..8. The operations'
// codes (100 cancelled, 102 out of memory).
OpResult OrientDIB(ProgressWindow progress, const Dib* source, int orientation, DibHandle* result);

// The orientation still to undo after a reader that has already undone the flips of
// the file's orientation tag but not its transposition (libtiff's RGBA reader): 1
// for 1..4, 5 or 7 for 5..8.
int OrientationAfterFlips(int orientation);

// How the metadata goes into an output.
struct MetadataWrite {
  bool keepRecords = true;  // false: the ICC profile only
  int width = 0;            // the output's pixel dimensions
  int height = 0;
  int dpi = 0;              // > 0: the resolution the output options set
  bool grey = false;        // the output is a greyscale picture
};

enum class EmbedOutcome {
  Untouched,  // nothing to add, or exiv2 could not do it: the file is as it was
  Written,    // the file now carries the metadata
  Damaged,    // replacing the file failed half way: it has to be written again
};

// Adds the metadata to the JPEG, PNG or TIFF file just written at `path`: the ICC
// profile as it is (unless it describes colour and the output is grey, or the other
// way round, which readers reject) and, with keepRecords, the EXIF (orientation as `metadata` says,
// the new pixel dimensions, the new resolution when set, no thumbnail), XMP and IPTC.
// The file is rewritten only when that adds or changes something; all the work is
// done in memory first, so only a failing write of the finished file can damage it.
EmbedOutcome EmbedPhotoMetadata(const std::string& path, const PhotoMetadata& metadata, const MetadataWrite& how);

}  // namespace km
