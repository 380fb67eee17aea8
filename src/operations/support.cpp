// Support groups and dispatch rows.
#include "operations/support.hpp"

#include "operations/texts.hpp"

namespace kestrum {

bool ProgrammerSupports(ProgrammerType type, SupportGroup group) {
  switch (group) {
    case SupportGroup::StandardProgrammers:
      return type != ProgrammerType::Tafe && type != ProgrammerType::TaitParallel;
    case SupportGroup::TafeOnly:
      return type == ProgrammerType::Tafe;
    case SupportGroup::TaitParallelOnly:
      return type == ProgrammerType::TaitParallel;
  }
  return false;
}

DispatchRow DispatchRowOf(const DeviceDescriptor& device) {
  if (device.IsImBusEeprom) return DispatchRow::ImBusEeprom;
  if (device.IsSpiMicro89S) return DispatchRow::SpiMicro89S;
  if (device.IsSpiEeprom) return DispatchRow::SpiEeprom;
  if (device.IsFlashMicro) return DispatchRow::FlashMicro;
  if (device.IsAvrMicro) return DispatchRow::AvrMicro;
  if (device.IsFourWireEeprom) return DispatchRow::FourWireEeprom;
  if (device.IsMicrowireEeprom) return DispatchRow::MicrowireEeprom;
  if (device.IsI2cEeprom) return DispatchRow::I2cEeprom;
  return device.ParallelOnly ? DispatchRow::PicParallel : DispatchRow::Pic;
}

SupportGroup GroupOf(DispatchRow row) {
  switch (row) {
    case DispatchRow::FlashMicro:
      return SupportGroup::TafeOnly;
    case DispatchRow::PicParallel:
      return SupportGroup::TaitParallelOnly;
    default:
      return SupportGroup::StandardProgrammers;
  }
}

bool RowAvailable(DispatchRow row) {
  return row == DispatchRow::Pic;
}

std::string NotSupportedText(ProgrammerType type) {
  return std::string(text::kNotSupported) + std::string(ProgrammerListText(type));
}

std::string FamilyNotAvailableText(const DeviceDescriptor& device) {
  return std::string(text::kFamilyNotAvailableBefore) + FamilyTypeText(device) +
         std::string(text::kFamilyNotAvailableAfter);
}

}  // namespace kestrum
