#include "fileio/ReadImage.h"

#include <cstdio>

#include "fileio/filters/ImportFilters.h"
#include "fileio/meta/Meta.h"

namespace km {

namespace {

using imgx::Code;

constexpr Code kFilterUnavailable = 104;

bool CountsAsNotRecognised(ImageTypeCode t) {
  return (t >= 100 && t <= 105) || t == 500 || (t >= 502 && t <= 505) || t == 507;
}

bool CanOpen(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    return false;
  }
  std::fclose(f);
  return true;
}

// The prompt flag the metafile calls take: 1 when the stored "WMF_Prompt" is 0.
int MetafilePromptFlag(const InputPreferences& preferences) { return preferences.metafilePrompt == 0 ? 1 : 0; }

// Reads through the filter in the type's slot: in this process for kind 0, in the
// host program for kind 1.
Code ReadThroughFilter(ProgressWindow progress, const FileTypeTable& table, const InputPreferences& preferences,
                       ImageTypeCode type, const std::string& path, DibHandle* out) {
  const int slot = type - kTypeFirstFilter;
  if (slot < 0 || slot >= FileTypeTable::kSlotCount || table.slot(slot).libraryPath.empty()) {
    return kFilterUnavailable;
  }
  const ImportFilterSlot& s = table.slot(slot);
  const int prompt = MetafilePromptFlag(preferences);
  return s.kind == 0 ? ImportFilterRead(progress, s, path, out, prompt) : FilterHostRead(progress, s, path, out, prompt);
}

// The entry a path's extension names: the first whose key is the padded extension
// (with filtersOnly, the first such import filter), or, for an extension longer than
// three characters, the first import filter registered under it whole. 0 when none.
int EntryForExtension(const FileTypeTable& table, const std::string& path, bool filtersOnly) {
  const std::string key = ExtensionKey(path);
  if (!key.empty()) {
    return table.findKey(key, filtersOnly);
  }
  const std::string extension = UpperExtension(path);
  return extension.size() > 3 ? table.findFilterExtension(extension) : 0;
}

Code RequestInfo(ImageTypeCode type, const std::string& path, imgx::ImageInfo* info) {
  using namespace imgx;
  switch (type) {
    case 0: case 4: return InfoBMP(path, info);
    case 2: return InfoCLP(path, info);
    case 3: return InfoCUT(path, info);
    case 6: return InfoGIF(path, info);
    case 7: case 12: return InfoIFF(path, info);
    case 8: return InfoIMG(path, info);
    case 10: case 11: return InfoJPG(path, info);
    case 13: return InfoMAC(path, info);
    case 14: return InfoMSP(path, info);
    case 15: return InfoPCD(path, info);
    case 16: return InfoPCX(path, info);
    case 17: return InfoPIC(path, info);
    case 18: return InfoRAS(path, info);
    case 19: return InfoCISRLE(path, info);
    case 20: return InfoTGA(path, info);
    case 21: return InfoTIF(path, info);
    case 22: return InfoWMF(path, info);
    case 23: return InfoWPG(path, info);
    case 106: return InfoPSD(path, info);
    case 107: case 108: case 109: return InfoPXM(path, info);
    case 110: return InfoPNG(path, info);
    case 113: return InfoPICT(path, info);
    default: return kNoReader;
  }
}

// CGM and Lotus drawings: decoded into a metafile, rendered at its own size, deleted.
template <typename DecodeMeta>
Code RenderMetafile(ProgressWindow progress, const InputPreferences& preferences, DibHandle* out,
                    const std::string& path, DecodeMeta decode) {
  imgx::MetafileHandle metafile;
  int w = 0, h = 0;
  const Code r = decode(progress, path, &metafile, &w, &h);
  if (r != imgx::kOk) {
    return r;
  }
  return imgx::MetaToDIB(progress, metafile.get(), out, 8, 0, 0, w, h, w, h, MetafilePromptFlag(preferences));
}

Code Decode(ProgressWindow progress, const InputPreferences& preferences, ImageTypeCode type, const std::string& path,
            DibHandle* out, std::int16_t* transparentIndex, imgx::ExtraHandle* extra) {
  using namespace imgx;
  switch (type) {
    case 0: case 4: return DecodeBMP(progress, path, out);
    case 2: return DecodeCLP(progress, path, out);
    case 3: return DecodeCUT(progress, path, out);
    case 8: return DecodeIMG(progress, path, out);
    case 13: return DecodeMAC(progress, path, out);
    case 14: return DecodeMSP(progress, path, out);
    case 16: return DecodePCX(progress, path, out);
    case 18: return DecodeRAS(progress, path, out);
    case 23: return DecodeWPG(progress, path, out);
    case 6: return DecodeGIF(progress, path, out, transparentIndex);
    case 7: case 12: return DecodeIFF(progress, path, out);
    case 10: case 11: return DecodeJPG(progress, path, out);
    case 15: {
      const int stored = preferences.pcdLoadSize;
      return DecodePCD(progress, path, out, stored == 5 ? 0 : stored + 1);
    }
    case 17: {
      // A Lotus drawing shares the extension; it is rendered through the metafile path.
      const Code r = DecodePIC(progress, path, out);
      std::uint16_t content = 0;
      if (r == kNotPcPaint && ImageType(path, &content) == imgx::kOk && content == kTypeLotusPic) {
        return RenderMetafile(progress, preferences, out, path, DecodeLPIC);
      }
      return r;
    }
    case 19: {
      int kind = 0;
      const Code r = PickRLEType(path, &kind);
      if (r != imgx::kOk) {
        return r;
      }
      if (kind == 1) {
        return DecodeBMP(progress, path, out);
      }
      if (kind == 10) {
        return DecodeCISRLE(progress, path, out);
      }
      return kNotThisFormat;
    }
    case 20: return DecodeTGA(progress, path, out, extra);
    case 21: return DecodeTIF(progress, path, out, extra);
    case 106: return DecodePSD(progress, path, out);
    case 107: case 108: case 109: return DecodePXM(progress, path, out);
    case 110: return DecodePNG(progress, path, out, extra, transparentIndex);
    case 113: return DecodePICT(progress, path, out);
    case 22:
      return DecodeWMF(progress, path, out, preferences.metafileWidth, preferences.metafileHeight,
                       MetafilePromptFlag(preferences));
    case 111: return RenderMetafile(progress, preferences, out, path, DecodeCGM);
    default: return kNoReader;
  }
}

// JPEG (10, 11), TIFF (21) and PNG (110) carry a photograph's metadata.
bool CarriesPhotoMetadata(ImageTypeCode type) { return type == 10 || type == 11 || type == 21 || type == 110; }

// The metadata of a decoded photograph, and the picture turned upright when asked.
// Only cancelling fails the read; a picture that cannot be turned stays as stored.
Code ReadPhotograph(ProgressWindow progress, const InputPreferences& preferences, const std::string& path,
                    ReadResult* result) {
  PhotoMetadata& m = result->metadata;
  m = ReadPhotoMetadata(path);
  if (result->extra && result->extra->orientationFlipsUndone) {
    m.orientation = OrientationAfterFlips(m.orientation);
  }
  if (preferences.autoOrient == 0 || m.orientation == 1) {
    return imgx::kOk;
  }
  DibHandle upright;
  const OpResult r = OrientDIB(progress, result->image.get(), m.orientation, &upright);
  if (r == kCancelled) {
    return imgx::kCancelled;
  }
  if (r == kOk && upright) {
    result->image = std::move(upright);
    m.orientation = 1;
  }
  return imgx::kOk;
}

}  // namespace

