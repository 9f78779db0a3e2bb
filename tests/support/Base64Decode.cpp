#include "support/Base64Decode.h"

#include <cstdint>

namespace km::test {

std::string FromBase64(const std::string& text) {
  static const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  std::uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    if (c == '=') {
      break;
    }
    bits = bits << 6 | static_cast<std::uint32_t>(digits.find(c));
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return bytes;
}

}  // namespace km::test
