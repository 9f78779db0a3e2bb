#pragma once

// Application settings: named values in named sections, read with a default. The GUI
// and the console runner back this with QSettings (INI format); tests and headless
// callers use MemoryProfile.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace km {

class Profile {
public:
  virtual ~Profile() = default;
  virtual int getInt(const std::string& section, const std::string& key, int def) const = 0;
  virtual std::string getString(const std::string& section, const std::string& key,
                                const std::string& def) const = 0;
  // Binary values (custom colours); empty when absent.
  virtual std::vector<std::uint8_t> getBinary(const std::string& section, const std::string& key) const = 0;
  virtual void setInt(const std::string& section, const std::string& key, int value) = 0;
  virtual void setString(const std::string& section, const std::string& key, const std::string& value) = 0;
  virtual void setBinary(const std::string& section, const std::string& key,
                         const std::vector<std::uint8_t>& value) = 0;
};

// Settings held in memory: what tests and one-off runs use.
class MemoryProfile final : public Profile {
public:
  int getInt(const std::string& section, const std::string& key, int def) const override;
  std::string getString(const std::string& section, const std::string& key,
                        const std::string& def) const override;
  std::vector<std::uint8_t> getBinary(const std::string& section, const std::string& key) const override;
  void setInt(const std::string& section, const std::string& key, int value) override;
  void setString(const std::string& section, const std::string& key, const std::string& value) override;
  void setBinary(const std::string& section, const std::string& key,
                 const std::vector<std::uint8_t>& value) override;
  bool contains(const std::string& section, const std::string& key) const;

private:
  using Key = std::pair<std::string, std::string>;
  std::map<Key, std::string> strings_;
  std::map<Key, std::vector<std::uint8_t>> binaries_;
};

}  // namespace km
