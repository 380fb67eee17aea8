// SPDX-License-Identifier: GPL-3.0-or-later
// The chip placement table of the Device Position window.
#include "app/device_position.hpp"

#include "app/texts.hpp"

namespace kestrum {

ChipPlacement PlaceChip(ProgrammerType programmer, DeviceFamily family, int pinCount,
                        bool parallelOnly) {
  using enum ChipPicture;
  const bool pic = family == DeviceFamily::Pic;
  switch (programmer) {
    case ProgrammerType::Jdm:
    case ProgrammerType::JdmFtdi:  // the same board on a USB cable
      if (pic) {
        if (parallelOnly) return {Parallel, 0};
        if (pinCount == 8) return {Dip8, 0};
        if (pinCount == 14) return {Dip14, 0};
        if (pinCount == 18) return {Dip18, 0};
        return {Generic, 0};
      }
      // The JDM's 8-pin EEPROM socket sits right of the PIC socket's pin 1.
      if (family == DeviceFamily::I2cEeprom) return pinCount == 8 ? ChipPlacement{Dip8, 28}
                                                                   : ChipPlacement{Generic, 0};
      if (family == DeviceFamily::FlashMicro) return {Parallel, 0};
      return {Generic, 0};
    case ProgrammerType::Conquest:
      if (pic && pinCount == 18) return {Dip18, 0};
      return {Dip8, 0};
    case ProgrammerType::ProPic2:
      if (pic) {
        if (parallelOnly) return {Parallel, 0};
        switch (pinCount) {
          case 28: return {Dip28, 0};
          case 40: return {Dip40, 0};
          case 20: return {Dip20, 0};
          case 8: return {Dip8, 91};
          case 14: return {Dip14, 91};
          case 18: return {Dip18, 0};
          default: return {Generic, 0};
        }
      }
      if (family == DeviceFamily::I2cEeprom) return pinCount == 8 ? ChipPlacement{Dip8, 56}
                                                                   : ChipPlacement{Generic, 0};
      if (family == DeviceFamily::FlashMicro) return {Parallel, 0};
      return {Generic, 0};
    default:
      return {Dip8, 0};
  }
}

ChipPlacement PlaceChip(ProgrammerType programmer, const DeviceDescriptor& device) {
  return PlaceChip(programmer, FamilyOf(device), device.PinCount, device.ParallelOnly);
}

std::string DevicePositionCaption(const HardwareSettings& settings) {
  return " " + settings.Port + std::string(text::kPortOn) +
         std::string(ProgrammerListText(settings)) + " ";
}

std::string DevicePositionDeviceText(const DeviceDescriptor& device) {
  return std::string(text::kDevicePositionDevice) + device.Name;
}

}  // namespace kestrum
