#pragma once

// RFC 4648 base64 decoding for checks, written apart from the program's encoder.

#include <string>

namespace km::test {

// The bytes of `text`; decoding stops at the first '='.
std::string FromBase64(const std::string& text);

}  // namespace km::test
