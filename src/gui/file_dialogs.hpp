// SPDX-License-Identifier: GPL-3.0-or-later
// The open and save dialogs, behind an interface so tests can answer them. The file types are
// those of the file commands, in their order; the open dialog remembers the type last chosen.
#pragma once

#include <QStringList>

#include <optional>
#include <string>

class QWidget;

namespace kestrum {

struct ChosenFile {
  std::string Path;
  int Type = 1;  // the chosen filter's number, from 1
};

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // A program file (and, with `dataFile`, a data EEPROM file) to open.
  virtual std::optional<ChosenFile> ChooseOpen(QWidget* parent, const std::string& folder,
                                               bool dataFile) = 0;
  // A name to save as; `confirmOverwrite` makes the dialog ask before replacing a file.
  virtual std::optional<ChosenFile> ChooseSave(QWidget* parent, const std::string& folder,
                                               const std::string& lastName,
                                               bool confirmOverwrite) = 0;
};

// The filter lists as Qt's dialogs take them: each shows its own text and matches its
// patterns in either letter case.
QStringList OpenFilters();
QStringList SaveFilters();

class QtFileDialogs final : public FileDialogs {
 public:
  std::optional<ChosenFile> ChooseOpen(QWidget* parent, const std::string& folder,
                                       bool dataFile) override;
  std::optional<ChosenFile> ChooseSave(QWidget* parent, const std::string& folder,
                                       const std::string& lastName, bool confirmOverwrite) override;

 private:
  int openType_ = 1;
  int saveType_ = 1;
};

}  // namespace kestrum
