#include "fileio/filters/IniFile.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace km::filters {

namespace {

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) {
    return {};
  }
  const std::size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

}  // namespace

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

IniEntries ReadIniSection(const std::string& path, const std::string& section) {
  IniEntries entries;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return entries;
  }
  bool inSection = false;
  std::string line;
  while (std::getline(in, line)) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') {
      continue;
    }
    if (t[0] == '[') {
      const std::size_t close = t.find(']');
      inSection = close != std::string::npos && EqualNoCase(Trim(t.substr(1, close - 1)), section);
      continue;
    }
    const std::size_t eq = line.find('=');
    if (!inSection || eq == std::string::npos) {
      continue;
    }
    std::string key = Trim(line.substr(0, eq));
    if (key.empty()) {
      continue;
    }
    bool repeated = false;
    for (const auto& e : entries) {
      repeated = repeated || EqualNoCase(e.first, key);
    }
    if (!repeated) {
      std::string value = line.substr(eq + 1);
      if (!value.empty() && value.back() == '\r') {
        value.pop_back();
      }
      entries.emplace_back(std::move(key), std::move(value));
    }
  }
  return entries;
}

std::string IniValue(const IniEntries& entries, const std::string& key, const std::string& def) {
  for (const auto& e : entries) {
    if (EqualNoCase(e.first, key)) {
      return e.second;
    }
  }
  return def;
}

void SetIniValue(IniEntries* entries, const std::string& key, const std::string& value) {
  for (auto& e : *entries) {
    if (EqualNoCase(e.first, key)) {
      e.second = value;
      return;
    }
  }
  entries->emplace_back(key, value);
}

bool WriteIniSection(const std::string& path, const std::string& section, const IniEntries& entries) {
  std::ostringstream text;
  if (HasLineBreak(section)) {
    return false;
  }
  text << '[' << section << "]\n";
  for (const auto& [key, value] : entries) {
    if (HasLineBreak(key) || HasLineBreak(value) || key.find('=') != std::string::npos) {
      return false;
    }
    text << key << '=' << value << '\n';
  }
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text.str();
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace km::filters
