#include "fileio/imgx/PackBits.h"

#include <cstring>

namespace km::imgx {

namespace {
bool Unpack(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t cap, std::size_t item) {
  std::size_t in = 0;
  std::size_t out = 0;
  while (in < n) {
    const auto flag = static_cast<std::int8_t>(src[in++]);
    if (flag == -128) {
      continue;
    }
    if (flag >= 0) {
      const std::size_t len = (static_cast<std::size_t>(flag) + 1) * item;
      if (len > n - in || len > cap - out) {
        return false;
      }
      std::memcpy(dst + out, src + in, len);
      in += len;
      out += len;
    } else {
      const std::size_t count = static_cast<std::size_t>(1 - flag);
      if (item > n - in || count * item > cap - out) {
        return false;
      }
      for (std::size_t k = 0; k < count; ++k) {
        std::memcpy(dst + out, src + in, item);
        out += item;
      }
      in += item;
    }
  }
  return true;
}
}  // namespace

bool UnpackBits(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t cap) {
  return Unpack(src, n, dst, cap, 1);
}

bool UnpackBitsWords(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, std::size_t cap) {
  return Unpack(src, n, dst, cap, 2);
}

void PackBits(const std::uint8_t* src, std::size_t n, std::vector<std::uint8_t>* out) {
  std::size_t i = 0;
  while (i < n) {
    std::size_t run = 1;
    while (i + run < n && run < 128 && src[i + run] == src[i]) {
      ++run;
    }
    if (run >= 3) {
      out->push_back(static_cast<std::uint8_t>(257 - run));
      out->push_back(src[i]);
      i += run;
      continue;
    }
    // A literal stretch up to the next run of three or 128 bytes.
    std::size_t len = 0;
    while (i + len < n && len < 128) {
      if (i + len + 2 < n && src[i + len] == src[i + len + 1] && src[i + len] == src[i + len + 2]) {
        break;
      }
      ++len;
    }
    out->push_back(static_cast<std::uint8_t>(len - 1));
    out->insert(out->end(), src + i, src + i + len);
    i += len;
  }
}

}  // namespace km::imgx
