// SPDX-License-Identifier: GPL-3.0-or-later
// The chip-model table.
#include "sim/chips/chip_models.hpp"

#include <algorithm>
#include <utility>

#include "device/catalogue.hpp"
#include "device/user_devices.hpp"

#include "sim/chips/avr_chip.hpp"
#include "sim/chips/avr_paged_chip.hpp"
#include "sim/chips/eeprom24_chip.hpp"
#include "sim/chips/flash_micro_chip.hpp"
#include "sim/chips/micro89s_chip.hpp"
#include "sim/chips/microwire_chip.hpp"
#include "sim/chips/nvm3060_chip.hpp"
#include "sim/chips/parallel_pic_chip.hpp"
#include "sim/chips/pic_chip.hpp"
#include "sim/chips/pic_chip_flash.hpp"
#include "sim/chips/spi_eeprom_chip.hpp"

namespace kestrum {
namespace {

using MakeModel = std::unique_ptr<ChipModel> (*)(const DeviceDescriptor&);

// A user's part is its parent's silicon with the sizes and device ID the user gave: the flash
// PICs are modelled so; other families get the parent's own model.
std::unique_ptr<ChipModel> MakeUserVariant(const DeviceDescriptor& device) {
  const CatalogueEntry* entry = FindDeviceByName(device.Name);
  const CatalogueEntry* parent = entry != nullptr ? ParentOf(*entry) : nullptr;
  if (parent == nullptr) return nullptr;
  if (const PicFlashDescription* silicon = PicFlashChipFor(parent->Name)) {
    PicFlashDescription variant = *silicon;
    variant.name = entry->Name;  // stays while the user's parts are installed
    variant.pins = device.PinCount;
    variant.programWords = device.CodeSize;
    variant.dataBytes = std::max(device.DataSize, 0);
    variant.deviceId = static_cast<std::uint16_t>(device.DeviceId);
    return std::make_unique<PicFlashChip>(variant);
  }
  return ChipModelFor(DescriptorFor(*parent));
}

std::unique_ptr<ChipModel> MakePic(const DeviceDescriptor& device) {
  if (device.ParallelOnly) return ParallelPicChip::ForDevice(device);
  if (auto flash = PicFlashChip::ForDevice(device.Name)) return flash;
  return PicChip::ForDevice(device.Name);
}
std::unique_ptr<ChipModel> MakeSpiEeprom(const DeviceDescriptor& device) {
  return SpiEepromChip::ForDevice(device.Name);
}
std::unique_ptr<ChipModel> MakeAvr(const DeviceDescriptor& device) {
  if (auto paged = AvrPagedChip::ForDevice(device.Name)) return paged;
  return AvrChip::ForDevice(device.Name);
}
std::unique_ptr<ChipModel> MakeMicro89S(const DeviceDescriptor& device) {
  return Micro89SChip::ForDevice(device.Name);
}

std::unique_ptr<ChipModel> MakeMicrowire(const DeviceDescriptor& device) {
  return MicrowireChip::ForDevice(device.Name);
}

std::unique_ptr<ChipModel> MakeEeprom24(const DeviceDescriptor& device) {
  return Eeprom24Chip::ForDevice(device.Name);
}

std::unique_ptr<ChipModel> MakeFlashMicro(const DeviceDescriptor& device) {
  return std::make_unique<FlashMicroChip>(device.CodeSize);
}

std::unique_ptr<ChipModel> MakeImBusEeprom(const DeviceDescriptor&) {
  return std::make_unique<Nvm3060Chip>();
}

// One row per family; a family without a model has none.
constexpr std::pair<DeviceFamily, MakeModel> kModels[] = {
    {DeviceFamily::Pic, &MakePic},
    {DeviceFamily::MicrowireEeprom, &MakeMicrowire},
    {DeviceFamily::FourWireEeprom, &MakeMicrowire},
    {DeviceFamily::SpiEeprom, &MakeSpiEeprom},
    {DeviceFamily::AvrMicro, &MakeAvr},
    {DeviceFamily::SpiMicro89S, &MakeMicro89S},
    {DeviceFamily::I2cEeprom, &MakeEeprom24},
    {DeviceFamily::FlashMicro, &MakeFlashMicro},
    {DeviceFamily::ImBusEeprom, &MakeImBusEeprom},
};

}  // namespace

std::unique_ptr<ChipModel> ChipModelFor(const DeviceDescriptor& device) {
  if (device.UserDefined) return MakeUserVariant(device);
  const DeviceFamily family = FamilyOf(device);
  for (const auto& [rowFamily, make] : kModels) {
    if (rowFamily == family) return make(device);
  }
  return nullptr;
}

}  // namespace kestrum
