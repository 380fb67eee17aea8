// SPDX-License-Identifier: GPL-3.0-or-later
// Open and save dialogs.
#include "gui/file_dialogs.hpp"

#include <QFileDialog>
#include <QFileInfo>

#include "buffers/texts.hpp"
#include "gui/byte_text.hpp"

namespace kestrum {
namespace {

// "IHX8 files (*.hex,*.h8)" with "*.HEX;*.H8": the text stays as it is; the patterns, in
// both cases, follow in a group of their own that the dialog keeps out of sight.
QString Filter(std::string_view caption, std::string_view patterns) {
  QStringList globs;
  for (const QString& pattern : Utf8(patterns).split(QLatin1Char(';'))) {
    if (pattern == QLatin1String("*.*")) {
      globs << QStringLiteral("*");
      continue;
    }
    globs << pattern.toLower() << pattern.toUpper();
  }
  globs.removeDuplicates();
  return Utf8(caption) + QStringLiteral(" (") + globs.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QFileDialog::Options DialogOptions() {
  // Qt's own dialog everywhere, so the filter texts read as they are written.
  return QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails;
}

}  // namespace

QStringList OpenFilters() {
  QStringList filters;
  filters << Filter(text::kFilterIhx8, text::kPatternIhx8)
          << Filter(text::kFilterIhx16, text::kPatternIhx16)
          << Filter(text::kFilterBinary, text::kPatternBinary)
          << Filter(text::kFilterObject, text::kPatternObject)
          << Filter(text::kFilterMotorolaS, text::kPatternMotorolaS)
          // The caption names *.epp, the patterns *.EEP: both are EEPROM images.
          << Filter(text::kFilterEeprom, std::string(text::kPatternEeprom) + ";*.EPP")
          << Filter(text::kFilterAny, text::kPatternAny);
  return filters;
}

QStringList SaveFilters() {
  return {Filter(text::kSaveFilterIhx8, text::kSavePatternIhx8),
          Filter(text::kSaveFilterBinary, text::kSavePatternBinary)};
}

std::optional<ChosenFile> QtFileDialogs::ChooseOpen(QWidget* parent, const std::string& folder,
                                                    bool /*dataFile*/) {
  QFileDialog dialog(parent, QString(), QString::fromStdString(folder));
  dialog.setOptions(DialogOptions());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  const QStringList filters = OpenFilters();
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.value(openType_ - 1));
  dialog.setDefaultSuffix(Utf8(text::kOpenDefaultExtension));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  openType_ = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  if (openType_ < 1) openType_ = 1;
  return ChosenFile{dialog.selectedFiles().front().toStdString(), openType_};
}

std::optional<ChosenFile> QtFileDialogs::ChooseSave(QWidget* parent, const std::string& folder,
                                                    const std::string& lastName,
                                                    bool confirmOverwrite) {
  QFileDialog dialog(parent, QString(), QString::fromStdString(folder));
  QFileDialog::Options options = DialogOptions();
  if (!confirmOverwrite) options |= QFileDialog::DontConfirmOverwrite;
  dialog.setOptions(options);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = SaveFilters();
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.value(saveType_ - 1));
  if (!lastName.empty()) dialog.selectFile(QFileInfo(QString::fromStdString(lastName)).fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  saveType_ = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  if (saveType_ < 1) saveType_ = 1;
  return ChosenFile{dialog.selectedFiles().front().toStdString(), saveType_};
}

}  // namespace kestrum
