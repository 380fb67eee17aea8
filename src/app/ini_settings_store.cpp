// SPDX-License-Identifier: GPL-3.0-or-later
// QSettings-backed settings file.
#include "app/ini_settings_store.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <QString>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "app/texts.hpp"

namespace kestrum {
namespace {

constexpr char kGroup[] = "Settings";

std::string SystemText(int error) {
  return std::generic_category().message(error);
}

QString GroupKey(std::string_view key) {
  return QString(kGroup) + '/' + QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

}  // namespace

IniSettingsStore::IniSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "Kestrum",
                                            "Kestrum")) {
  Check();
}

IniSettingsStore::IniSettingsStore(const std::string& path)
    : settings_(std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat)) {
  Check();
}

IniSettingsStore::~IniSettingsStore() = default;

namespace {

// 0 when a file can be created in `folder` or the folder can be made: the errno otherwise.
int FolderUnwritable(std::filesystem::path folder) {
  // The nearest folder that exists decides: the rest is created under it.
  std::error_code ec;
  while (!folder.empty() && !std::filesystem::exists(folder, ec)) {
    if (folder == folder.parent_path()) break;
    folder = folder.parent_path();
  }
  if (folder.empty()) folder = ".";
  if (!std::filesystem::is_directory(folder, ec)) return ENOTDIR;
  return ::access(folder.c_str(), W_OK) == 0 ? 0 : errno;
}

}  // namespace

void IniSettingsStore::Check() {
  const std::string path = Path();
  int readError = 0;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd >= 0) {
    char byte = 0;
    if (::read(fd, &byte, 1) < 0) readError = errno;
    ::close(fd);
  } else if (errno != ENOENT && errno != ENOTDIR) {  // not there: a first start
    readError = errno;
  }
  settings_->childGroups();  // reads the file, which sets the status
  if (readError != 0 || settings_->status() == QSettings::FormatError) {
    unreadable_ = true;
    problem_ = std::string(text::kSettingsUnreadable) + path + std::string(text::kSettingsReason) +
               (readError != 0 ? SystemText(readError) : std::string(text::kSettingsNotIni)) +
               std::string(text::kSettingsUnreadableEnd);
    return;
  }
  const int writeError = fd >= 0 ? (::access(path.c_str(), W_OK) == 0 ? 0 : errno)
                                 : FolderUnwritable(std::filesystem::path(path).parent_path());
  if (writeError != 0) {
    problem_ = std::string(text::kSettingsUnwritable) + path + std::string(text::kSettingsReason) +
               SystemText(writeError) + std::string(text::kSettingsUnwritableEnd);
  }
}

std::string IniSettingsStore::Problem() const {
  return problem_;
}

bool IniSettingsStore::Exists() const {
  // An unreadable file is there all the same: this is not a first start.
  if (unreadable_) return true;
  settings_->sync();
  return settings_->childGroups().contains(kGroup);
}

void IniSettingsStore::Clear() {
  if (unreadable_) return;
  settings_->clear();
  settings_->sync();
  QFile::remove(settings_->fileName());
}

std::string IniSettingsStore::Path() const {
  return settings_->fileName().toStdString();
}

std::optional<std::string> IniSettingsStore::Get(std::string_view key) const {
  if (unreadable_) return std::nullopt;
  const QVariant value = settings_->value(GroupKey(key));
  if (!value.isValid()) return std::nullopt;
  return value.toString().toStdString();
}

void IniSettingsStore::Set(std::string_view key, std::string_view value) {
  if (unreadable_) return;
  settings_->setValue(GroupKey(key),
                      QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  settings_->sync();
}

}  // namespace kestrum
