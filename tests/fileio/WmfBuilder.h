#pragma once

// Windows metafiles built byte by byte from the published record layout, for the
// metafile tests and the bad-file corpus.

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace km::test {

class WmfBuilder {
public:
  // Placeable (bounds and units per inch) or plain.
  static WmfBuilder Placeable(int left, int top, int right, int bottom, int inch) {
    WmfBuilder b;
    b.placeable_ = true;
    b.bounds_[0] = left;
    b.bounds_[1] = top;
    b.bounds_[2] = right;
    b.bounds_[3] = bottom;
    b.inch_ = inch;
    return b;
  }
  static WmfBuilder Plain() { return WmfBuilder(); }

  // One record: function and 16-bit parameter words (as stored, in record order).
  WmfBuilder& rec(std::uint16_t fn, std::initializer_list<int> words) {
    std::vector<std::uint8_t> p;
    for (int w : words) {
      p.push_back(static_cast<std::uint8_t>(w & 0xFF));
      p.push_back(static_cast<std::uint8_t>((w >> 8) & 0xFF));
    }
    return raw(fn, p);
  }
  // A record with parameter bytes as given (padded to an even count).
  WmfBuilder& raw(std::uint16_t fn, std::vector<std::uint8_t> params) {
    if (params.size() % 2) params.push_back(0);
    const std::uint32_t words = static_cast<std::uint32_t>(3 + params.size() / 2);
    put32(body_, words);
    put16(body_, fn);
    body_.insert(body_.end(), params.begin(), params.end());
    return *this;
  }
  // A record whose size field says `words` whatever follows.
  WmfBuilder& lyingRecord(std::uint16_t fn, std::uint32_t words, std::vector<std::uint8_t> params) {
    put32(body_, words);
    put16(body_, fn);
    body_.insert(body_.end(), params.begin(), params.end());
    return *this;
  }
  WmfBuilder& objects(int n) {
    objects_ = n;
    return *this;
  }

  // Common records.
  WmfBuilder& windowOrg(int x, int y) { return rec(0x020B, {y, x}); }
  WmfBuilder& windowExt(int x, int y) { return rec(0x020C, {y, x}); }
  WmfBuilder& mapMode(int m) { return rec(0x0103, {m}); }
  WmfBuilder& pen(int style, int width, std::uint32_t colour) {
    return rec(0x02FA, {style, width, 0, int(colour & 0xFFFF), int(colour >> 16)});
  }
  WmfBuilder& brush(int style, std::uint32_t colour, int hatch = 0) {
    return rec(0x02FC, {style, int(colour & 0xFFFF), int(colour >> 16), hatch});
  }
  WmfBuilder& select(int i) { return rec(0x012D, {i}); }
  WmfBuilder& remove(int i) { return rec(0x01F0, {i}); }
  WmfBuilder& rectangle(int l, int t, int r, int b) { return rec(0x041B, {b, r, t, l}); }
  WmfBuilder& ellipse(int l, int t, int r, int b) { return rec(0x0418, {b, r, t, l}); }
  WmfBuilder& moveTo(int x, int y) { return rec(0x0214, {y, x}); }
  WmfBuilder& lineTo(int x, int y) { return rec(0x0213, {y, x}); }
  WmfBuilder& polygon(std::initializer_list<int> xy) { return points(0x0324, xy); }
  WmfBuilder& polyline(std::initializer_list<int> xy) { return points(0x0325, xy); }
  WmfBuilder& points(std::uint16_t fn, std::initializer_list<int> xy) {
    std::vector<int> w{static_cast<int>(xy.size() / 2)};
    w.insert(w.end(), xy.begin(), xy.end());
    return words(fn, w);
  }
  WmfBuilder& words(std::uint16_t fn, const std::vector<int>& ws) {
    std::vector<std::uint8_t> p;
    for (int w : ws) {
      p.push_back(static_cast<std::uint8_t>(w & 0xFF));
      p.push_back(static_cast<std::uint8_t>((w >> 8) & 0xFF));
    }
    return raw(fn, p);
  }
  // StretchDIBits of a 24-bit picture given as top-first 0x00RRGGBB values.
  WmfBuilder& stretchDib(int dx, int dy, int dw, int dh, int w, int h, const std::vector<std::uint32_t>& rgb,
                         std::uint32_t rop = 0x00CC0020) {
    std::vector<std::uint8_t> p;
    auto p16 = [&](int v) { put16(p, static_cast<std::uint16_t>(v)); };
    put32(p, rop);
    p16(0);
    p16(h); p16(w); p16(0); p16(0);
    p16(dh); p16(dw); p16(dy); p16(dx);
    appendDib(p, w, h, rgb);
    return raw(0x0F43, p);
  }
  static void appendDib(std::vector<std::uint8_t>& p, int w, int h, const std::vector<std::uint32_t>& rgb) {
    put32(p, 40);
    put32(p, static_cast<std::uint32_t>(w));
    put32(p, static_cast<std::uint32_t>(h));
    put16(p, 1);
    put16(p, 24);
    for (int i = 0; i < 6; ++i) put32(p, 0);
    const int stride = (w * 3 + 3) / 4 * 4;
    for (int y = h - 1; y >= 0; --y) {
      for (int x = 0; x < w; ++x) {
        const std::uint32_t c = rgb[static_cast<std::size_t>(y * w + x)];
        p.push_back(static_cast<std::uint8_t>(c));
        p.push_back(static_cast<std::uint8_t>(c >> 8));
        p.push_back(static_cast<std::uint8_t>(c >> 16));
      }
      for (int k = w * 3; k < stride; ++k) p.push_back(0);
    }
  }

  // The file, with an end record unless told otherwise.
  std::vector<std::uint8_t> bytes(bool endRecord = true) const {
    std::vector<std::uint8_t> body = body_;
    if (endRecord) {
      put32(body, 3);
      put16(body, 0);
    }
    std::vector<std::uint8_t> out;
    if (placeable_) {
      put32(out, 0x9AC6CDD7u);
      put16(out, 0);
      for (int v : bounds_) put16(out, static_cast<std::uint16_t>(v));
      put16(out, static_cast<std::uint16_t>(inch_));
      put32(out, 0);
      std::uint16_t sum = 0;
      for (std::size_t i = 0; i < 20; i += 2) sum ^= static_cast<std::uint16_t>(out[i] | (out[i + 1] << 8));
      put16(out, sum);
    }
    put16(out, 1);
    put16(out, 9);
    put16(out, 0x0300);
    put32(out, static_cast<std::uint32_t>((18 + body.size()) / 2));
    put16(out, static_cast<std::uint16_t>(objects_));
    std::uint32_t largest = 0;
    for (std::size_t at = 0; at + 4 <= body.size();) {
      const std::uint32_t w = body[at] | (body[at + 1] << 8) | (body[at + 2] << 16) | (std::uint32_t{body[at + 3]} << 24);
      largest = std::max(largest, w);
      if (w == 0 || w > (body.size() - at) / 2) break;
      at += std::size_t{w} * 2;
    }
    put32(out, largest);
    put16(out, 0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }

  static void put16(std::vector<std::uint8_t>& v, std::uint16_t x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
  }
  static void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    put16(v, static_cast<std::uint16_t>(x));
    put16(v, static_cast<std::uint16_t>(x >> 16));
  }

private:
  bool placeable_ = false;
  int bounds_[4] = {0, 0, 0, 0};
  int inch_ = 96;
  int objects_ = 8;
  std::vector<std::uint8_t> body_;
};

}  // namespace km::test
