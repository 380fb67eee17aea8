// QSettings-backed settings file.
#include "app/ini_settings_store.hpp"

#include <QFile>
#include <QSettings>
#include <QString>

namespace kestrum {
namespace {

constexpr char kGroup[] = "Settings";

QString GroupKey(std::string_view key) {
  return QString(kGroup) + '/' + QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

}  // namespace

IniSettingsStore::IniSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            "Kestrum", "Kestrum")) {}

IniSettingsStore::IniSettingsStore(const std::string& path)
    : settings_(std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat)) {}

IniSettingsStore::~IniSettingsStore() = default;

bool IniSettingsStore::Exists() const {
  settings_->sync();
  return settings_->childGroups().contains(kGroup);
}

void IniSettingsStore::Clear() {
  settings_->clear();
  settings_->sync();
  QFile::remove(settings_->fileName());
}

std::string IniSettingsStore::Path() const { return settings_->fileName().toStdString(); }

std::optional<std::string> IniSettingsStore::Get(std::string_view key) const {
  const QVariant value = settings_->value(GroupKey(key));
  if (!value.isValid()) return std::nullopt;
  return value.toString().toStdString();
}

void IniSettingsStore::Set(std::string_view key, std::string_view value) {
  settings_->setValue(GroupKey(key),
                      QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  settings_->sync();
}

}  // namespace kestrum
