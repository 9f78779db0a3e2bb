#pragma once

// Draws values from a fuzz input front to back; past its end every value is 0, so any
// input, however short, describes a whole case.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace km::fuzz {

class FuzzInput {
public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | (u8() << 8)); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(u16()) | (static_cast<std::uint32_t>(u16()) << 16); }
  // A value in 0..count-1 (count >= 1).
  int pick(int count) { return static_cast<int>(count <= 256 ? u8() % count : u16() % count); }
  // Copies up to n bytes (zeros past the end).
  void bytes(std::uint8_t* out, std::size_t n) {
    const std::size_t have = at_ < size_ ? (size_ - at_ < n ? size_ - at_ : n) : 0;
    if (have != 0) {
      std::memcpy(out, data_ + at_, have);
    }
    std::memset(out + have, 0, n - have);
    at_ += have;
  }
  std::size_t remaining() const { return at_ < size_ ? size_ - at_ : 0; }

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace km::fuzz
