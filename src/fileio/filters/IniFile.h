#pragma once

// Plain INI files as the import-filter registration and the filter host's exchange file
// use them: "[section]" lines, "key=value" lines, ";" and "#" comment lines. Keys are
// trimmed; a value is everything after the "=" (a path may begin or end with a blank),
// so readers of lists trim their parts. Section and key names compare
// case-insensitively; the first of repeated keys counts.

#include <string>
#include <utility>
#include <vector>

namespace km::filters {

using IniEntries = std::vector<std::pair<std::string, std::string>>;

// The entries of `section` in file order, repeated keys dropped; empty when the file or
// the section is missing.
IniEntries ReadIniSection(const std::string& path, const std::string& section);

// The value of `key`, or `def` when there is none.
std::string IniValue(const IniEntries& entries, const std::string& key, const std::string& def = {});

// Sets `key` to `value`, appending it when absent.
void SetIniValue(IniEntries* entries, const std::string& key, const std::string& value);

// Replaces the file with one section holding `entries`, through a temporary file renamed
// over it. False when a name or value holds a line break (it would end the line and
// could start another key) or the file cannot be written.
bool WriteIniSection(const std::string& path, const std::string& section, const IniEntries& entries);

bool EqualNoCase(const std::string& a, const std::string& b);

}  // namespace km::filters
