#include "fileio/meta/TextCoding.h"

#include <iconv.h>

#include <vector>

namespace km::meta {

namespace {

const char* CodePage(int charset) {
  switch (charset) {
    case 77: return "MACINTOSH";
    case 128: return "CP932";
    case 129: return "CP949";
    case 134: return "CP936";
    case 136: return "CP950";
    case 161: return "CP1253";
    case 162: return "CP1254";
    case 163: return "CP1258";
    case 177: return "CP1255";
    case 178: return "CP1256";
    case 186: return "CP1257";
    case 204: return "CP1251";
    case 222: return "CP874";
    case 238: return "CP1250";
    case kLatin1:
    case 2: return "ISO-8859-1";  // symbol fonts: the byte values as they are
    default: return "CP1252";
  }
}

void AppendLatin1(std::string* out, unsigned char c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::string TextToUtf8(const std::string& bytes, int charset) {
  std::string clean;
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x20) {
      clean.push_back(c);
    }
  }
  std::string out;
  iconv_t cd = iconv_open("UTF-8", CodePage(charset));
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (char c : clean) {
      AppendLatin1(&out, static_cast<unsigned char>(c));
    }
    return out;
  }
  std::vector<char> buffer(clean.size() * 4 + 16);
  char* in = clean.data();
  std::size_t inLeft = clean.size();
  char* dst = buffer.data();
  std::size_t outLeft = buffer.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1)) {
      if (outLeft == 0) {
        break;
      }
      // An undefined byte (or a cut multi-byte sequence): a question mark in its place.
      *dst++ = '?';
      --outLeft;
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  out.assign(buffer.data(), static_cast<std::size_t>(dst - buffer.data()));
  return out;
}

}  // namespace km::meta
