#pragma once

// What became of one listed file in a batch run, in a form a program can read: the
// run hands one record a file to its observer once the file is done, in list order.

#include <string>

namespace km {

enum class FileStatus {
  Converted,  // the output was written
  Failed,     // read, commands or write failed, or the output was not overwritten
  Skipped,    // the output already existed and was newer than the input
  Aborted,    // the run was stopped while this file was in hand
};

// "converted", "failed", "skipped" or "aborted".
const char* FileStatusName(FileStatus status);

struct FileRecord {
  std::string input;   // the input path as the log names it
  std::string output;  // the output path the file has or would have had
  FileStatus status = FileStatus::Failed;
  // The first problem met with the file: a result code (0 none; a negative code is
  // the program's own message id, as in ErrorText) and the log line that reported it.
  // A converted file can carry one, from a script line that failed.
  int code = 0;
  std::string message;
  long long milliseconds = 0;  // wall time spent on the file
};

}  // namespace km
