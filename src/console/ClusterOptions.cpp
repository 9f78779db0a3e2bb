#include "console/ClusterOptions.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "StringTable.h"

namespace km {

namespace {

constexpr int kTextLogNotSaved = 2065;
constexpr int kTextBadShard = 2641;
constexpr int kTextBadLogFormat = 2642;

// Takes "NAME VALUE" or "NAME=VALUE" at arguments[i]. 1 taken (value in *value), 0 not
// this option, -1 the option without a value.
int TakeValue(std::vector<std::string>* arguments, std::size_t i, const std::string& name, std::string* value) {
  const std::string& a = (*arguments)[i];
  const auto first = arguments->begin() + static_cast<std::ptrdiff_t>(i);
  if (a == name) {
    if (i + 1 >= arguments->size()) {
      return -1;
    }
    *value = (*arguments)[i + 1];
    arguments->erase(first, first + 2);
    return 1;
  }
  if (a.compare(0, name.size() + 1, name + "=") == 0) {
    *value = a.substr(name.size() + 1);
    arguments->erase(first);
    return 1;
  }
  return 0;
}

}  // namespace

int TakeClusterOptions(std::vector<std::string>* arguments, ClusterOptions* options) {
  for (std::size_t i = 0; i < arguments->size();) {
    if ((*arguments)[i] == "--skip-existing") {
      options->skipExisting = true;
      arguments->erase(arguments->begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    std::string value;
    int taken = TakeValue(arguments, i, "--shard", &value);
    if (taken != 0) {
      if (taken < 0 || !ParseShard(value, &options->shard)) {
        return kTextBadShard;
      }
      continue;
    }
    taken = TakeValue(arguments, i, "--log-format", &value);
    if (taken != 0) {
      if (taken < 0 || (value != "text" && value != "jsonl")) {
        return kTextBadLogFormat;
      }
      options->jsonLines = value == "jsonl";
      continue;
    }
    ++i;
  }
  return 0;
}

bool JsonLinesTarget::Open(const ClusterOptions& options, BatchSettings* settings, std::string* message) {
  settings->shard = options.shard;
  settings->skipExisting = options.skipExisting;
  if (!options.jsonLines) {
    return true;
  }
  if (settings->logFile.empty()) {
    writer_ = std::make_unique<JsonLinesWriter>(std::cout);
    return true;
  }
  file_.open(settings->logFile, std::ios::binary | std::ios::trunc);
  if (!file_.is_open()) {
    *message = FormatString(kTextLogNotSaved, std::strerror(errno));
    return false;
  }
  settings->logFile.clear();  // the file holds the JSON lines, not the text log
  writer_ = std::make_unique<JsonLinesWriter>(file_);
  return true;
}

}  // namespace km
