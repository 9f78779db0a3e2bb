#include "fileio/FileTypeTable.h"

#include <algorithm>
#include <cctype>

namespace km {

namespace {

struct BuiltIn {
  const char* text;
  ImageTypeCode type;
};

// The built-in entries in the order they are added (string ids 1602 ... 1639).
constexpr BuiltIn kBuiltIns[] = {
    {"BMP - OS/2 or Windows Bitmap|*.BMP|", 0},
    {"CLP - Windows Clipboard|*.CLP|", 2},
    {"CUT - Dr. Halo|*.CUT|", 3},
    {"DIB - OS/2 or Windows DIB|*.DIB|", 4},
    {"GIF - CompuServe|*.GIF|", 6},
    {"IFF - Amiga|*.IFF|", 7},
    {"IMG - GEM Paint|*.IMG|", 8},
    {"JIF - JPEG JFIF|*.JIF|", 10},
    {"JPG - JPEG JFIF|*.JPG|", 11},
    {"LBM - Deluxe Paint|*.LBM|", 12},
    {"MAC - MacPaint|*.MAC|", 13},
    {"MSP - Microsoft Paint|*.MSP|", 14},
    {"PBM - Portable Bitmap|*.PBM|", 107},
    {"PCT - Macintosh PICT|*.PCT|", 113},
    {"PCD - Kodak Photo CD|*.PCD|", 15},
    {"PCX - ZSoft Paintbrush|*.PCX|", 16},
    {"PGM - Portable Graymap|*.PGM|", 108},
    {"PIC - PC Paint|*.PIC|", 17},
    {"PNG - Portable Network Graphics|*.PNG|", 110},
    {"PPM - Portable Pixelmap|*.PPM|", 109},
    {"PSD - Photoshop|*.PSD|", 106},
    {"RAS - Sun Raster|*.RAS|", 18},
    {"RLE - CompuServe or Windows RLE|*.RLE|", 19},
    {"TGA - Truevision Targa|*.TGA|", 20},
    {"TIF - Tagged Image File Format|*.TIF|", 21},
    {"WMF - Windows Metafile|*.WMF|", 22},
    {"WPG - WordPerfect|*.WPG|", 23},
    {"CGM - Computer Graphics Metafile|*.CGM|", 111},
    {"PIC - Lotus|*.PIC|", 112},
};

constexpr char kAllFiles[] = "All Files|*.*|";

int CompareKeysNoCase(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = std::toupper(static_cast<unsigned char>(a[i]));
    const int cb = std::toupper(static_cast<unsigned char>(b[i]));
    if (ca != cb) {
      return ca < cb ? -1 : 1;
    }
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// "desc|*.ext|": the seventh character from the end and the last one become NUL.
std::string StoredPair(const std::string& text) {
  std::string s = text;
  s[s.size() - 7] = '\0';
  s[s.size() - 1] = '\0';
  return s;
}

}  // namespace

FileTypeTable::FileTypeTable() : slots_(kSlotCount) {
  entries_.reserve(kMaxEntries);
  for (const BuiltIn& b : kBuiltIns) {
    addEntry(b.text, b.type);
  }
}

bool FileTypeTable::addEntry(const std::string& text, ImageTypeCode type) {
  if (entries_.size() >= kMaxEntries || text.size() < 8) {
    return false;
  }
  FileTypeEntry e{text.substr(0, 3), text, type};
  auto at = std::find_if(entries_.begin(), entries_.end(),
                         [&](const FileTypeEntry& x) { return CompareKeysNoCase(x.key, e.key) > 0; });
  entries_.insert(at, std::move(e));
  return true;
}

int FileTypeTable::findKey(const std::string& key, bool filtersOnly) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].key == key && (!filtersOnly || entries_[i].type >= kTypeFirstFilter)) {
      return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

std::string FileTypeTable::filterText() const {
  // "All Files|*.*|" with both separators turned into NUL.
  std::string s = kAllFiles;
  std::replace(s.begin(), s.end(), '|', '\0');
  for (const FileTypeEntry& e : entries_) {
    s += StoredPair(e.text);
  }
  return s;
}

std::string ExtensionKey(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return {};
  }
  std::string ext = path.substr(dot + 1);
  if (ext.size() > 3) {
    return {};
  }
  for (char& c : ext) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  ext.resize(3, ' ');
  return ext;
}

}  // namespace km
