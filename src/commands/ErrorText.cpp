#include "commands/ErrorText.h"

#include <cstdint>

#include "StringTable.h"
#include "fileio/LibraryText.h"

namespace km {
namespace {

constexpr int kInvalidParameterText = 5000;
constexpr int kUnknownErrorText = 5018;
constexpr int kScriptLinePrefix = 2026;

}  // namespace

std::string ErrorText(int code) {
  if (code == 0) {
    return {};
  }
  if (code == 101) {
    return ErrorText(-kInvalidParameterText);
  }
  if (code < 0) {
    // Negating INT_MIN would overflow; it has no string in any case.
    const std::int64_t id = -static_cast<std::int64_t>(code);
    std::string text = id <= INT32_MAX ? LoadString(static_cast<int>(id)) : std::string();
    return text.empty() ? FormatString(kUnknownErrorText, id) : text;
  }
  std::string text = LibraryErrorText(code);
  return text.empty() ? FormatString(kUnknownErrorText, code) : text;
}

std::string ErrorText(int code, bool showBox, MessageService& messages) {
  std::string text = ErrorText(code);
  if (showBox && code != 0) {
    messages.message(text, MessageIcon::None);
  }
  return text;
}

int ShowLibraryError(int code, MessageService& messages) {
  std::string text = LibraryErrorText(code);
  if (text.empty()) {
    text = FormatString(kUnknownErrorText, code);
  }
  messages.message(text, MessageIcon::Stop);
  return 0;
}

std::string ScriptLineErrorText(int line, int code) {
  return FormatString(kScriptLinePrefix, line) + ErrorText(code);
}

}  // namespace km
