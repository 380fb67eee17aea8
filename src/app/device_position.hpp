// SPDX-License-Identifier: GPL-3.0-or-later
// Which chip picture the Device Position window lays over the programmer picture, and where:
// the part sits in a different place of each programmer's socket by its family and pin count.
#pragma once

#include <string>

#include "device/device_descriptor.hpp"
#include "hardware/hardware_settings.hpp"

namespace kestrum {

// The eight chip pictures.
enum class ChipPicture : int {
  Dip8 = 0,
  Dip18 = 1,
  Generic = 2,  // a wide part the socket's own adapter carries
  Dip14 = 3,
  Parallel = 4,  // the flash micro and parallel PIC socket
  Dip28 = 5,
  Dip40 = 6,
  Dip20 = 7,
};
inline constexpr int kChipPictureCount = 8;

struct ChipPlacement {
  ChipPicture Picture = ChipPicture::Dip8;
  int Offset = 0;  // extra pixels to the right
};

// The chip picture's left edge from the programmer picture's, before the offset, and its top.
inline constexpr int kChipLeft = 58;
inline constexpr int kChipTop = 17;
inline constexpr int kProgrammerPictureWidth = 209;
inline constexpr int kProgrammerPictureHeight = 73;
inline constexpr int kChipPictureWidth = 200;
inline constexpr int kChipPictureHeight = 30;

// The first matching row of the placement table for this programmer and device.
ChipPlacement PlaceChip(ProgrammerType programmer, DeviceFamily family, int pinCount,
                        bool parallelOnly);
ChipPlacement PlaceChip(ProgrammerType programmer, const DeviceDescriptor& device);

// The group box caption: " " + port + " on " + programmer name + " ".
std::string DevicePositionCaption(const HardwareSettings& settings);
// "Device: " + name.
std::string DevicePositionDeviceText(const DeviceDescriptor& device);

}  // namespace kestrum
