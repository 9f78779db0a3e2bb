#pragma once

// The format library's text for a code, for the layers above this folder, which reach
// the library only through fileio's own headers.

#include <string>

#include "fileio/imgx/CodeText.h"

namespace km {

// The library's text for `code`, or an empty string when it has none.
inline std::string LibraryErrorText(int code) { return imgx::CodeText(code); }

}  // namespace km
