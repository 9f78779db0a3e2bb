// Reading a file through an import filter run by the host program.
//
// Each read gets a private folder holding the exchange file FLTRUN16.INI (section
// "FLTRUN16": "Open", "Filter", "FilterOptions", "Options", "Hwnd", "RetVal", and the
// host's "MetaFile"), so concurrent runs never share one. The host's descriptor 3 is
// the write end of a pipe, named in "Hwnd": one byte on it reports that the host is
// done, and its end of file that the host is gone.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "fileio/filters/ImportFilters.h"
#include "fileio/filters/IniFile.h"
#include "fileio/meta/Meta.h"

extern char** environ;

namespace km {

namespace {

namespace fs = std::filesystem;

constexpr char kHostName[] = "kilnmark-filter-host";
constexpr char kSection[] = "FLTRUN16";
constexpr int kReportDescriptor = 3;
// How long a host that has reported gets to exit before it is ended.
constexpr auto kExitGrace = std::chrono::seconds(5);

bool IsExecutable(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec) && access(p.c_str(), X_OK) == 0;
}

// A private folder for one read, removed with everything in it.
class ExchangeFolder {
public:
  ExchangeFolder() {
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "kilnmark-filter-XXXXXX").string();
    if (!ec && mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
    }
  }
  ~ExchangeFolder() {
    if (!path_.empty()) {
      std::error_code ec;
      fs::remove_all(path_, ec);
    }
  }
  ExchangeFolder(const ExchangeFolder&) = delete;
  ExchangeFolder& operator=(const ExchangeFolder&) = delete;
  const fs::path& path() const { return path_; }

private:
  fs::path path_;
};

class Pipe {
public:
  Pipe() {
    if (pipe2(fds_, O_CLOEXEC) != 0) {
      fds_[0] = fds_[1] = -1;
    }
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  bool ok() const { return fds_[0] >= 0; }
  int read() const { return fds_[0]; }
  int write() const { return fds_[1]; }
  void closeRead() { Close(&fds_[0]); }
  void closeWrite() { Close(&fds_[1]); }

private:
  static void Close(int* fd) {
    if (*fd >= 0) {
      close(*fd);
      *fd = -1;
    }
  }
  int fds_[2] = {-1, -1};
};

// Starts the host on `ini` with the pipe's write end as its descriptor 3 and stdin
// from /dev/null. 0 when it could not be started.
pid_t StartHost(const std::string& host, const std::string& ini, int reportFd) {
  // A descriptor above 3, so that the child's dup2 onto 3 clears close-on-exec.
  const int high = fcntl(reportFd, F_DUPFD_CLOEXEC, 10);
  if (high < 0) {
    return 0;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, high, kReportDescriptor);
  std::string program = host, file = ini;
  char* argv[] = {program.data(), file.data(), nullptr};
  pid_t pid = 0;
  const int r = posix_spawn(&pid, host.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(high);
  return r == 0 ? pid : 0;
}

enum class HostEnd { kDone, kCancelled };

// Waits until the host reports (then gives it kExitGrace to exit) or exits, or until
// the user cancels; a host still running then is killed. The host is always reaped.
HostEnd WaitForHost(ProgressWindow progress, pid_t pid, Pipe& report) {
  bool reported = false, closed = false;
  std::chrono::steady_clock::time_point reportedAt;
  for (;;) {
    int status = 0;
    const pid_t w = waitpid(pid, &status, WNOHANG);
    if (w == pid || (w < 0 && errno != EINTR)) {
      return HostEnd::kDone;
    }
    if (progress != nullptr && progress->cancelled()) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return HostEnd::kCancelled;
    }
    if (reported && std::chrono::steady_clock::now() - reportedAt > kExitGrace) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return HostEnd::kDone;
    }
    if (closed) {
      usleep(20000);
      continue;
    }
    pollfd p{report.read(), POLLIN, 0};
    if (poll(&p, 1, 50) > 0) {
      char byte = 0;
      const ssize_t n = ::read(report.read(), &byte, 1);
      if (n > 0 && !reported) {
        reported = true;
        reportedAt = std::chrono::steady_clock::now();
      } else if (n == 0) {
        closed = true;
      }
    }
  }
}

// "RetVal" as a code: empty or not a number means the host ended without a result.
imgx::Code ResultCode(const std::string& text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
    return imgx::kFilterReadFailed;
  }
  return static_cast<imgx::Code>(value);
}

}  // namespace

std::string FindFilterHost() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && IsExecutable(exe.parent_path() / kHostName)) {
    return (exe.parent_path() / kHostName).string();
  }
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const fs::path candidate = fs::path(start == end ? "." : dirs.substr(start, end - start)) / kHostName;
    if (IsExecutable(candidate)) {
      return candidate.string();
    }
    start = end + 1;
  }
  return {};
}

imgx::Code FilterHostRead(ProgressWindow progress, const ImportFilterSlot& slot, const std::string& path,
                          DibHandle* out, int prompt) {
  out->reset();
  const std::string host = FindFilterHost();
  if (host.empty()) {
    return imgx::kNoImportFilter;
  }
  const ExchangeFolder folder;
  Pipe report;
  if (folder.path().empty() || !report.ok()) {
    return imgx::kNoImportFilter;
  }
  const std::string ini = (folder.path() / "FLTRUN16.INI").string();
  const filters::IniEntries request = {
      {"Open", path},
      {"Filter", slot.libraryPath},
      {"FilterOptions", slot.options},
      {"Options", std::to_string(prompt)},
      {"Hwnd", std::to_string(kReportDescriptor)},
      {"RetVal", ""},
  };
  // A path with a line break cannot be written as one value.
  if (!filters::WriteIniSection(ini, kSection, request)) {
    return imgx::kFilterReadFailed;
  }
  const pid_t pid = StartHost(host, ini, report.write());
  report.closeWrite();
  if (pid == 0) {
    return imgx::kNoImportFilter;
  }
  if (WaitForHost(progress, pid, report) == HostEnd::kCancelled) {
    return imgx::kCancelled;
  }
  const filters::IniEntries answer = filters::ReadIniSection(ini, kSection);
  if (const imgx::Code r = ResultCode(filters::IniValue(answer, "RetVal")); r != imgx::kOk) {
    return r;
  }
  // The metafile is read where the host says, but only files in the read's own folder
  // are deleted (with the folder).
  return imgx::DecodeWMF(progress, filters::IniValue(answer, "MetaFile"), out, 0, 0, prompt);
}

}  // namespace km
