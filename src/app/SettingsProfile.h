#pragma once

// Profile over QSettings in INI format: organisation "Tavo", application "Tavo Kilnmark",
// so the file is $XDG_CONFIG_HOME/Tavo/Tavo Kilnmark.ini (default ~/.config). Sections
// and value names are those of common/Settings.h; QSettings writes the section
// "General" as [%General] and reads it back as "General".

#include <memory>
#include <string>
#include <vector>

#include "common/Profile.h"

class QSettings;

namespace km {

class SettingsProfile final : public Profile {
public:
  // The user's settings file.
  SettingsProfile();
  // A given INI file (tests, or a portable setup).
  explicit SettingsProfile(const std::string& iniPath);
  ~SettingsProfile() override;

  int getInt(const std::string& section, const std::string& key, int def) const override;
  std::string getString(const std::string& section, const std::string& key,
                        const std::string& def) const override;
  std::vector<std::uint8_t> getBinary(const std::string& section, const std::string& key) const override;
  void setInt(const std::string& section, const std::string& key, int value) override;
  void setString(const std::string& section, const std::string& key, const std::string& value) override;
  void setBinary(const std::string& section, const std::string& key,
                 const std::vector<std::uint8_t>& value) override;

  // Writes pending changes to the file now (they are written at destruction anyway).
  void sync();
  // The file the settings live in.
  std::string fileName() const;

private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace km
