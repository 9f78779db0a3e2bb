#include "app/SettingsProfile.h"

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>

#include "common/Settings.h"

namespace km {
namespace {

QString Key(const std::string& section, const std::string& key) {
  return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

}  // namespace

SettingsProfile::SettingsProfile()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QString::fromLatin1(settings::kOrganisation),
                                            QString::fromLatin1(settings::kApplication))) {}

SettingsProfile::SettingsProfile(const std::string& iniPath)
    : settings_(std::make_unique<QSettings>(QString::fromStdString(iniPath), QSettings::IniFormat)) {}

SettingsProfile::~SettingsProfile() = default;

int SettingsProfile::getInt(const std::string& section, const std::string& key, int def) const {
  const QVariant v = settings_->value(Key(section, key));
  if (!v.isValid()) {
    return def;
  }
  bool ok = false;
  const int value = v.toInt(&ok);
  return ok ? value : def;
}

std::string SettingsProfile::getString(const std::string& section, const std::string& key,
                                       const std::string& def) const {
  const QVariant v = settings_->value(Key(section, key));
  return v.isValid() ? v.toString().toStdString() : def;
}

std::vector<std::uint8_t> SettingsProfile::getBinary(const std::string& section,
                                                     const std::string& key) const {
  const QByteArray bytes = settings_->value(Key(section, key)).toByteArray();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

void SettingsProfile::setInt(const std::string& section, const std::string& key, int value) {
  settings_->setValue(Key(section, key), value);
}

void SettingsProfile::setString(const std::string& section, const std::string& key,
                                const std::string& value) {
  settings_->setValue(Key(section, key), QString::fromStdString(value));
}

void SettingsProfile::setBinary(const std::string& section, const std::string& key,
                                const std::vector<std::uint8_t>& value) {
  settings_->setValue(Key(section, key),
                      QByteArray(reinterpret_cast<const char*>(value.data()),
                                 static_cast<qsizetype>(value.size())));
}

void SettingsProfile::sync() { settings_->sync(); }

std::string SettingsProfile::fileName() const { return settings_->fileName().toStdString(); }

}  // namespace km
