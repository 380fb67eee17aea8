// Virtual programmer with persistent chip images.
#include "app/simulated_programmer.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "app/texts.hpp"
#include "buffers/buffer_set.hpp"
#include "buffers/device_image.hpp"
#include "buffers/file_access.hpp"
#include "sim/chip_models.hpp"

namespace kestrum {
namespace {

std::vector<std::uint16_t>& RegionOf(BufferSlot& slot, ChipRegion region) {
  return region == ChipRegion::Code   ? slot.CodeBuffer
         : region == ChipRegion::Data ? slot.DataBuffer
                                      : slot.ConfigArea;
}

constexpr ChipRegion kRegions[] = {ChipRegion::Code, ChipRegion::Data, ChipRegion::Config};

void ChipToSlot(const ChipModel& chip, BufferSlot& slot) {
  for (ChipRegion region : kRegions) {
    std::vector<std::uint16_t>& to = RegionOf(slot, region);
    const int n = std::min(chip.RegionSize(region), static_cast<int>(to.size()));
    for (int i = 0; i < n; ++i) to[i] = chip.Element(region, i);
  }
}

void SlotToChip(BufferSlot& slot, ChipModel& chip) {
  for (ChipRegion region : kRegions) {
    const std::vector<std::uint16_t>& from = RegionOf(slot, region);
    const int n = std::min(chip.RegionSize(region), static_cast<int>(from.size()));
    for (int i = 0; i < n; ++i) chip.SetElement(region, i, from[i]);
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
  chip_ = ChipModelFor(device);
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
