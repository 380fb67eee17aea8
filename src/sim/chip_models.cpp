// The chip-model table.
#include "sim/chip_models.hpp"

#include <array>
#include <utility>

#include "sim/microwire_chip.hpp"
#include "sim/pic_chip.hpp"

namespace kestrum {
namespace {

using MakeModel = std::unique_ptr<ChipModel> (*)(const DeviceDescriptor&);

std::unique_ptr<ChipModel> MakePic(const DeviceDescriptor& device) {
  return PicChip::ForDevice(device.Name);
}

std::unique_ptr<ChipModel> MakeMicrowire(const DeviceDescriptor& device) {
  return MicrowireChip::ForDevice(device.Name);
}

// One row per family; a family without a model has none.
constexpr std::pair<DeviceFamily, MakeModel> kModels[] = {
    {DeviceFamily::Pic, &MakePic},
    {DeviceFamily::MicrowireEeprom, &MakeMicrowire},
    {DeviceFamily::FourWireEeprom, &MakeMicrowire},
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
