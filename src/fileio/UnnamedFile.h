#pragma once

// Files that get their name only once complete, so a process killed while writing
// leaves nothing behind.
//
// An UnnamedFile is made with O_TMPFILE in the target's folder: it has no name while
// the encoder writes it (through path(), a /proc link to the descriptor), and
// Publish links it into the folder under a hidden name carrying the process id and
// renames that over the target (linkat cannot replace an existing name). A kill
// before Publish leaves nothing; a kill between the link and the rename leaves one
// hidden file whose name says which process made it.
//
// Hidden names of this process are ".kilnmark-<pid>-...". RemoveStaleTemporaries
// deletes those of processes that no longer run (and the encoders' partial files
// "..kilnmark-<pid>-....part" next to them); names of running processes, and every
// other name, are left alone.

#include <string>

namespace km {

class UnnamedFile {
public:
  UnnamedFile() = default;
  ~UnnamedFile();
  UnnamedFile(const UnnamedFile&) = delete;
  UnnamedFile& operator=(const UnnamedFile&) = delete;

  // Opens an unnamed file in `folder` ("" is the current folder). False when the file
  // system or the kernel refuses unnamed files, or the descriptor cannot be reopened
  // by path; the caller then writes a named temporary.
  bool Open(const std::string& folder);

  // The path an encoder opens to write the file; empty before Open succeeds.
  const std::string& path() const { return path_; }

  // Gives the complete file the name `target`, replacing a file of that name. False,
  // with `target` as it was and nothing left in the folder, when the system refuses.
  bool Publish(const std::string& target);

private:
  int fd_ = -1;
  std::string folder_;
  std::string path_;
};

// A hidden name for a file of this process in `folder`: ".kilnmark-<pid>-<n><suffix>",
// with n counting up in the process.
std::string ProcessTemporaryName(const std::string& folder, const std::string& suffix);

// The process id a hidden temporary name carries (with or without the partial file's
// extra leading dot), or 0 for any other name.
long TemporaryNameOwner(const std::string& name);

// Deletes the temporaries in `folder` of processes that have ended; answers how many.
int RemoveStaleTemporaries(const std::string& folder);

}  // namespace km
