#pragma once

// Bounded readers and writers for the codecs. Every decoder treats its file as
// hostile: each read is checked against what remains, the first short read makes the
// reader fail for good, and reading past the end never yields zeros.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace km::imgx {

// a * b (* c) without overflow; false when the product does not fit.
inline bool CheckedMul(std::size_t a, std::size_t b, std::size_t* out) {
  return !__builtin_mul_overflow(a, b, out);
}
inline bool CheckedMul3(std::size_t a, std::size_t b, std::size_t c, std::size_t* out) {
  std::size_t ab = 0;
  return CheckedMul(a, b, &ab) && CheckedMul(ab, c, out);
}

class ByteReader {
public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit ByteReader(const std::vector<std::uint8_t>& v) : data_(v.data()), size_(v.size()) {}

  bool ok() const { return ok_; }
  std::size_t pos() const { return pos_; }
  std::size_t size() const { return size_; }
  std::size_t remaining() const { return ok_ ? size_ - pos_ : 0; }
  const std::uint8_t* cursor() const { return data_ + pos_; }

  // Moves to an absolute offset; past the end fails.
  bool seek(std::size_t offset) {
    if (!ok_ || offset > size_) {
      return fail();
    }
    pos_ = offset;
    return true;
  }
  bool skip(std::size_t n) {
    if (!ok_ || n > size_ - pos_) {
      return fail();
    }
    pos_ += n;
    return true;
  }
  bool read(void* dst, std::size_t n) {
    if (!ok_ || n > size_ - pos_) {
      return fail();
    }
    if (n != 0) {
      std::memcpy(dst, data_ + pos_, n);
    }
    pos_ += n;
    return true;
  }
  // Pointer to the next n bytes and advance, or null (and fail) when they are not there.
  const std::uint8_t* take(std::size_t n) {
    if (!ok_ || n > size_ - pos_) {
      fail();
      return nullptr;
    }
    const std::uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }

  std::uint8_t u8() {
    std::uint8_t b[1] = {0};
    read(b, 1);
    return b[0];
  }
  std::uint16_t u16le() {
    std::uint8_t b[2] = {0, 0};
    read(b, 2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  }
  std::uint16_t u16be() {
    std::uint8_t b[2] = {0, 0};
    read(b, 2);
    return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
  }
  std::uint32_t u32le() {
    std::uint8_t b[4] = {0, 0, 0, 0};
    read(b, 4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  }
  std::uint32_t u32be() {
    std::uint8_t b[4] = {0, 0, 0, 0};
    read(b, 4);
    return (static_cast<std::uint32_t>(b[0]) << 24) | (static_cast<std::uint32_t>(b[1]) << 16) |
           (static_cast<std::uint32_t>(b[2]) << 8) | static_cast<std::uint32_t>(b[3]);
  }
  std::int16_t s16le() { return static_cast<std::int16_t>(u16le()); }
  std::int16_t s16be() { return static_cast<std::int16_t>(u16be()); }
  std::int32_t s32le() { return static_cast<std::int32_t>(u32le()); }
  std::int32_t s32be() { return static_cast<std::int32_t>(u32be()); }

private:
  bool fail() {
    ok_ = false;
    return false;
  }
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

class ByteWriter {
public:
  std::vector<std::uint8_t>& bytes() { return out_; }
  std::size_t size() const { return out_.size(); }
  void u8(unsigned v) { out_.push_back(static_cast<std::uint8_t>(v)); }
  void u16le(unsigned v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); }
  void u16be(unsigned v) { u8((v >> 8) & 0xFF); u8(v & 0xFF); }
  void u32le(std::uint32_t v) { u16le(v & 0xFFFF); u16le(v >> 16); }
  void u32be(std::uint32_t v) { u16be(v >> 16); u16be(v & 0xFFFF); }
  void bytes(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
  }
  void fill(std::uint8_t v, std::size_t n) { out_.insert(out_.end(), n, v); }
  void text(const std::string& s) { bytes(s.data(), s.size()); }
  // Overwrites already written bytes (sizes and offsets known only at the end).
  void put16le(std::size_t at, unsigned v) { out_[at] = v & 0xFF; out_[at + 1] = (v >> 8) & 0xFF; }
  void put32le(std::size_t at, std::uint32_t v) { put16le(at, v & 0xFFFF); put16le(at + 2, v >> 16); }
  void put16be(std::size_t at, unsigned v) { out_[at] = (v >> 8) & 0xFF; out_[at + 1] = v & 0xFF; }
  void put32be(std::size_t at, std::uint32_t v) { put16be(at, v >> 16); put16be(at + 2, v & 0xFFFF); }

private:
  std::vector<std::uint8_t> out_;
};

}  // namespace km::imgx
