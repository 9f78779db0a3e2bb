#include "fileio/UnnamedFile.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace km {

namespace {

constexpr char kPrefix[] = ".kilnmark-";

std::string FolderPrefix(const std::string& folder) {
  if (folder.empty()) {
    return std::string();
  }
  return folder.back() == '/' ? folder : folder + "/";
}

bool ProcessEnded(long pid) { return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

}  // namespace

UnnamedFile::~UnnamedFile() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

bool UnnamedFile::Open(const std::string& folder) {
#ifdef O_TMPFILE
  const std::string dir = folder.empty() ? std::string(".") : folder;
  fd_ = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    return false;
  }
  path_ = "/proc/self/fd/" + std::to_string(fd_);
  if (::access(path_.c_str(), W_OK) != 0) {
    ::close(fd_);
    fd_ = -1;
    path_.clear();
    return false;
  }
  folder_ = folder;
  return true;
#else
  (void)folder;
  return false;
#endif
}

bool UnnamedFile::Publish(const std::string& target) {
  if (fd_ < 0) {
    return false;
  }
  const std::string link = ProcessTemporaryName(folder_, ".link");
  if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, link.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    return false;
  }
  if (std::rename(link.c_str(), target.c_str()) != 0) {
    std::remove(link.c_str());
    return false;
  }
  return true;
}

std::string ProcessTemporaryName(const std::string& folder, const std::string& suffix) {
  static std::atomic<unsigned> counter{0};
  return FolderPrefix(folder) + kPrefix + std::to_string(::getpid()) + "-" + std::to_string(counter++) + suffix;
}

long TemporaryNameOwner(const std::string& name) {
  const std::string prefix = kPrefix;
  std::size_t at = 0;
  if (name.compare(0, prefix.size(), prefix) == 0) {
    at = prefix.size();
  } else if (name.size() > 1 && name[0] == '.' && name.compare(1, prefix.size(), prefix) == 0) {
    at = prefix.size() + 1;
  } else {
    return 0;
  }
  long pid = 0;
  const std::size_t start = at;
  while (at < name.size() && name[at] >= '0' && name[at] <= '9' && at - start < 9) {
    pid = pid * 10 + (name[at] - '0');
    ++at;
  }
  return at > start && at < name.size() && name[at] == '-' ? pid : 0;
}

int RemoveStaleTemporaries(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  int removed = 0;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end; it.increment(ec)) {
    const long pid = TemporaryNameOwner(it->path().filename().string());
    std::error_code typeError;
    if (pid > 0 && ProcessEnded(pid) && it->is_regular_file(typeError) && fs::remove(it->path(), typeError)) {
      ++removed;
    }
  }
  return removed;
}

}  // namespace km
