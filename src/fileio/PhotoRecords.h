#pragma once

// The EXIF, XMP and IPTC records of a photograph in exiv2's containers, and the rules
// that carry them from one file to another. Included only by the files that talk to
// exiv2; everything else sees PhotoMetadata.

#include <exiv2/exiv2.hpp>

#include "fileio/PhotoMetadata.h"

namespace km {

struct PhotoRecords {
  Exiv2::ExifData exif;
  Exiv2::XmpData xmp;
  Exiv2::IptcData iptc;
};

// The EXIF orientation tag, 1 when it is missing or outside 1..8.
int StoredOrientation(const Exiv2::ExifData& exif);

// Removes what describes the stored picture rather than the photograph: the TIFF
// layout tags (size, samples, strips, tiles, compression, colour map), the embedded
// thumbnail and further sub-images, and the ICC profile, XMP and IPTC copies kept in
// TIFF tags (each travels on its own).
void DropImageStructure(PhotoRecords* records);

// True when the records hold something worth carrying: any XMP or IPTC, or EXIF
// beyond the resolution and an upright orientation.
bool HoldsPhotoRecords(const PhotoRecords& records);

// Puts `from` into the records an output file already holds (those a TIFF encoder
// wrote; none for JPEG and PNG): EXIF with the orientation set to `orientation`, the
// pixel dimensions and, when how.dpi is set, the resolution of the output, XMP with
// the same changes and without thumbnails, and IPTC. False when the output's records
// already said all of it.
bool MergeRecords(const PhotoRecords& from, int orientation, const MetadataWrite& how, Exiv2::ExifData* exif,
                  Exiv2::XmpData* xmp, Exiv2::IptcData* iptc);

}  // namespace km
