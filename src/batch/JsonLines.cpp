#include "batch/JsonLines.h"

#include <algorithm>
#include <cstdint>

namespace km {

namespace {

bool Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at text[i], or 0 when there is none.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char lead = byte(0);
  const std::size_t left = text.size() - i;
  if (lead < 0x80) {
    return 1;
  }
  // The allowed range of the second byte narrows for E0, ED, F0 and F4, which rules out
  // overlong forms, surrogates and code points above U+10FFFF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (left < length || byte(1) < low || byte(1) > high) {
    return 0;
  }
  for (std::size_t k = 2; k < length; ++k) {
    if (!Continuation(byte(k))) {
      return 0;
    }
  }
  return length;
}

void AppendField(std::string* line, const char* name, const std::string& value) {
  *line += '"';
  *line += name;
  *line += "\":";
  *line += value;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = SequenceLength(text, i);
    if (length == 0) {
      return false;
    }
    i += length;
  }
  return true;
}

std::string JsonString(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string json;
  json.reserve(text.size() + 2);
  json += '"';
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = SequenceLength(text, i);
    if (length == 0) {
      json += "\xEF\xBF\xBD";  // U+FFFD in place of the stray byte
      ++i;
      continue;
    }
    if (length > 1) {
      json.append(text.substr(i, length));
      i += length;
      continue;
    }
    const char c = text[i++];
    switch (c) {
      case '"': json += "\\\""; break;
      case '\\': json += "\\\\"; break;
      case '\b': json += "\\b"; break;
      case '\f': json += "\\f"; break;
      case '\n': json += "\\n"; break;
      case '\r': json += "\\r"; break;
      case '\t': json += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          json += "\\u00";
          json += kHex[(c >> 4) & 0xF];
          json += kHex[c & 0xF];
        } else {
          json += c;
        }
    }
  }
  json += '"';
  return json;
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = (group << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kDigits[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
  }
  return out;
}

std::string JsonLine(const FileResult& record) {
  std::string line = "{";
  AppendField(&line, "input", JsonString(record.input));
  line += ',';
  AppendField(&line, "output", JsonString(record.output));
  line += ',';
  AppendField(&line, "status", JsonString(FileStatusName(record.status)));
  line += ',';
  AppendField(&line, "code", std::to_string(record.code));
  line += ',';
  AppendField(&line, "message", JsonString(record.message));
  line += ',';
  AppendField(&line, "milliseconds", std::to_string(record.milliseconds));
  if (!IsValidUtf8(record.input)) {
    line += ',';
    AppendField(&line, "input_base64", JsonString(Base64(record.input)));
  }
  if (!IsValidUtf8(record.output)) {
    line += ',';
    AppendField(&line, "output_base64", JsonString(Base64(record.output)));
  }
  line += '}';
  return line;
}

void JsonLinesWriter::write(const FileResult& record) {
  out_ << JsonLine(record) << '\n';
  out_.flush();
}

}  // namespace km
