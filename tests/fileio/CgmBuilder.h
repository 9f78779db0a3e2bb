#pragma once

// CGM files in the binary encoding, built element by element from the published
// layout (default precisions: 16-bit integers, indices and VDC, 8-bit colours and
// colour indices, 32-bit fixed-point reals), for the CGM tests and the bad-file corpus.

#include <cstdint>
#include <string>
#include <vector>

namespace km::test {

class CgmParams {
public:
  CgmParams& e(int v) { return s16(v); }
  CgmParams& s16(int v) {
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    return *this;
  }
  CgmParams& u8(int v) {
    b.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  CgmParams& pt(int x, int y) { return s16(x).s16(y); }
  CgmParams& rgb(int r, int g, int bl) { return u8(r).u8(g).u8(bl); }
  CgmParams& fixed(double v) {
    const int whole = static_cast<int>(v >= 0 ? v : v - 1);
    const int frac = static_cast<int>((v - whole) * 65536);
    return s16(whole).s16(frac);
  }
  CgmParams& str(const std::string& s) {
    u8(static_cast<int>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  std::vector<std::uint8_t> b;
};

class CgmBuilder {
public:
  CgmBuilder() { el(0, 1, CgmParams().str("test")); }

  CgmBuilder& el(int cls, int id, const CgmParams& p) { return el(cls, id, p.b); }
  CgmBuilder& el(int cls, int id, const std::vector<std::uint8_t>& p) {
    const std::size_t n = p.size();
    if (n < 31) {
      put16(static_cast<unsigned>((cls << 12) | (id << 5) | n));
    } else {
      put16(static_cast<unsigned>((cls << 12) | (id << 5) | 31));
      put16(static_cast<unsigned>(n));
    }
    out_.insert(out_.end(), p.begin(), p.end());
    if (n & 1) out_.push_back(0);
    return *this;
  }
  // Common elements.
  CgmBuilder& extent(int x1, int y1, int x2, int y2) { return el(2, 6, CgmParams().pt(x1, y1).pt(x2, y2)); }
  CgmBuilder& body() { return el(0, 3, CgmParams().str("p")).el(0, 4, CgmParams()); }
  CgmBuilder& interior(int style) { return el(5, 22, CgmParams().e(style)); }
  CgmBuilder& fillIndex(int i) { return el(5, 23, CgmParams().u8(i)); }
  CgmBuilder& lineIndex(int i) { return el(5, 4, CgmParams().u8(i)); }
  CgmBuilder& rectangle(int x1, int y1, int x2, int y2) { return el(4, 11, CgmParams().pt(x1, y1).pt(x2, y2)); }
  std::vector<std::uint8_t> bytes(bool end = true) const {
    std::vector<std::uint8_t> b = out_;
    if (end) {
      b.push_back(0x00);
      b.push_back(0xA0);  // end picture
      b.push_back(0x00);
      b.push_back(0x40);  // end metafile
    }
    return b;
  }

private:
  void put16(unsigned v) {
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
    out_.push_back(static_cast<std::uint8_t>(v));
  }
  std::vector<std::uint8_t> out_;
};

// Lotus 1-2-3 graph files: the header with a plot of w x h units, then opcodes.
class LotusBuilder {
public:
  LotusBuilder(int w = 3200, int h = 2311) {
    out_ = {0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00, 0x44, 0x00, 0x00, 0x00, 0x00};
    put16(w - 1);
    put16(h - 1);
  }
  LotusBuilder& op(int v) {
    out_.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  LotusBuilder& xy(int x, int y) {
    put16(x);
    put16(y);
    return *this;
  }
  LotusBuilder& move(int x, int y) { return op(0xA0).xy(x, y); }
  LotusBuilder& draw(int x, int y) { return op(0xA2).xy(x, y); }
  LotusBuilder& colour(int n) { return op(0xB0 + n); }
  LotusBuilder& text(int place, const std::string& s) {
    op(0xA8).op(place);
    out_.insert(out_.end(), s.begin(), s.end());
    return op(0);
  }
  std::vector<std::uint8_t> bytes(bool end = true) const {
    std::vector<std::uint8_t> b = out_;
    if (end) b.push_back(0x60);
    return b;
  }

private:
  void put16(int v) {
    out_.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    out_.push_back(static_cast<std::uint8_t>(v & 0xFF));
  }
  std::vector<std::uint8_t> out_;
};

}  // namespace km::test
