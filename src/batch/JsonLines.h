#pragma once

// The run's file records as JSON lines: one object a line, one line a file, each line
// ending in a line feed, for collectors that read a scheduler's job output:
//
//   {"input":"in/a.png","output":"out/a.jpg","status":"converted","code":0,"message":"","milliseconds":41}
//
// Every line is valid JSON in UTF-8 whatever bytes a path holds. Linux paths are byte
// strings: each byte that is not part of a well-formed UTF-8 sequence is written as
// U+FFFD, and the exact bytes of such a path follow in "input_base64" or
// "output_base64" (RFC 4648 base64), so a collector can still name the file.

#include <ostream>
#include <string>
#include <string_view>

#include "batch/FileResult.h"

namespace km {

// True when `text` is well-formed UTF-8 (RFC 3629: no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// `text` as a quoted JSON string: quote, backslash and control characters escaped,
// bytes outside well-formed UTF-8 replaced by U+FFFD.
std::string JsonString(std::string_view text);

// RFC 4648 base64 with padding.
std::string Base64(std::string_view bytes);

// One record as a JSON object on one line, without the line feed.
std::string JsonLine(const FileResult& record);

// Writes each record as a line and flushes it, so a collector (or a run killed
// half-way) has every finished file.
class JsonLinesWriter {
public:
  explicit JsonLinesWriter(std::ostream& out) : out_(out) {}
  void write(const FileResult& record);

private:
  std::ostream& out_;
};

}  // namespace km
