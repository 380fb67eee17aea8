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
#include "buffers/hex_file.hpp"
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

namespace {

// PIC program files carry the configuration area; the other families' files do not, so a model
// with configuration cells of its own (a status register, lock bits) keeps them beside the
// image: 16-bit words, low byte first, from address 0.
bool ConfigBesideImage(const DeviceDescriptor& device, const ChipModel& chip) {
  return FamilyOf(device) != DeviceFamily::Pic && chip.RegionSize(ChipRegion::Config) > 0;
}

std::string ConfigPath(const std::string& imagePath) {
  return imagePath.substr(0, imagePath.size() - 4) + ".config.hex";
}

// Reads `path` with `load`; a missing file is a part as it comes from the factory.
template <class Load>
void ReadImageFile(const std::string& path, Ui& ui, Load load) {
  int error = 0;
  auto file = PosixInputFile::Open(path, error);
  if (!file) {
    if (error != ENOENT) {
      ui.Message(MessageKind::Error, std::string(text::kChipImageUnreadable) + path + ": " +
                                         SystemReason(error));
    }
    return;
  }
  ByteStream in(*file);
  load(in);
  if (in.Error() != 0) {
    ui.Message(MessageKind::Error,
               std::string(text::kChipImageUnreadable) + path + ": " + SystemReason(in.Error()));
  }
}

bool WriteImageFile(const std::string& path, const std::string& contents, Ui& ui) {
  const int error = WriteFileReplacing(path, contents);
  if (error == 0) return true;
  ui.Message(MessageKind::Error,
             std::string(text::kChipImageUnwritable) + path + ": " + SystemReason(error));
  return false;
}

}  // namespace

void SimulatedProgrammer::InsertChipFor(const DeviceDescriptor& device, Ui& ui) {
  programmer_.Insert(nullptr);
  chip_ = ChipModelFor(device);
  device_ = device;
  if (!chip_) return;
  programmer_.Insert(chip_.get());
  if (folder_.empty()) return;

  BufferSlot slot;
  slot.Fill(device.BlankValue);
  ChipToSlot(*chip_, slot);  // what the files do not mention stays as the part holds it
  const std::string path = ImagePath(folder_, device.Name);
  ReadImageFile(path, ui, [&](ByteStream& in) {
    LoadProgramFile(device, slot, FileType::Ihx8, in, ui);
  });
  if (ConfigBesideImage(device, *chip_)) {
    ReadImageFile(ConfigPath(path), ui, [&](ByteStream& in) {
      const RecordImage image = ReadRecords(in, RecordFormat::IntelHex8, ui);
      const auto n = static_cast<std::size_t>(chip_->RegionSize(ChipRegion::Config));
      std::vector<std::uint16_t> words(n);
      CopyWordWindow(image, words, 0);
      for (std::size_t i = 0; i < n; ++i) {
        if (image.Loaded[2 * i] != 0) slot.ConfigArea[i] = words[i];
      }
    });
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
  if (!WriteImageFile(path, DeviceHexFile(device_, slot), ui)) return false;
  if (!ConfigBesideImage(device_, *chip_)) return true;
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < chip_->RegionSize(ChipRegion::Config); ++i) {
    bytes.push_back(static_cast<std::uint8_t>(slot.ConfigArea[i] & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(slot.ConfigArea[i] >> 8));
  }
  std::string config;
  WriteHexBytes(config, bytes, 0);
  WriteHexEnd(config);
  return WriteImageFile(ConfigPath(path), config, ui);
}

}  // namespace kestrum
