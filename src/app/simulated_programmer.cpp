// SPDX-License-Identifier: GPL-3.0-or-later
// Virtual programmer with persistent chip images.
#include "app/simulated_programmer.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "app/texts.hpp"
#include "buffers/buffer_set.hpp"
#include "buffers/device_image.hpp"
#include "buffers/file_access.hpp"
#include "buffers/file_commands.hpp"
#include "buffers/hex_file.hpp"
#include "core/name_match.hpp"
#include "device/catalogue.hpp"
#include "device/user_devices.hpp"
#include "sim/chips/chip_models.hpp"
#include "sim/chips/eeprom24_chip.hpp"
#include "sim/chips/pic_chip.hpp"

namespace kestrum {
namespace {

// The smartcard: a PIC 16C84 or 16F84 and a 24C16.
constexpr std::string_view kCardPic16C84 = "PIC 16C84";
constexpr std::string_view kCardPic16F84 = "PIC 16F84";
constexpr std::string_view kCardEeprom = "24C16";

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

// Reads `path` with `load`, which returns the first problem of the contents (empty when they
// loaded cleanly). A missing file is a part as it comes from the factory. False when the file
// cannot be read or does not load cleanly: the user is told, and the file must be kept.
template <class Load>
bool ReadImageFile(const std::string& path, Ui& ui, Load load) {
  int error = 0;
  auto file = PosixInputFile::Open(path, error);
  if (!file) {
    if (error == ENOENT) return true;
    ui.Message(MessageKind::Error, std::string(text::kChipImageUnreadable) + path + ": " +
                                       SystemReason(error) + std::string(text::kChipImageKept));
    return false;
  }
  ByteStream in(*file, path);
  in.Limit(kLargestUsableFile);
  const std::string problem = load(in);
  if (in.Error() != 0) {
    ui.Message(MessageKind::Error, std::string(text::kChipImageUnreadable) + path + ": " +
                                       SystemReason(in.Error()) +
                                       std::string(text::kChipImageKept));
    return false;
  }
  if (!problem.empty()) {
    ui.Message(MessageKind::Error, std::string(text::kChipImageDamagedBefore) + path +
                                       std::string(text::kChipImageDamagedMiddle) + problem +
                                       std::string(text::kChipImageKept));
    return false;
  }
  return true;
}

// The first problem of a chip file that LoadProgramFile read: a file this program wrote is
// never empty and never damaged.
std::string ImageProblem(const LoadResult& loaded) {
  if (!loaded.Problem.empty()) return loaded.Problem;
  if (loaded.Outcome != LoadOutcome::Data) return std::string(text::kChipImageEmpty);
  return {};
}

std::string LockPath(const std::string& imagePath) {
  const std::filesystem::path image(imagePath);
  return (image.parent_path() / ("." + image.filename().string() + ".lock")).string();
}

int OpenForLocking(const std::string& path, int flags) {
  for (;;) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

int Flock(int fd, int operation) {
  for (;;) {
    if (::flock(fd, operation) == 0) return 0;
    if (errno != EINTR) return errno;
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

SimulatedProgrammer::FileLock& SimulatedProgrammer::FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

SimulatedProgrammer::FileLock::~FileLock() {
  // Closing the descriptor releases the lock.
  if (fd_ >= 0) ::close(fd_);
}

SimulatedProgrammer::~SimulatedProgrammer() {
  Remove();
}

void SimulatedProgrammer::Remove() {
  // The board and the reader let go of the chips before they go.
  programmer_.InsertCard(nullptr);
  programmer_.Insert(nullptr);
  card_.reset();
  parts_.clear();
}

bool SimulatedProgrammer::InsertChipFor(const DeviceDescriptor& device, Ui& ui) {
  Remove();
  std::unique_ptr<ChipModel> model = ChipModelFor(device);
  if (!model) return true;
  parts_.push_back({device, std::move(model), {}});
  if (!Load(parts_.front(), ui)) {
    parts_.clear();
    return false;
  }
  programmer_.Insert(parts_.front().model.get());
  return true;
}

bool SimulatedProgrammer::CardServes(const DeviceDescriptor& device, bool pic16C84) {
  return FamilyOf(device) == DeviceFamily::I2cEeprom ||
         device.Name == (pic16C84 ? kCardPic16C84 : kCardPic16F84);
}

bool SimulatedProgrammer::SetSocketPart(const std::string& deviceName, Ui& ui) {
  // The name as the device list shows it; else typed as -t takes it (any case, "16F88").
  const CatalogueEntry* entry = FindDeviceByName(deviceName);
  if (entry == nullptr) {
    std::vector<const CatalogueEntry*> entries;
    std::vector<std::string> names;
    for (std::span<const CatalogueEntry> list : {Catalogue(), UserCatalogue()}) {
      for (const CatalogueEntry& e : list) {
        entries.push_back(&e);
        names.emplace_back(e.Name);
      }
    }
    const NameMatch match = MatchName(deviceName, names);
    if (match.index >= 0) entry = entries[static_cast<std::size_t>(match.index)];
  }
  if (entry == nullptr || !ChipModelFor(DescriptorFor(*entry))) {
    ui.Message(MessageKind::Error, std::string(text::kNoSocketPart) + deviceName);
    return false;
  }
  socketPart_ = std::string(entry->Name);
  return true;
}

bool SimulatedProgrammer::InsertFor(const DeviceDescriptor& device, bool smart, bool pic16C84,
                                    Ui& ui) {
  if (!socketPart_.empty()) {
    // The part stays in its socket while the user selects other devices.
    if (!parts_.empty() && parts_.front().device.Name == socketPart_) return true;
    return InsertChipFor(DescriptorFor(*FindDeviceByName(socketPart_)), ui);
  }
  if (!smart || !CardServes(device, pic16C84)) return InsertChipFor(device, ui);
  if (!card_ || cardPic16C84_ != pic16C84) return InsertCard(pic16C84, ui);
  return true;
}

bool SimulatedProgrammer::InsertCard(bool pic16C84, Ui& ui) {
  Remove();
  cardPic16C84_ = pic16C84;
  const CatalogueEntry* picEntry = FindDeviceByName(pic16C84 ? kCardPic16C84 : kCardPic16F84);
  const CatalogueEntry* eepromEntry = FindDeviceByName(kCardEeprom);
  if (picEntry == nullptr || eepromEntry == nullptr) return true;
  std::unique_ptr<PicChip> pic = PicChip::ForDevice(picEntry->Name);
  std::unique_ptr<Eeprom24Chip> eeprom = Eeprom24Chip::ForDevice(eepromEntry->Name);
  if (!pic || !eeprom) return true;
  PicChip& cardPic = *pic;
  Eeprom24& cardEeprom = eeprom->Part();
  const DeviceDescriptor eepromDevice = DescriptorFor(*eepromEntry);
  parts_.push_back({DescriptorFor(*picEntry), std::move(pic), {}});
  parts_.push_back({eepromDevice, std::move(eeprom), {}});
  for (Part& part : parts_) {
    if (!Load(part, ui)) {
      parts_.clear();
      return false;
    }
  }
  card_ = std::make_unique<Smartcard>(cardPic, cardEeprom);
  programmer_.Insert(&cardPic);
  programmer_.InsertCard(card_.get());
  return true;
}

bool SimulatedProgrammer::Load(Part& part, Ui& ui) {
  if (folder_.empty()) return true;
  const DeviceDescriptor& device = part.device;
  ChipModel& chip = *part.model;
  const std::string path = ImagePath(folder_, device.Name);

  // Another run on the same folder may be using the chip: its contents are read only once
  // that run has saved them.
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  int fd = OpenForLocking(LockPath(path), O_RDWR | O_CREAT);
  // A folder this run cannot write: no run can save there either, so the image file itself
  // is the lock, when there is one.
  if (fd < 0) fd = OpenForLocking(path, O_RDONLY);
  if (fd >= 0) {
    part.lock = FileLock(fd);
    int error = Flock(fd, LOCK_EX | LOCK_NB);
    if (error == EWOULDBLOCK) {
      ui.Message(MessageKind::Information, std::string(text::kChipImageWaitBefore) + path +
                                               std::string(text::kChipImageWaitAfter));
      error = Flock(fd, LOCK_EX);
    }
    if (error != 0) {
      ui.Message(MessageKind::Error,
                 std::string(text::kChipImageUnlockable) + path + ": " + SystemReason(error));
      return false;
    }
  }

  BufferSlot slot;
  slot.Fill(device.BlankValue);
  ChipToSlot(chip, slot);  // what the files do not mention stays as the part holds it
  if (!ReadImageFile(path, ui, [&](ByteStream& in) {
        return ImageProblem(LoadProgramFile(device, slot, FileType::Ihx8, in, ui));
      })) {
    return false;
  }
  if (ConfigBesideImage(device, chip) && !ReadImageFile(ConfigPath(path), ui, [&](ByteStream& in) {
        const RecordImage image = ReadRecords(in, RecordFormat::IntelHex8, ui);
        const auto n = static_cast<std::size_t>(chip.RegionSize(ChipRegion::Config));
        std::vector<std::uint16_t> words(n);
        CopyWordWindow(image, words, 0);
        for (std::size_t i = 0; i < n; ++i) {
          if (image.Loaded[2 * i] != 0) slot.ConfigArea[i] = words[i];
        }
        if (!image.Problem.empty()) return image.Problem;
        return image.TotalCount == 0 ? std::string(text::kChipImageEmpty) : std::string();
      })) {
    return false;
  }
  SlotToChip(slot, chip);
  return true;
}

bool SimulatedProgrammer::SaveChip(Ui& ui) {
  if (folder_.empty()) return true;
  bool saved = true;
  for (const Part& part : parts_) saved = Save(part, ui) && saved;
  return saved;
}

bool SimulatedProgrammer::Save(const Part& part, Ui& ui) {
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  const DeviceDescriptor& device = part.device;
  const ChipModel& chip = *part.model;
  BufferSlot slot;
  slot.Fill(device.BlankValue);
  ChipToSlot(chip, slot);
  const std::string path = ImagePath(folder_, device.Name);
  if (!WriteImageFile(path, DeviceHexFile(device, slot), ui)) return false;
  if (!ConfigBesideImage(device, chip)) return true;
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < chip.RegionSize(ChipRegion::Config); ++i) {
    bytes.push_back(static_cast<std::uint8_t>(slot.ConfigArea[i] & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(slot.ConfigArea[i] >> 8));
  }
  std::string config;
  WriteHexBytes(config, bytes, 0);
  WriteHexEnd(config);
  return WriteImageFile(ConfigPath(path), config, ui);
}

}  // namespace kestrum
