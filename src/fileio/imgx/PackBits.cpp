#include "fileio/imgx/PackBits.h"

#include <algorithm>
#include <cstring>

namespace km::imgx {

namespace {

// The one decoder: stops once out is full (`fill`) or once the input is used up.
RunResult Unpack(ByteReader& in, std::uint8_t* out, std::size_t size, std::size_t item, bool fill) {
  std::size_t done = 0;
  while (fill ? done < size : in.remaining() > 0) {
    if (in.remaining() == 0) {
      return RunResult::kTruncated;
    }
    const int n = static_cast<std::int8_t>(in.u8());
    if (n >= 0) {
      const std::size_t bytes = (static_cast<std::size_t>(n) + 1) * item;
      if (bytes > size - done) {
        return RunResult::kOverrun;
      }
      if (!in.read(out + done, bytes)) {
        return RunResult::kTruncated;
      }
      done += bytes;
    } else if (n != -128) {
      const std::size_t count = static_cast<std::size_t>(1 - n);
      if (count * item > size - done) {
        return RunResult::kOverrun;
      }
      const std::uint8_t* value = in.take(item);
      if (value == nullptr) {
        return RunResult::kTruncated;
      }
      if (item == 1) {
        std::fill(out + done, out + done + count, *value);
      } else {
        for (std::size_t k = 0; k < count; ++k) {
          std::memcpy(out + done + k * item, value, item);
        }
      }
      done += count * item;
    }
  }
  return RunResult::kOk;
}

}  // namespace

RunResult UnpackBits(ByteReader& in, std::uint8_t* out, std::size_t size) { return Unpack(in, out, size, 1, true); }

RunResult UnpackAllBits(ByteReader& in, std::uint8_t* out, std::size_t size, std::size_t item) {
  return Unpack(in, out, size, item, false);
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
