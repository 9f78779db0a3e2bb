#include "batch/FileResult.h"

namespace km {

const char* FileStatusName(FileStatus status) {
  switch (status) {
    case FileStatus::kConverted: return "converted";
    case FileStatus::kFailed:
    case FileStatus::kNotOverwritten: return "failed";
    case FileStatus::kStopped: return "aborted";
    case FileStatus::kSkipped: return "skipped";
  }
  return "failed";
}

}  // namespace km
