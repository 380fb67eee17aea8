// Virtual programmer with persistent chip images.
#include "app/simulated_programmer.hpp"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "app/texts.hpp"
#include "buffers/buffer_set.hpp"
#include "buffers/device_image.hpp"
#include "buffers/file_access.hpp"

namespace kestrum {
namespace {

void ChipToSlot(const PicChip& chip, BufferSlot& slot) {
  const auto code = chip.Code();
  const auto data = chip.Data();
  const auto config = chip.ConfigArea();
  std::copy(code.begin(), code.end(), slot.CodeBuffer.begin());
  std::copy(data.begin(), data.end(), slot.DataBuffer.begin());
  std::copy(config.begin(), config.end(), slot.ConfigArea.begin());
}

void SlotToChip(const BufferSlot& slot, PicChip& chip) {
  const auto code = chip.Code();
  const auto data = chip.Data();
  const auto config = chip.ConfigArea();
  std::copy_n(slot.CodeBuffer.begin(), code.size(), code.begin());
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<std::uint8_t>(slot.DataBuffer[i] & 0xFF);
  }
  // The device ID (index 6 of the 14-bit configuration area) is the factory's; files do not
  // carry it.
  for (std::size_t i = 0; i < config.size(); ++i) {
    if (config.size() == 8 && i >= 4 && i <= 6) continue;
    config[i] = slot.ConfigArea[i];
  }
}

}  // namespace

SimulatedProgrammer::SimulatedProgrammer(std::string folder) : folder_(std::move(folder)) {}

std::string SimulatedProgrammer::ImagePath(const std::string& folder,
                                           const std::string& deviceName) {
  std::string file = deviceName;
  for (char& c : file) {
    if (c == ' ' || c == '/' || c == '(' || c == ')') c = '_';
  }
  return (std::filesystem::path(folder) / (file + ".hex")).string();
}

std::string SimulatedProgrammer::DefaultFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::filesystem::path base;
  if (dataHome != nullptr && *dataHome != '\0') {
    base = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr ? home : ".") / ".local" / "share";
  }
  return (base / "kestrum" / "chips").string();
}

void SimulatedProgrammer::InsertChipFor(const DeviceDescriptor& device, Ui& ui) {
  programmer_.Insert(nullptr);
  chip_ = PicChip::ForDevice(device.Name);
  device_ = device;
  if (!chip_) return;
  programmer_.Insert(chip_.get());
  if (folder_.empty()) return;

  const std::string path = ImagePath(folder_, device.Name);
  int error = 0;
  auto file = PosixInputFile::Open(path, error);
  if (!file) {
    if (error != ENOENT) {
      ui.Message(MessageKind::Error, std::string(text::kChipImageUnreadable) + path + ": " +
                                         SystemReason(error));
    }
    return;  // a new part, as it comes from the factory
  }
  BufferSlot slot;
  slot.Fill(device.BlankValue);
  ChipToSlot(*chip_, slot);  // what the file does not mention stays as the part holds it
  ByteStream in(*file);
  LoadProgramFile(device, slot, FileType::Ihx8, in, ui);
  if (in.Error() != 0) {
    ui.Message(MessageKind::Error,
               std::string(text::kChipImageUnreadable) + path + ": " + SystemReason(in.Error()));
  }
  SlotToChip(slot, *chip_);
}

bool SimulatedProgrammer::SaveChip(Ui& ui) {
  if (!chip_ || folder_.empty()) return true;
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  BufferSlot slot;
  slot.Fill(device_.BlankValue);
  ChipToSlot(*chip_, slot);
  const std::string path = ImagePath(folder_, device_.Name);
  const int error = WriteFileReplacing(path, DeviceHexFile(device_, slot));
  if (error != 0) {
    ui.Message(MessageKind::Error,
               std::string(text::kChipImageUnwritable) + path + ": " + SystemReason(error));
    return false;
  }
  return true;
}

}  // namespace kestrum