ImageTypeCode ResolveImageType(const FileTypeTable& table, const std::string& path, int tableIndex) {
  ImageTypeCode t = kTypeNotRecognised;
  if (tableIndex >= 1) {
    if (tableIndex <= table.entryCount()) {
      t = table.entry(tableIndex).type;
    }
  } else {
    const int n = EntryForExtension(table, path, false);
    if (n != 0) {
      t = table.entry(n).type;
    } else if (imgx::ImageType(path, &t) != imgx::kOk) {
      t = kTypeNotRecognised;
    }
  }
  return CountsAsNotRecognised(t) ? kTypeNotRecognised : t;
}

ReadResult ReadImageFile(ProgressWindow progress, const FileTypeTable& table, const InputPreferences& preferences,
                         const std::string& path, int tableIndex) {
  ReadResult result;
  if (!CanOpen(path)) {
    result.code = imgx::kCannotOpen;
    return result;
  }
  const ImageTypeCode t = ResolveImageType(table, path, tableIndex);
  result.type = t;
  if (t == kTypeNotRecognised) {
    result.code = imgx::kUnrecognised;
    return result;
  }
  Code r = 0;
  if (t >= kTypeFirstFilter) {
    r = ReadThroughFilter(progress, table, preferences, t, path, &result.image);
  } else {
    imgx::ImageInfo info;
    RequestInfo(t, path, &info);
    r = Decode(progress, preferences, t, path, &result.image, &result.transparentIndex, &result.extra);
    if (r == imgx::kOk && CarriesPhotoMetadata(t)) {
      r = ReadPhotograph(progress, preferences, path, &result);
    }
  }
  if (r != imgx::kOk) {
    result.image.reset();
    result.extra.reset();
    result.metadata = PhotoMetadata{};
    result.transparentIndex = -1;
    if (tableIndex == 0 && r != imgx::kCancelled && r != imgx::kNoMemory && r != 304 && r != 503 && r != 512 &&
        r != 532) {
      const int n = EntryForExtension(table, path, true);
      if (n != 0) {
        r = ReadThroughFilter(progress, table, preferences, table.entry(n).type, path, &result.image);
      }
    }
  }
  result.code = r;
  return result;
}

}  // namespace km
