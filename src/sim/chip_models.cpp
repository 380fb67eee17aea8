// The chip-model table.
#include "sim/chip_models.hpp"

#include <utility>

#include "sim/eeprom24_chip.hpp"
#include "sim/pic_chip.hpp"

namespace kestrum {
namespace {

using MakeModel = std::unique_ptr<ChipModel> (*)(const DeviceDescriptor&);

std::unique_ptr<ChipModel> MakePic(const DeviceDescriptor& device) {
  return PicChip::ForDevice(device.Name);
}

std::unique_ptr<ChipModel> MakeEeprom24(const DeviceDescriptor& device) {
  return Eeprom24Chip::ForDevice(device.Name);
}

// One row per family; a family without a model has none.
constexpr std::pair<DeviceFamily, MakeModel> kModels[] = {
    {DeviceFamily::Pic, &MakePic},
    {DeviceFamily::I2cEeprom, &MakeEeprom24},
};

}  // namespace

std::unique_ptr<ChipModel> ChipModelFor(const DeviceDescriptor& device) {
  const DeviceFamily family = FamilyOf(device);
  for (const auto& [rowFamily, make] : kModels) {
    if (rowFamily == family) return make(device);
  }
  return nullptr;
}

}  // namespace kestrum
