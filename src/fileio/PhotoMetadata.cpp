#include "fileio/PhotoMetadata.h"

#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

#include "fileio/PhotoRecords.h"

namespace km {

namespace {

// The XMP toolkit is set up once for the process, with a lock, since files are read
// and written on worker threads; exiv2's own warnings about odd files are silenced (a
// file it cannot read simply carries nothing).
std::mutex gXmpMutex;

void LockXmp(void* data, bool lock) {
  auto* m = static_cast<std::mutex*>(data);
  if (lock) {
    m->lock();
  } else {
    m->unlock();
  }
}

void PrepareExiv2() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize(LockXmp, &gXmpMutex);
  });
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    return bytes;
  }
  std::uint8_t buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    bytes.clear();
  }
  return bytes;
}

bool WriteBytes(const std::string& path, const Exiv2::byte* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    return false;
  }
  const bool written = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && written;
}

// A profile's data colour space (bytes 16 to 19) against the picture it goes with: a
// grey profile for a grey picture, any other for a colour one.
bool ProfileFits(const std::vector<std::uint8_t>& profile, bool grey) {
  if (profile.size() < 20) {
    return !grey;
  }
  const bool greyProfile = std::memcmp(profile.data() + 16, "GRAY", 4) == 0;
  return greyProfile == grey;
}

}  // namespace

PhotoMetadata ReadPhotoMetadata(const std::string& path) {
  PhotoMetadata m;
  try {
    PrepareExiv2();
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
    if (image.get() == nullptr) {
      return m;
    }
    image->readMetadata();
    if (image->iccProfileDefined()) {
      const Exiv2::DataBuf* icc = image->iccProfile();
      if (icc->pData_ != nullptr && icc->size_ > 0) {
        m.iccProfile.assign(icc->pData_, icc->pData_ + icc->size_);
      }
    }
    auto records = std::make_shared<PhotoRecords>();
    records->exif = image->exifData();
    records->xmp = image->xmpData();
    records->iptc = image->iptcData();
    m.orientation = StoredOrientation(records->exif);
    DropImageStructure(records.get());
    if (HoldsPhotoRecords(*records)) {
      m.records = std::move(records);
    }
  } catch (...) {
    return PhotoMetadata{};
  }
  return m;
}

EmbedOutcome EmbedPhotoMetadata(const std::string& path, const PhotoMetadata& metadata, const MetadataWrite& how) {
  const bool records = how.keepRecords && metadata.records != nullptr;
  const bool profile = !metadata.iccProfile.empty() && ProfileFits(metadata.iccProfile, how.grey);
  if (!profile && !records) {
    return EmbedOutcome::Untouched;
  }
  Exiv2::DataBuf result;
  try {
    PrepareExiv2();
    const std::vector<std::uint8_t> file = ReadBytes(path);
    if (file.empty()) {
      return EmbedOutcome::Untouched;
    }
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(file.data(), static_cast<long>(file.size()));
    if (image.get() == nullptr) {
      return EmbedOutcome::Untouched;
    }
    image->readMetadata();
    bool changed = false;
    if (profile) {
      const Exiv2::DataBuf* have = image->iccProfileDefined() ? image->iccProfile() : nullptr;
      const std::size_t size = metadata.iccProfile.size();
      if (have == nullptr || static_cast<std::size_t>(have->size_) != size ||
          std::memcmp(have->pData_, metadata.iccProfile.data(), size) != 0) {
        Exiv2::DataBuf bytes(metadata.iccProfile.data(), static_cast<long>(size));
        image->setIccProfile(bytes, false);  // as the input had it, checked or not
        changed = true;
      }
    }
    if (records) {
      Exiv2::ExifData exif = image->exifData();
      Exiv2::XmpData xmp = image->xmpData();
      Exiv2::IptcData iptc = image->iptcData();
      if (MergeRecords(*metadata.records, metadata.orientation, how, &exif, &xmp, &iptc)) {
        image->setExifData(exif);
        image->setXmpData(xmp);
        image->setIptcData(iptc);
        changed = true;
      }
    }
    if (!changed) {
      return EmbedOutcome::Untouched;
    }
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    result = io.read(static_cast<long>(io.size()));
    if (result.pData_ == nullptr || result.size_ <= 0) {
      return EmbedOutcome::Untouched;
    }
  } catch (...) {
    return EmbedOutcome::Untouched;
  }
  // Only now is the file replaced; a write that fails half way has damaged it.
  return WriteBytes(path, result.pData_, static_cast<std::size_t>(result.size_)) ? EmbedOutcome::Written
                                                                                   : EmbedOutcome::Damaged;
}

}  // namespace km
