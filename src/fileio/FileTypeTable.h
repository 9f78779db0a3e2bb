#pragma once

// The readable input file types: the built-in entries of the format library plus one
// entry per registered import filter, kept sorted by their three-letter key, and the
// filter text a file dialog takes ("description", NUL, "pattern", NUL pairs, "All
// Files" first). Entries are numbered from 1 after "All Files", as the dialog's filter
// index minus one. The table belongs to whoever builds it (the run or the dialog); it
// is never process-wide.

#include <cstdint>
#include <string>
#include <vector>

namespace km {

// The 16-bit code of an input format: the library's own codes, 500 + slot for an
// import filter, 1000 = not recognised.
using ImageTypeCode = std::uint16_t;
inline constexpr ImageTypeCode kTypeNotRecognised = 1000;
inline constexpr ImageTypeCode kTypeFirstFilter = 500;

struct FileTypeEntry {
  std::string key;   // first three characters of the entry's text, e.g. "GIF", "PIC"
  std::string text;  // "GIF - CompuServe|*.GIF|" as added
  ImageTypeCode type = 0;
};

// An import filter registered in slot 8..49.
struct ImportFilterSlot {
  std::string libraryPath;  // empty: slot unused
  std::string name;         // display name (the profile key)
  std::string options;
  std::string extension;    // as registered, upper-cased: "SVG", "WEBP"
  int kind = 0;             // 0 loads into this process, 1 runs through the host program
};

class FileTypeTable {
public:
  static constexpr int kMaxEntries = 150;
  static constexpr int kSlotCount = 50;
  static constexpr int kFirstFilterSlot = 8;

  // A table holding the 29 built-in entries.
  FileTypeTable();

  // Inserts before the first entry whose key compares greater, case-insensitively, so
  // equal keys keep the order they were added in. text has the form
  // "KEY - description|*.ext|"; false when the table is full or the text too short.
  bool addEntry(const std::string& text, ImageTypeCode type);

  int entryCount() const { return static_cast<int>(entries_.size()); }
  // Entry n counted from 1 after "All Files" (1..entryCount()).
  const FileTypeEntry& entry(int n) const { return entries_.at(static_cast<std::size_t>(n - 1)); }

  // The first entry whose key equals key exactly (already padded and upper-cased);
  // with filtersOnly, the first such entry with a code of 500 or above. 0 when none.
  int findKey(const std::string& key, bool filtersOnly = false) const;

  // The first import-filter entry registered under `extension` whole (upper-cased, any
  // length): how an extension longer than three characters finds its filter. 0 when none.
  int findFilterExtension(const std::string& extension) const;

  // "All Files", NUL, "*.*", NUL, then each entry's description, NUL, pattern, NUL.
  std::string filterText() const;

  ImportFilterSlot& slot(int n) { return slots_.at(static_cast<std::size_t>(n)); }
  const ImportFilterSlot& slot(int n) const { return slots_.at(static_cast<std::size_t>(n)); }

private:
  std::vector<FileTypeEntry> entries_;
  std::vector<ImportFilterSlot> slots_;
};

// The key a path's extension looks up: the upper-cased characters after the last "."
// of the file name, padded with blanks to three; empty when there is none or it is
// longer than three characters (such extensions match no key).
std::string ExtensionKey(const std::string& path);

// The upper-cased characters after the last "." of the file name, of any length; empty
// when there is none.
std::string UpperExtension(const std::string& path);

}  // namespace km
