#include "batch/FileRecord.h"

namespace km {

const char* FileStatusName(FileStatus status) {
  switch (status) {
    case FileStatus::Converted: return "converted";
    case FileStatus::Failed: return "failed";
    case FileStatus::Skipped: return "skipped";
    case FileStatus::Aborted: return "aborted";
  }
  return "failed";
}

}  // namespace km
