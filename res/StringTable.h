#pragma once

// The program's string table: every user-visible text, looked up by its numeric id.
// The texts live in res/strings.txt; res/StringTable.cpp holds the same entries compiled
// in (tests check that the two agree).
//
// FormatString fills a table format the way the program's printf-style formats expect:
// %d %i %ld %u %lu %s %.2f and %% (flags, width and precision are honoured). Arguments
// are typed, so a wrong or missing argument never reads stray memory: a missing one
// prints nothing, a number given to %s prints the number, text given to %d prints 0.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace km {

// The text of string `id`, or an empty string when the table has no such id.
std::string LoadString(int id);

// True when the table holds `id` (an entry may in principle be empty).
bool HasString(int id);

// Number of entries, and the id of entry i (in ascending id order), for tests and tools.
int StringCount();
int StringIdAt(int i);

// One argument of FormatText: an integer, a real number or a text. A text argument only
// refers to the caller's characters, so a FormatArg lives for one call, as in
// FormatString(id, a, b) or FormatText(format, {a, b}).
class FormatArg {
public:
  enum class Kind { Signed, Unsigned, Real, Text };

  template <typename T>
    requires std::is_integral_v<T>
  FormatArg(T v) {  // NOLINT(google-explicit-constructor)
    if constexpr (std::is_signed_v<T>) {
      kind_ = Kind::Signed;
      signed_ = static_cast<long long>(v);
    } else {
      kind_ = Kind::Unsigned;
      unsigned_ = static_cast<unsigned long long>(v);
    }
  }
  FormatArg(double v) : kind_(Kind::Real), real_(v) {}  // NOLINT
  FormatArg(float v) : kind_(Kind::Real), real_(v) {}  // NOLINT
  FormatArg(const char* s) : kind_(Kind::Text), text_(s ? s : "") {}  // NOLINT
  FormatArg(std::string_view s) : kind_(Kind::Text), text_(s) {}  // NOLINT
  FormatArg(const std::string& s) : kind_(Kind::Text), text_(s) {}  // NOLINT

  Kind kind() const { return kind_; }
  long long asSigned() const;
  unsigned long long asUnsigned() const;
  double asReal() const;
  std::string asText() const;

private:
  Kind kind_;
  long long signed_ = 0;
  unsigned long long unsigned_ = 0;
  double real_ = 0.0;
  std::string_view text_;
};

// Fills a printf-style format with typed arguments.
std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args);

// LoadString(id) filled with the arguments.
template <typename... Args>
std::string FormatString(int id, const Args&... args) {
  return FormatText(LoadString(id), {FormatArg(args)...});
}

}  // namespace km
