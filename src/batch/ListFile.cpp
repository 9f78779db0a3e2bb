#include "batch/ListFile.h"

#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "StringTable.h"

namespace km {

namespace fs = std::filesystem;

namespace {

constexpr int kTextTempListFailed = 2019;

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) {
    return name;
  }
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

bool ReadListFile(const std::string& path, std::vector<std::string>* lines) {
  lines->clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::string current;
  char c = 0;
  while (in.get(c)) {
    if (c == '\r') {
      continue;
    }
    if (c == '\n' || c == '\0') {
      if (current.empty()) {
        return true;  // the first empty line ends the list
      }
      lines->push_back(current);
      current.clear();
      continue;
    }
    current.push_back(c);
  }
  if (in.bad()) {
    lines->clear();
    return false;
  }
  if (!current.empty()) {
    lines->push_back(current);
  }
  return true;
}

bool BuildFileList(std::string* listPath, const std::string& pattern, const std::string& folder,
                   const std::string& names, MessageService& messages) {
  const fs::path temp = fs::temp_directory_path();
  std::string templ = (temp / "TMPXXXXXX").string();
  const int fd = ::mkstemp(templ.data());
  if (fd < 0) {
    messages.message(LoadString(kTextTempListFailed), MessageIcon::Exclamation);
    return false;
  }
  std::string content;
  if (!names.empty()) {
    content = names;
  } else {
    std::string searchFolder = folder;
    std::string searchPattern = pattern;
    if (folder.empty()) {
      const auto slash = pattern.find_last_of('/');
      searchFolder = slash == std::string::npos ? "." : (slash == 0 ? "/" : pattern.substr(0, slash));
      searchPattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    }
    if (searchPattern.empty() || searchPattern == "*.*") {
      searchPattern.assign(1, '*');  // every file, with or without a dot
    }
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(searchFolder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      std::error_code typeError;
      if (name.empty() || name[0] == '.' || !it->is_regular_file(typeError)) {
        continue;
      }
      if (::fnmatch(searchPattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
        found.push_back(name);
      }
    }
    std::sort(found.begin(), found.end());
    const std::string prefix = folder.empty() && pattern.find('/') != std::string::npos ? searchFolder : "";
    for (const std::string& name : found) {
      content += (prefix.empty() ? name : JoinPath(prefix, name)) + "\n";
    }
  }
  const bool written = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    std::remove(templ.c_str());
    messages.message(LoadString(kTextTempListFailed), MessageIcon::Exclamation);
    return false;
  }
  *listPath = templ;
  return true;
}

}  // namespace km
