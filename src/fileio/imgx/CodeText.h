#pragma once

// The format library's text table: a message for every code the project's image
// operations, palette readers, format library and import filters produce, and an empty
// text for any other code, so that the caller falls back to its "unknown error" text.

#include <string>

namespace km::imgx {

// The library's text for `code`, or an empty string when it has none.
std::string CodeText(int code);

}  // namespace km::imgx
