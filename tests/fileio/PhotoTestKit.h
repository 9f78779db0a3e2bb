#pragma once

// Photographs made in the tests: pictures written by our encoders, then given an ICC
// profile, EXIF, XMP and IPTC with exiv2, and read back the same way.

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace km::test {

// A well-formed ICC profile header without tags (132 bytes): display class, RGB data,
// XYZ connection space, the D50 illuminant; `marker` goes into the creator field so
// two profiles can be told apart.
inline std::vector<std::uint8_t> MakeIccProfile(std::uint32_t marker = 0x4B4D5450) {
  std::vector<std::uint8_t> p(132, 0);
  auto put32 = [&p](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      p[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    }
  };
  put32(0, 132);
  put32(8, 0x02100000);   // version 2.1
  put32(12, 0x6D6E7472);  // 'mntr'
  put32(16, 0x52474220);  // 'RGB '
  put32(20, 0x58595A20);  // 'XYZ '
  put32(36, 0x61637370);  // 'acsp'
  put32(68, 0x0000F6D6);  // D50: X 0.9642
  put32(72, 0x00010000);  //      Y 1.0
  put32(76, 0x0000D32D);  //      Z 0.8249
  put32(80, marker);
  return p;
}

// Opens `path` with exiv2, lets `edit` change it, and writes the metadata back.
inline void EditMetadata(const std::string& path, const std::function<void(Exiv2::Image&)>& edit) {
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
  ASSERT_TRUE(image.get() != nullptr) << path;
  image->readMetadata();
  edit(*image);
  image->writeMetadata();
}

inline void SetOrientation(const std::string& path, int orientation) {
  EditMetadata(path, [orientation](Exiv2::Image& image) {
    Exiv2::ExifData exif = image.exifData();
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(orientation);
    image.setExifData(exif);
  });
}

// What exiv2 finds in a file.
struct FoundMetadata {
  Exiv2::ExifData exif;
  Exiv2::XmpData xmp;
  Exiv2::IptcData iptc;
  std::vector<std::uint8_t> icc;

  std::string Exif(const char* key) const {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? std::string("(none)") : it->toString();
  }
  std::string Xmp(const char* key) const {
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    return it == xmp.end() ? std::string("(none)") : it->toString();
  }
  std::string Iptc(const char* key) const {
    const auto it = iptc.findKey(Exiv2::IptcKey(key));
    return it == iptc.end() ? std::string("(none)") : it->toString();
  }
  bool HasGroup(const std::string& group) const {
    for (const auto& d : exif) {
      if (d.groupName() == group) {
        return true;
      }
    }
    return false;
  }
};

inline FoundMetadata ReadMetadataOf(const std::string& path) {
  FoundMetadata found;
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
  image->readMetadata();
  found.exif = image->exifData();
  found.xmp = image->xmpData();
  found.iptc = image->iptcData();
  if (image->iccProfileDefined()) {
    const Exiv2::DataBuf* icc = image->iccProfile();
    found.icc.assign(icc->pData_, icc->pData_ + icc->size_);
  }
  return found;
}

}  // namespace km::test
