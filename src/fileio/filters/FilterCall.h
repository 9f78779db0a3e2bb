#pragma once

// One import-filter library called for one file: loaded, asked for its interface
// version, optionally for its preferences, then to read the file into a metafile, and
// unloaded. Both the in-process path and the filter host use this.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fileio/imgx/Codes.h"

namespace km::filters {

struct FreeBlock {
  void operator()(void* p) const { std::free(p); }
};

// A filter's picture: the metafile bytes it allocated and the bounds it reported.
struct FilterPicture {
  std::unique_ptr<std::uint8_t, FreeBlock> metafile;
  std::size_t size = 0;
  long left = 0, top = 0, right = 0, bottom = 0;
  long inch = 0;  // logical units per inch
};

// Codes: 104 the library cannot be loaded or lacks "GetFilterInfo"; 5201 it speaks
// another interface version; 5202 it has no import function, or it answered 0 without
// a metafile; a filter's own failure mapped (5307, 5308, 5314 -> 5301; 5310, 5319, 5355
// -> 100) or passed through. "GetFilterPref" is called only when prompt is 1. Every
// block the filter allocated is freed on every path but the picture's metafile, which
// *out then owns.
imgx::Code CallImportFilter(const std::string& library, const std::string& options, const std::string& path,
                            int prompt, FilterPicture* out);

// Whether `library` loads into this process (loaded and unloaded again at once).
bool FilterLibraryLoads(const std::string& library);

}  // namespace km::filters
