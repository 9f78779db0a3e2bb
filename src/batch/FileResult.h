#pragma once

// What one listed file of a batch run came to. A run hands each file's record to its
// observer (BatchObserver::fileFinished) in list order, right after the file's log
// lines, however many files it converts at once; a writer of another log format (one
// JSON object a file, say) is fed from these records.

#include <string>
#include <vector>

namespace km {

enum class FileStatus {
  kConverted,       // the output was written
  kFailed,          // not read, not writable in the format, or the write failed
  kNotOverwritten,  // the output exists and was left alone
  kStopped,         // the user aborted the run while the file was in hand
  kSkipped,         // --skip-existing: the output was already newer than the input
};

// "converted", "failed" (kFailed and kNotOverwritten), "aborted" or "skipped".
const char* FileStatusName(FileStatus status);

struct FileResult {
  int number = 0;      // 1-based line of the list
  std::string input;   // the path read
  std::string output;  // the path written (or that would have been)
  FileStatus status = FileStatus::kStopped;
  // The first problem met with the file (the run's codes: 0 none, a negative string
  // id for the program's own messages, else a library code) and the log line that
  // reported it. A converted file can carry one, from a script line that failed.
  int code = 0;
  std::string message;
  long long milliseconds = 0;
  std::vector<std::string> lines;  // the file's log lines, as the log holds them
};

}  // namespace km
