#include "fileio/FileTypeTable.h"

#include <algorithm>
#include <cctype>

#include "StringTable.h"

namespace km {

namespace {

struct BuiltIn {
  int stringId;  // "EXT - description|*.EXT|"
  ImageTypeCode type;
};

// The built-in entries in the order they are added.
constexpr BuiltIn kBuiltIns[] = {
    {1602, 0},   {1603, 2},   {1604, 3},   {1605, 4},   {1608, 6},   {1609, 7},   {1610, 8},   {1612, 10},
    {1613, 11},  {1614, 12},  {1615, 13},  {1617, 14},  {1618, 107}, {1643, 113}, {1619, 15},  {1620, 16},
    {1621, 108}, {1622, 17},  {1641, 110}, {1623, 109}, {1624, 106}, {1625, 18},  {1627, 19},  {1628, 20},
    {1629, 21},  {1631, 22},  {1632, 23},  {1642, 111}, {1639, 112},
};

constexpr int kAllFilesId = 1600;  // "All Files|*.*|"

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

// "desc|*.ext|": the separator before the pattern and the last one become NUL. For a
// three-character pattern ("*.GIF", "*.X  ") the first is the seventh character from
// the end; a filter's longer extension ("*.WEBP") moves it.
std::string StoredPair(const std::string& text) {
  std::string s = text;
  const std::size_t bar = s.rfind('|', s.size() - 2);
  s[bar == std::string::npos ? s.size() - 7 : bar] = '\0';
  s[s.size() - 1] = '\0';
  return s;
}

}  // namespace

FileTypeTable::FileTypeTable() : slots_(kSlotCount) {
  entries_.reserve(kMaxEntries);
  for (const BuiltIn& b : kBuiltIns) {
    addEntry(LoadString(b.stringId), b.type);
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

int FileTypeTable::findFilterExtension(const std::string& extension) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const int slot = entries_[i].type - kTypeFirstFilter;
    if (slot >= kFirstFilterSlot && slot < kSlotCount && slots_[static_cast<std::size_t>(slot)].extension == extension) {
      return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

std::string FileTypeTable::filterText() const {
  // "All Files|*.*|" with both separators turned into NUL.
  std::string s = LoadString(kAllFilesId);
  std::replace(s.begin(), s.end(), '|', '\0');
  for (const FileTypeEntry& e : entries_) {
    s += StoredPair(e.text);
  }
  return s;
}

namespace {

// The characters after the last "." of the file name; false when it has no ".".
bool RawExtension(const std::string& path, std::string* ext) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return false;
  }
  *ext = path.substr(dot + 1);
  for (char& c : *ext) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return true;
}

}  // namespace

std::string UpperExtension(const std::string& path) {
  std::string ext;
  RawExtension(path, &ext);
  return ext;
}

std::string ExtensionKey(const std::string& path) {
  std::string ext;
  if (!RawExtension(path, &ext) || ext.size() > 3) {
    return {};
  }
  ext.resize(3, ' ');
  return ext;
}

}  // namespace km
