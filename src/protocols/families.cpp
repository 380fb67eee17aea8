// SPDX-License-Identifier: GPL-3.0-or-later
// The family table.
#include "protocols/families.hpp"

#include <array>

#include "protocols/avr.hpp"
#include "protocols/flash_micro.hpp"
#include "protocols/i2c_driver.hpp"
#include "protocols/imbus.hpp"
#include "protocols/micro89s.hpp"
#include "protocols/microwire_driver.hpp"
#include "protocols/parallel_pic.hpp"
#include "protocols/pic_driver.hpp"
#include "protocols/smartcard_driver.hpp"
#include "protocols/spi_eeprom.hpp"

namespace kestrum {
namespace {

template <class Driver>
std::unique_ptr<FamilyDriver> Make() {
  return std::make_unique<Driver>();
}

using enum FamilyKey;
using enum SupportGroup;

// In FamilyKey order.
constexpr std::array kFamilies = {
    FamilyRow{Pic, StandardProgrammers, &Make<PicDriver>},
    FamilyRow{PicParallel, TaitParallelOnly, &Make<ParallelPicDriver>},
    FamilyRow{I2cEeprom, StandardProgrammers, &Make<I2cDriver>},
    FamilyRow{Smartcard, AnyProgrammer, &Make<SmartcardDriver>},
    FamilyRow{MicrowireEeprom, StandardProgrammers, &Make<MicrowireDriver>},
    FamilyRow{FourWireEeprom, StandardProgrammers, &Make<FourWireDriver>},
    FamilyRow{AvrMicro, StandardProgrammers, &Make<AvrDriver>},
    FamilyRow{FlashMicro, TafeOnly, &Make<FlashMicroDriver>},
    FamilyRow{SpiEeprom, StandardProgrammers, &Make<SpiEepromDriver>},
    FamilyRow{SpiMicro89S, StandardProgrammers, &Make<Micro89SDriver>},
    FamilyRow{ImBusEeprom, StandardProgrammers, &Make<ImBusDriver>},
};

}  // namespace

FamilyKey FamilyKeyOf(const DeviceDescriptor& device, const OperationOptions& options) {
  switch (FamilyOf(device)) {
    case DeviceFamily::Pic:
      return device.ParallelOnly ? PicParallel : Pic;
    case DeviceFamily::I2cEeprom:
      return options.Smart ? Smartcard : I2cEeprom;
    case DeviceFamily::MicrowireEeprom:
      return MicrowireEeprom;
    case DeviceFamily::FourWireEeprom:
      return FourWireEeprom;
    case DeviceFamily::AvrMicro:
      return AvrMicro;
    case DeviceFamily::FlashMicro:
      return FlashMicro;
    case DeviceFamily::SpiEeprom:
      return SpiEeprom;
    case DeviceFamily::SpiMicro89S:
      return SpiMicro89S;
    case DeviceFamily::ImBusEeprom:
      return ImBusEeprom;
  }
  return Pic;
}

const FamilyRow& FamilyRowOf(FamilyKey key) {
  static_assert([] {
    for (std::size_t i = 0; i < kFamilies.size(); ++i) {
      if (static_cast<std::size_t>(kFamilies[i].Key) != i) return false;
    }
    return true;
  }());
  return kFamilies[static_cast<std::size_t>(key)];
}

}  // namespace kestrum
