#include "fileio/PhotoRecords.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

namespace km {

namespace {

constexpr char kOrientation[] = "Exif.Image.Orientation";
constexpr char kPixelX[] = "Exif.Photo.PixelXDimension";
constexpr char kPixelY[] = "Exif.Photo.PixelYDimension";
constexpr const char* kResolution[] = {"Exif.Image.XResolution", "Exif.Image.YResolution"};
constexpr char kResolutionUnit[] = "Exif.Image.ResolutionUnit";

// IFD0 tags that describe how the stored picture is laid out, and the TIFF homes of
// the ICC profile, XMP and IPTC.
constexpr std::uint16_t kLayoutTags[] = {
    0x00fe, 0x00ff, 0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x0107, 0x0108, 0x0109, 0x010a,
    0x0111, 0x0115, 0x0116, 0x0117, 0x0118, 0x0119, 0x011c, 0x0124, 0x0125, 0x013d, 0x0140,
    0x0142, 0x0143, 0x0144, 0x0145, 0x014a, 0x0152, 0x0153, 0x0154, 0x0155, 0x015b, 0x0200,
    0x0201, 0x0202, 0x0212, 0x02bc, 0x83bb, 0x8649, 0x8773,
};

// Groups of the further images a TIFF or EXIF block may hold: the thumbnail (IFD1) and
// the sub-images and IFDs after it.
bool IsOtherImageGroup(const std::string& group) {
  return group == "Thumbnail" || group == "Image2" || group == "Image3" || group.rfind("SubImage", 0) == 0 ||
         group.rfind("SubThumb", 0) == 0;
}

bool IsLayoutTag(const Exiv2::Exifdatum& d) {
  return d.groupName() == "Image" && std::find(std::begin(kLayoutTags), std::end(kLayoutTags), d.tag()) !=
                                         std::end(kLayoutTags);
}

// Sets the value of `key` when present (or always, with add), as a value of type T.
template <typename T>
void SetExif(Exiv2::ExifData& exif, const char* key, T value, bool add) {
  if (add || exif.findKey(Exiv2::ExifKey(key)) != exif.end()) {
    exif[key] = value;
  }
}

void SetXmp(Exiv2::XmpData& xmp, const char* key, const std::string& value) {
  if (xmp.findKey(Exiv2::XmpKey(key)) != xmp.end()) {
    xmp[key] = value;
  }
}

void AdjustExif(Exiv2::ExifData& exif, int orientation, const MetadataWrite& how) {
  SetExif(exif, kOrientation, static_cast<std::uint16_t>(orientation), false);
  SetExif(exif, kPixelX, static_cast<std::uint32_t>(how.width), true);
  SetExif(exif, kPixelY, static_cast<std::uint32_t>(how.height), true);
  if (how.dpi > 0) {
    for (const char* key : kResolution) {
      SetExif(exif, key, Exiv2::URational(static_cast<std::uint32_t>(how.dpi), 1), false);
    }
    SetExif(exif, kResolutionUnit, static_cast<std::uint16_t>(2), false);  // inches
  }
}

void AdjustXmp(Exiv2::XmpData& xmp, int orientation, const MetadataWrite& how) {
  SetXmp(xmp, "Xmp.tiff.Orientation", std::to_string(orientation));
  SetXmp(xmp, "Xmp.tiff.ImageWidth", std::to_string(how.width));
  SetXmp(xmp, "Xmp.tiff.ImageLength", std::to_string(how.height));
  SetXmp(xmp, "Xmp.exif.PixelXDimension", std::to_string(how.width));
  SetXmp(xmp, "Xmp.exif.PixelYDimension", std::to_string(how.height));
  if (how.dpi > 0) {
    SetXmp(xmp, "Xmp.tiff.XResolution", std::to_string(how.dpi) + "/1");
    SetXmp(xmp, "Xmp.tiff.YResolution", std::to_string(how.dpi) + "/1");
    SetXmp(xmp, "Xmp.tiff.ResolutionUnit", "2");
  }
  // A thumbnail would show the picture as it was.
  for (auto it = xmp.begin(); it != xmp.end();) {
    it = it->key().rfind("Xmp.xmp.Thumbnails", 0) == 0 ? xmp.erase(it) : std::next(it);
  }
}

// Puts one EXIF value into `to`; false when `to` already held it.
bool PutExif(Exiv2::ExifData& to, const Exiv2::Exifdatum& d) {
  const auto it = to.findKey(Exiv2::ExifKey(d.key()));
  if (it == to.end()) {
    to.add(d);
    return true;
  }
  if (it->typeId() == d.typeId() && it->toString() == d.toString()) {
    return false;
  }
  it->setValue(&d.value());
  return true;
}

template <typename Data>
bool SameRecords(const Data& a, const Data& b) {
  return std::distance(a.begin(), a.end()) == std::distance(b.begin(), b.end()) &&
         std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
           return x.key() == y.key() && x.typeId() == y.typeId() && x.toString() == y.toString();
         });
}

// Replaces `to` with `from` unless they are the same; true when replaced.
template <typename Data>
bool Replace(Data& to, const Data& from) {
  if (SameRecords(to, from)) {
    return false;
  }
  to = from;
  return true;
}

}  // namespace

int StoredOrientation(const Exiv2::ExifData& exif) {
  const auto it = exif.findKey(Exiv2::ExifKey(kOrientation));
  if (it == exif.end() || it->count() < 1) {
    return 1;
  }
  const long v = it->toLong(0);
  return v >= 1 && v <= 8 ? static_cast<int>(v) : 1;
}

void DropImageStructure(PhotoRecords* records) {
  Exiv2::ExifData& exif = records->exif;
  for (auto it = exif.begin(); it != exif.end();) {
    it = IsOtherImageGroup(it->groupName()) || IsLayoutTag(*it) ? exif.erase(it) : std::next(it);
  }
}

bool HoldsPhotoRecords(const PhotoRecords& records) {
  if (!records.xmp.empty() || !records.iptc.empty()) {
    return true;
  }
  return std::any_of(records.exif.begin(), records.exif.end(), [](const Exiv2::Exifdatum& d) {
    const std::string key = d.key();
    if (key == kOrientation) {
      return d.toLong(0) != 1;
    }
    // The resolution is the picture's own, and the pointers to further IFDs carry
    // nothing themselves.
    return key != kResolution[0] && key != kResolution[1] && key != kResolutionUnit && key != "Exif.Image.ExifTag" &&
           key != "Exif.Image.GPSTag" && key != "Exif.Photo.InteroperabilityTag";
  });
}

bool MergeRecords(const PhotoRecords& from, int orientation, const MetadataWrite& how, Exiv2::ExifData* exif,
                  Exiv2::XmpData* xmp, Exiv2::IptcData* iptc) {
  bool changed = false;
  if (!from.exif.empty()) {
    Exiv2::ExifData made = from.exif;
    AdjustExif(made, orientation, how);
    if (exif->empty()) {
      *exif = made;
      changed = true;
    } else {
      // A TIFF output's own tags stay; exiv2 keeps its layout tags whatever they say.
      for (const Exiv2::Exifdatum& d : made) {
        changed = PutExif(*exif, d) || changed;
      }
    }
  }
  if (!from.xmp.empty()) {
    Exiv2::XmpData made = from.xmp;
    AdjustXmp(made, orientation, how);
    changed = Replace(*xmp, made) || changed;
  }
  if (!from.iptc.empty()) {
    changed = Replace(*iptc, from.iptc) || changed;
  }
  return changed;
}

}  // namespace km
