#include "common/SystemError.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include <sys/stat.h>

namespace km {

std::string SystemErrorText(int err) {
  std::string text = std::generic_category().message(err == 0 ? EIO : err);
  if (text.size() >= 2 && std::isupper(static_cast<unsigned char>(text[0])) &&
      !std::isupper(static_cast<unsigned char>(text[1]))) {
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  }
  return text;
}

bool CanOpenForReading(const std::string& path, std::string* reason) {
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    if (reason) *reason = SystemErrorText(errno);
    return false;
  }
  struct stat st {};
  bool folder = ::fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode);
  std::fclose(f);
  if (folder) {
    if (reason) *reason = SystemErrorText(EISDIR);
    return false;
  }
  return true;
}

}  // namespace km
