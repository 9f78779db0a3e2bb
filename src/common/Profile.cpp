#include "common/Profile.h"

#include <charconv>

namespace km {

int MemoryProfile::getInt(const std::string& section, const std::string& key, int def) const {
  auto it = strings_.find({section, key});
  if (it == strings_.end()) {
    return def;
  }
  int value = 0;
  const std::string& s = it->second;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && ptr == s.data() + s.size() ? value : def;
}

std::string MemoryProfile::getString(const std::string& section, const std::string& key,
                                     const std::string& def) const {
  auto it = strings_.find({section, key});
  return it == strings_.end() ? def : it->second;
}

std::vector<std::uint8_t> MemoryProfile::getBinary(const std::string& section, const std::string& key) const {
  auto it = binaries_.find({section, key});
  return it == binaries_.end() ? std::vector<std::uint8_t>{} : it->second;
}

void MemoryProfile::setInt(const std::string& section, const std::string& key, int value) {
  strings_[{section, key}] = std::to_string(value);
}

void MemoryProfile::setString(const std::string& section, const std::string& key, const std::string& value) {
  strings_[{section, key}] = value;
}

void MemoryProfile::setBinary(const std::string& section, const std::string& key,
                              const std::vector<std::uint8_t>& value) {
  binaries_[{section, key}] = value;
}

bool MemoryProfile::contains(const std::string& section, const std::string& key) const {
  return strings_.count({section, key}) != 0 || binaries_.count({section, key}) != 0;
}

}  // namespace km
