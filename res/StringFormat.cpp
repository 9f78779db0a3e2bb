// Typed printf-style formatting for the string table's formats.

#include "StringTable.h"

#include <cstdio>
#include <string>

namespace km {

long long FormatArg::asSigned() const {
  switch (kind_) {
    case Kind::Signed: return signed_;
    case Kind::Unsigned: return static_cast<long long>(unsigned_);
    case Kind::Real: return static_cast<long long>(real_);
    case Kind::Text: break;
  }
  return 0;
}

unsigned long long FormatArg::asUnsigned() const {
  switch (kind_) {
    case Kind::Signed: return static_cast<unsigned long long>(signed_);
    case Kind::Unsigned: return unsigned_;
    case Kind::Real: return real_ < 0 ? 0 : static_cast<unsigned long long>(real_);
    case Kind::Text: break;
  }
  return 0;
}

double FormatArg::asReal() const {
  switch (kind_) {
    case Kind::Signed: return static_cast<double>(signed_);
    case Kind::Unsigned: return static_cast<double>(unsigned_);
    case Kind::Real: return real_;
    case Kind::Text: break;
  }
  return 0.0;
}

std::string FormatArg::asText() const {
  switch (kind_) {
    case Kind::Signed: return std::to_string(signed_);
    case Kind::Unsigned: return std::to_string(unsigned_);
    case Kind::Real: return std::to_string(real_);
    case Kind::Text: return std::string(text_);
  }
  return {};
}

namespace {

// Formats one value with a complete conversion such as "%-5lld"; never truncates.
template <typename T>
std::string Printf(const std::string& conversion, T value) {
  char small[64];
  int n = std::snprintf(small, sizeof small, conversion.c_str(), value);
  if (n < 0) {
    return {};
  }
  if (static_cast<std::size_t>(n) < sizeof small) {
    return std::string(small, static_cast<std::size_t>(n));
  }
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), conversion.c_str(), value);
  big.resize(static_cast<std::size_t>(n));
  return big;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 16);
  const FormatArg* next = args.begin();
  const FormatArg* const end = args.end();
  std::size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    // A conversion: % [flags] [width] [.precision] [length] type.
    std::size_t start = i++;
    std::string flags;
    while (i < format.size() && (format[i] == '-' || format[i] == '+' || format[i] == ' ' ||
                                 format[i] == '#' || format[i] == '0')) {
      flags += format[i++];
    }
    std::string width;
    while (i < format.size() && IsDigit(format[i]) && width.size() < 4) {
      width += format[i++];
    }
    std::string precision;
    if (i < format.size() && format[i] == '.') {
      precision += format[i++];
      while (i < format.size() && IsDigit(format[i]) && precision.size() < 5) {
        precision += format[i++];
      }
    }
    while (i < format.size() && (format[i] == 'l' || format[i] == 'h' || format[i] == 'z')) {
      ++i;  // the argument's own type decides the width of the value
    }
    if (i >= format.size()) {
      out.append(format.substr(start));  // an unfinished conversion is kept as text
      break;
    }
    char type = format[i++];
    std::string conversion = "%" + flags + width + precision;
    if (type == '%') {
      out += '%';
      continue;
    }
    bool known = type == 'd' || type == 'i' || type == 'u' || type == 'x' || type == 'X' ||
                 type == 'o' || type == 'f' || type == 'e' || type == 'g' || type == 's' ||
                 type == 'c';
    if (!known) {
      out.append(format.substr(start, i - start));
      continue;
    }
    if (next == end) {
      continue;  // a missing argument prints nothing
    }
    const FormatArg& arg = *next++;
    switch (type) {
      case 'd':
      case 'i':
        out += Printf(conversion + "lld", arg.asSigned());
        break;
      case 'u':
      case 'x':
      case 'X':
      case 'o':
        out += Printf(conversion + "ll" + type, arg.asUnsigned());
        break;
      case 'f':
      case 'e':
      case 'g':
        out += Printf(conversion + type, arg.asReal());
        break;
      case 'c':
        out += Printf(conversion + "c", static_cast<int>(static_cast<unsigned char>(arg.asSigned())));
        break;
      case 's': {
        std::string text = arg.asText();
        out += Printf(conversion + "s", text.c_str());
        break;
      }
      default:
        break;
    }
  }
  return out;
}

}  // namespace km
