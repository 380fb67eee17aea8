// The chip-model table.
#include "sim/chip_models.hpp"

#include <array>
#include <utility>

#include "sim/flash_micro_chip.hpp"
#include "sim/nvm3060_chip.hpp"
#include "sim/parallel_pic_chip.hpp"
#include "sim/pic_chip.hpp"

namespace kestrum {
namespace {

using MakeModel = std::unique_ptr<ChipModel> (*)(const DeviceDescriptor&);

std::unique_ptr<ChipModel> MakePic(const DeviceDescriptor& device) {
  if (device.ParallelOnly) return ParallelPicChip::ForDevice(device);
  return PicChip::ForDevice(device.Name);
}

std::unique_ptr<ChipModel> MakeFlashMicro(const DeviceDescriptor& device) {
  return std::make_unique<FlashMicroChip>(device.CodeSize);
}

std::unique_ptr<ChipModel> MakeImBusEeprom(const DeviceDescriptor&) {
  return std::make_unique<Nvm3060Chip>();
}

// One row per family; a family without a model has none.
constexpr std::array<std::pair<DeviceFamily, MakeModel>, 3> kModels = {{
    {DeviceFamily::Pic, &MakePic},
    {DeviceFamily::FlashMicro, &MakeFlashMicro},
    {DeviceFamily::ImBusEeprom, &MakeImBusEeprom},
}};

}  // namespace

std::unique_ptr<ChipModel> ChipModelFor(const DeviceDescriptor& device) {
  const DeviceFamily family = FamilyOf(device);
  for (const auto& [rowFamily, make] : kModels) {
    if (rowFamily == family) return make(device);
  }
  return nullptr;
}

}  // namespace kestrum
