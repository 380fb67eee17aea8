// SPDX-License-Identifier: GPL-3.0-or-later
// The file commands of the main window around the readers and writers: opening program and
// data files into the active slot, saving it, and files dropped on the code and data views.
// The dialogs live in the window; these functions take the names the dialogs returned.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "buffers/device_image.hpp"
#include "buffers/file_access.hpp"
#include "buffers/workspace.hpp"
#include "core/settings_store.hpp"
#include "core/ui.hpp"

namespace kestrum {

// The options the file commands follow, as the settings store holds them.
struct FileOptions {
  bool IdCheck = false;      // "IDCheck": tell when a file has no ID words
  bool ConfigCheck = false;  // "ConfigCheck": tell when a file has no configuration word
  bool Overwrite = false;    // "Overwrite": the save dialog asks before replacing a file
  bool DragDrop = false;     // "DragDrop": files may be dropped on the views
  int CodeType = 0;          // "CodeType": file type index (0..6) for drops on the code view
  int DataType = 0;          // "DataType": the same for the data view

  static FileOptions Read(const SettingsStore& settings);
};

// The recent-files lists belong to the application shell; it is told of every file opened
// through the open dialog or dropped on the code view.
class RecentFilesHook {
 public:
  virtual ~RecentFilesHook() = default;
  virtual void AddRecentFile(const std::string& path, FileType type) = 0;
};

// The save dialog's file types.
enum class SaveType : int { Ihx8 = 1, Binary = 2 };

// No device uses a file larger than this: a larger one is refused before it is read.
inline constexpr std::int64_t kLargestUsableFile = 16 * 1024 * 1024;

enum class OpenResult {
  Loaded,      // the file was read to its end
  Damaged,     // read to its end, but not cleanly (the user was told; the slot's LoadProblem
               // says what): records dropped, a checksum error, data outside the device
  ReadFailed,  // reading failed part way; the slot holds what was read
  NotOpened,   // the file could not be opened or read at all; nothing changed
  NoData,      // the file held nothing to load (the user was told); nothing changed
};

class FileCommands {
 public:
  using Opener = std::function<std::unique_ptr<InputSource>(const std::string& path, int& error)>;

  FileCommands(Workspace& workspace, Ui& ui, SettingsStore& settings);

  // Whether the main window is showing: a file load then folds the configuration controls
  // back into the slot.
  bool MainWindowShowing = true;
  RecentFilesHook* Recent = nullptr;
  // How files are opened for reading; tests replace it to fail a read part way.
  Opener OpenForReading;

  // The folder both file dialogs start in ("InitDir").
  const std::string& InitialDir() const { return initialDir_; }

  // `OpenFile`: a program file into the active slot; caption and slot file name follow it.
  OpenResult OpenFile(const std::string& name, FileType type);
  // `OpenDataFile`: a data EEPROM file into the active slot's data buffer only.
  OpenResult OpenDataFile(const std::string& name, FileType type);
  // `SaveFile`: the active slot as 8-bit Intel HEX or binary; ".hex" or ".bin" is added when
  // `hasExtension` is false. The file becomes the slot's (its name and the window caption).
  // False when the file could not be written (the user was told).
  bool SaveFile(const std::string& name, SaveType type, bool hasExtension);

  // What the commands do with the name their dialog returned.
  OpenResult Open1Click(const std::string& name, FileType type);
  OpenResult OpenDataFile1Click(const std::string& name, FileType type) {
    return OpenDataFile(name, type);
  }
  bool SaveAs1Click(const std::string& name, SaveType type);
  // Files dropped on the code view and on the data view: the last one is opened.
  void RichEdit1DropFiles(const std::vector<std::string>& names);
  void Data1DropFiles(const std::vector<std::string>& names);

 private:
  std::unique_ptr<InputSource> Open(const std::string& name);
  OpenResult NothingLoaded(const std::string& name, const LoadResult& found, int readError);
  void ReportFailure(std::string_view what, const std::string& name, int error);
  void RememberFolder(const std::string& name);

  Workspace& workspace_;
  Ui& ui_;
  SettingsStore& settings_;
  std::string initialDir_;
};

// A name counts as having an extension when it contains a '.' anywhere, folders included.
bool HasExtension(const std::string& name);
// The folder part of a name (up to its last '/'; "/" for a file in the root), or "" for none.
std::string FolderPart(const std::string& name);

}  // namespace kestrum
