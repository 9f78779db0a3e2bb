#pragma once

// kilnmark-batch's options for runs spread over machines by a scheduler:
//   --shard K/N         convert part K of N of the list (batch/Shard.h)
//   --skip-existing     leave files whose output is current (batch/SkipExisting.h)
//   --log-format jsonl  one JSON line a file (batch/JsonLines.h) on standard output,
//                       or in the -l file, instead of the text log ("text", the
//                       default, keeps the text log)
// Each may stand anywhere on the line; a value follows its option or is joined to it
// with "=".

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "batch/BatchRun.h"
#include "batch/JsonLines.h"

namespace km {

struct ClusterOptions {
  ShardPart shard;
  bool skipExisting = false;
  bool jsonLines = false;
};

// Takes the options above out of the arguments. 0, or the string id of the message
// for a missing or refused value (2641 shard, 2642 log format).
int TakeClusterOptions(std::vector<std::string>* arguments, ClusterOptions* options);

// Where the JSON lines of a run go. With -l the file is created (emptied) before the
// run and the text log is not saved there; without it the lines go to standard output
// and the text log is not printed.
class JsonLinesTarget {
public:
  // Copies shard and skip into *settings and, for JSON lines, opens the target. False
  // with the message to show when the -l file cannot be created.
  bool Open(const ClusterOptions& options, BatchSettings* settings, std::string* message);
  // Null for a text log.
  JsonLinesWriter* writer() { return writer_.get(); }
  // True when standard output carries the JSON lines (and nothing else).
  bool onStandardOutput() const { return writer_ != nullptr && !file_.is_open(); }

private:
  std::ofstream file_;
  std::unique_ptr<JsonLinesWriter> writer_;
};

}  // namespace km
