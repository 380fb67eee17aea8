// SPDX-License-Identifier: GPL-3.0-or-later
// Family derivation and the texts describing the selected device.
#include "device/device_descriptor.hpp"

#include "core/text.hpp"
#include "device/texts.hpp"

namespace kestrum {

DeviceFamily FamilyOf(const DeviceDescriptor& d) {
  if (d.IsImBusEeprom) return DeviceFamily::ImBusEeprom;
  if (d.IsI2cEeprom) return DeviceFamily::I2cEeprom;
  if (d.IsMicrowireEeprom) return DeviceFamily::MicrowireEeprom;
  if (d.IsFourWireEeprom) return DeviceFamily::FourWireEeprom;
  if (d.IsAvrMicro) return DeviceFamily::AvrMicro;
  if (d.IsFlashMicro) return DeviceFamily::FlashMicro;
  if (d.IsSpiEeprom) return DeviceFamily::SpiEeprom;
  if (d.IsSpiMicro89S) return DeviceFamily::SpiMicro89S;
  return DeviceFamily::Pic;
}

void SetFamilyFlag(DeviceDescriptor& d, DeviceFamily family) {
  d.IsImBusEeprom = family == DeviceFamily::ImBusEeprom;
  d.IsI2cEeprom = family == DeviceFamily::I2cEeprom;
  d.IsMicrowireEeprom = family == DeviceFamily::MicrowireEeprom;
  d.IsFourWireEeprom = family == DeviceFamily::FourWireEeprom;
  d.IsAvrMicro = family == DeviceFamily::AvrMicro;
  d.IsFlashMicro = family == DeviceFamily::FlashMicro;
  d.IsSpiEeprom = family == DeviceFamily::SpiEeprom;
  d.IsSpiMicro89S = family == DeviceFamily::SpiMicro89S;
}

int CoreWidth(std::uint16_t blankValue) {
  int width = 0;
  for (unsigned v = blankValue; v != 0; v >>= 1) ++width;
  return width;
}

std::string FamilyTypeText(const DeviceDescriptor& d) {
  switch (FamilyOf(d)) {
    case DeviceFamily::Pic: {
      std::string type(d.ParallelOnly ? text::kTypeParallelPic : text::kTypeSerialPic);
      if (d.HasParity) type += text::kTypeParity;
      type += text::kTypePicSuffix;
      return type;
    }
    case DeviceFamily::I2cEeprom: return std::string(text::kTypeI2cEeprom);
    case DeviceFamily::MicrowireEeprom: return std::string(text::kTypeMicrowireEeprom);
    case DeviceFamily::FourWireEeprom: return std::string(text::kTypeFourWireEeprom);
    case DeviceFamily::AvrMicro: return std::string(text::kTypeAvrMicro);
    case DeviceFamily::FlashMicro: return std::string(text::kTypeFlashMicro);
    case DeviceFamily::SpiEeprom: return std::string(text::kTypeSpiEeprom);
    case DeviceFamily::SpiMicro89S: return std::string(text::kTypeSpiMicro);
    case DeviceFamily::ImBusEeprom: return std::string(text::kTypeImBusEeprom);
  }
  return {};
}

std::string DeviceInformationText(const DeviceDescriptor& d) {
  std::string info(text::kDeviceInformation);
  info.append(16, ' ');
  info += "\n\n";
  info += text::kInfoName;
  info += d.Name;
  info += '\n';
  info += text::kInfoType;
  info += FamilyTypeText(d);
  info += '\n';
  info += text::kInfoCodeSize;
  info += Hex4(static_cast<std::uint32_t>(d.CodeSize));
  info += 'h';
  info += '\n';
  info += text::kInfoCore;
  info += std::to_string(CoreWidth(d.BlankValue));
  info += text::kInfoCoreUnit;
  info += '\n';
  info += text::kInfoPinCount;
  info += std::to_string(d.PinCount);
  return info;
}

}  // namespace kestrum
