// SPDX-License-Identifier: GPL-3.0-or-later
// Opening, saving and dropping files on the active slot.
#include "buffers/file_commands.hpp"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "buffers/texts.hpp"

namespace kestrum {
namespace {

constexpr int kFileTypeIndexCount = 7;

// A stored index outside the list falls back to its default, the first type.
int TypeIndex(int stored) {
  return stored >= 0 && stored < kFileTypeIndexCount ? stored : 0;
}

// What the slot holds is masked to the core width: files may carry bits the device lacks.
void MaskToCoreWidth(const DeviceDescriptor& device, BufferSlot& slot) {
  for (auto* v : {&slot.CodeBuffer, &slot.DataBuffer, &slot.ConfigArea}) {
    for (std::uint16_t& e : *v) e &= device.BlankValue;
  }
}

}  // namespace

FileOptions FileOptions::Read(const SettingsStore& settings) {
  FileOptions o;
  o.IdCheck = settings.ReadBool("IDCheck", false);
  o.ConfigCheck = settings.ReadBool("ConfigCheck", false);
  o.Overwrite = settings.ReadBool("Overwrite", false);
  o.DragDrop = settings.ReadBool("DragDrop", false);
  o.CodeType = TypeIndex(settings.ReadInteger("CodeType", 0));
  o.DataType = TypeIndex(settings.ReadInteger("DataType", 0));
  return o;
}

bool HasExtension(const std::string& name) {
  return name.find('.') != std::string::npos;
}

std::string FolderPart(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : name.substr(0, slash);
}

FileCommands::FileCommands(Workspace& workspace, Ui& ui, SettingsStore& settings)
    : OpenForReading([](const std::string& path, int& error) -> std::unique_ptr<InputSource> {
        return PosixInputFile::Open(path, error);
      }),
      workspace_(workspace),
      ui_(ui),
      settings_(settings),
      initialDir_(settings.ReadString("InitDir", "")) {}

void FileCommands::ReportFailure(std::string_view what, const std::string& name, int error) {
  const std::string message =
      std::string(what) + name + std::string(text::kReasonSeparator) + SystemReason(error);
  ui_.Message(MessageKind::Error, message, MessageButton::Cancel);
}

void FileCommands::RememberFolder(const std::string& name) {
  std::string folder = FolderPart(name);
  if (folder.empty()) return;
  // The dialogs start there from whatever directory the program runs in next time.
  std::error_code ec;
  const std::filesystem::path whole = std::filesystem::absolute(folder, ec);
  if (!ec) folder = whole.lexically_normal().string();
  initialDir_ = folder;
  settings_.WriteString("InitDir", folder);
}

std::unique_ptr<InputSource> FileCommands::Open(const std::string& name) {
  int error = 0;
  std::unique_ptr<InputSource> file = OpenForReading(name, error);
  if (!file) {
    ReportFailure(text::kCannotOpenFile, name, error != 0 ? error : ENOENT);
  } else if (file->Size() > kLargestUsableFile) {
    ReportFailure(text::kCannotOpenFile, name, EFBIG);
    file.reset();
  }
  return file;
}

namespace {

// The file and its first problem, as Program All names them: "/tmp/fw.hex: Error in file!
// (line 12)".
std::string ProblemOf(const std::string& name, const std::string& problem) {
  return name + std::string(text::kReasonSeparator) + problem;
}

}  // namespace

// A file that gave nothing to load leaves the slot, the caption and the recent files as they
// were: a blank image in place of the user's, programmed by the next command, is worse than
// no change.
OpenResult FileCommands::NothingLoaded(const std::string& name, const LoadResult& found,
                                       int readError) {
  if (readError != 0) {
    ReportFailure(text::kCannotReadFile, name, readError);
    return OpenResult::NotOpened;
  }
  if (found.Outcome == LoadOutcome::NoData) {
    const std::string_view why = found.RecordsFailed ? text::kNoRecordRead : text::kNoDataInFile;
    ui_.Message(MessageKind::Warning, std::string(why) + name, MessageButton::Ok);
  }
  return OpenResult::NoData;
}

OpenResult FileCommands::OpenFile(const std::string& name, FileType type) {
  const FileOptions options = FileOptions::Read(settings_);
  std::unique_ptr<InputSource> file = Open(name);
  if (!file) return OpenResult::NotOpened;
  ByteStream in(*file, name);
  in.Limit(kLargestUsableFile);
  // The first read comes before anything in the slot changes, so a file that cannot be read
  // at all (a folder, say) is refused like one that cannot be opened.
  in.Peek();
  if (in.Error() != 0) {
    ReportFailure(text::kCannotReadFile, name, in.Error());
    return OpenResult::NotOpened;
  }

  const DeviceDescriptor& device = workspace_.Device;
  BufferSlot loaded;
  loaded.Fill(device.BlankValue);
  const LoadResult found = LoadProgramFile(device, loaded, type, in, ui_);
  if (found.Outcome != LoadOutcome::Data) return NothingLoaded(name, found, in.Error());
  BufferSlot& slot = workspace_.Active();
  if (!found.ConfigFound && !IsWordDevice(device) && device.ConfigAreaWords > 0) {
    // A program file says nothing of an AVR's fuses or an EEPROM's status register: the
    // configuration box keeps what it showed.
    std::copy_n(slot.ConfigArea.begin(), device.ConfigAreaWords, loaded.ConfigArea.begin());
  }
  slot = std::move(loaded);
  MaskToCoreWidth(device, slot);
  if (workspace_.Observer && device.DataSize > 0) workspace_.Observer->RebuildDataView();
  workspace_.ShowStoredConfigWord();
  if (MainWindowShowing) {
    // The stored word becomes what the controls can represent.
    workspace_.CreateConfig();
    workspace_.ShowStoredConfigWord();
  }
  if (workspace_.Observer) workspace_.Observer->RebuildCodeView();

  const int readError = in.Error();
  if (readError != 0) ReportFailure(text::kCannotReadFile, name, readError);
  if (!found.ConfigFound && options.ConfigCheck) {
    ui_.Message(MessageKind::Warning, text::kNoConfigInFile, MessageButton::Ok);
  }
  if (!found.IdFound && options.IdCheck) {
    ui_.Message(MessageKind::Warning, text::kNoIdInFile, MessageButton::Ok);
  }
  if (found.ConfigFound) {
    const auto words = std::span(slot.ConfigArea)
                           .subspan(static_cast<std::size_t>(device.ConfigWordIndex),
                                    static_cast<std::size_t>(device.ConfigWords));
    if (const auto risks = ConfigRisks(device, words); !risks.empty()) {
      ui_.Message(MessageKind::Warning, std::string(text::kFileRisks) + ConfigRiskText(risks));
    }
  }
  RememberFolder(name);
  workspace_.Window.Caption = WindowCaption(name);
  slot.FileName = name;
  if (readError != 0) {
    slot.LoadProblem = ProblemOf(name, SystemReason(readError));
    return OpenResult::ReadFailed;
  }
  if (!found.Problem.empty()) {
    slot.LoadProblem = ProblemOf(name, found.Problem);
    return OpenResult::Damaged;
  }
  return OpenResult::Loaded;
}

OpenResult FileCommands::OpenDataFile(const std::string& name, FileType type) {
  const DeviceDescriptor& device = workspace_.Device;
  if (device.DataSize < 1) return OpenResult::NotOpened;  // the device has no data EEPROM
  std::unique_ptr<InputSource> file = Open(name);
  if (!file) return OpenResult::NotOpened;
  ByteStream in(*file, name);
  in.Limit(kLargestUsableFile);
  in.Peek();
  if (in.Error() != 0) {
    ReportFailure(text::kCannotReadFile, name, in.Error());
    return OpenResult::NotOpened;
  }

  BufferSlot loaded;
  std::fill(loaded.DataBuffer.begin(), loaded.DataBuffer.end(), device.BlankValue);
  const LoadResult found = LoadDataFile(device, loaded, type, in, ui_);
  if (found.Outcome != LoadOutcome::Data) return NothingLoaded(name, found, in.Error());
  BufferSlot& slot = workspace_.Active();
  slot.DataBuffer = std::move(loaded.DataBuffer);
  if (workspace_.Observer) workspace_.Observer->RebuildDataView();
  if (in.Error() != 0) {
    ReportFailure(text::kCannotReadFile, name, in.Error());
    slot.LoadProblem = ProblemOf(name, SystemReason(in.Error()));
    return OpenResult::ReadFailed;
  }
  if (!found.Problem.empty()) {
    slot.LoadProblem = ProblemOf(name, found.Problem);
    return OpenResult::Damaged;
  }
  return OpenResult::Loaded;
}

bool FileCommands::SaveFile(const std::string& name, SaveType type, bool hasExtension) {
  const bool binary = type == SaveType::Binary;
  // A name that ends in a folder names no file: adding the extension would save a hidden
  // ".hex" in it.
  if (!name.empty() && name.back() == '/') {
    ReportFailure(text::kCannotWriteFile, name, EISDIR);
    return false;
  }
  std::string path = name;
  if (!hasExtension) path += binary ? text::kBinaryExtension : text::kHexExtension;

  const DeviceDescriptor& device = workspace_.Device;
  BufferSlot& slot = workspace_.Active();
  if (IsWordDevice(device)) {
    // Data EEPROM elements hold bytes; the configuration word and ID words are saved as the
    // configuration controls show them.
    for (int i = 0; i < std::min(device.DataSize, kBufferElements); ++i) slot.DataBuffer[i] &= 0xFF;
    workspace_.CreateConfig();
    workspace_.ShowStoredConfigWord();
  }
  const std::string bytes = binary ? DeviceBinaryFile(device, slot) : DeviceHexFile(device, slot);
  const int error = WriteFileReplacing(path, bytes);
  if (error != 0) {
    ReportFailure(text::kCannotWriteFile, path, error);
    return false;
  }
  // The slot now holds what that file holds: it is the slot's file, as one opened would be.
  slot.FileName = path;
  workspace_.Window.Caption = WindowCaption(path);
  return true;
}

OpenResult FileCommands::Open1Click(const std::string& name, FileType type) {
  const OpenResult result = OpenFile(name, type);
  const bool read = result == OpenResult::Loaded || result == OpenResult::Damaged ||
                    result == OpenResult::ReadFailed;
  if (read && Recent) Recent->AddRecentFile(name, type);
  return result;
}

bool FileCommands::SaveAs1Click(const std::string& name, SaveType type) {
  const bool saved = SaveFile(name, type, HasExtension(name));
  RememberFolder(name);
  return saved;
}

void FileCommands::RichEdit1DropFiles(const std::vector<std::string>& names) {
  const FileOptions options = FileOptions::Read(settings_);
  if (!options.DragDrop || names.empty()) return;
  Open1Click(names.back(), FileTypeFromNumber(options.CodeType + 1));
}

void FileCommands::Data1DropFiles(const std::vector<std::string>& names) {
  const FileOptions options = FileOptions::Read(settings_);
  if (!options.DragDrop || names.empty()) return;
  OpenDataFile(names.back(), FileTypeFromNumber(options.DataType + 1));
}

}  // namespace kestrum
