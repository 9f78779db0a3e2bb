#pragma once

// The format library's text table: a message for every code the project's image
// operations, palette readers, format library and import filters produce, and an
// empty text for any other code, so that ErrorText falls back to "An unknown error
// (%i) has occurred".

#include <string>

namespace km {

// The library's text for `code`, or an empty string when it has none.
std::string LibraryErrorText(int code);

}  // namespace km
