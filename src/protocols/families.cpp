// The family table.
#include "protocols/families.hpp"

#include <array>

#include "protocols/pic_driver.hpp"
#include "protocols/smartcard_driver.hpp"

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
    FamilyRow{PicParallel, TaitParallelOnly, nullptr},
    FamilyRow{I2cEeprom, StandardProgrammers, nullptr},
    FamilyRow{Smartcard, AnyProgrammer, &Make<SmartcardDriver>},
    FamilyRow{MicrowireEeprom, StandardProgrammers, nullptr},
    FamilyRow{FourWireEeprom, StandardProgrammers, nullptr},
    FamilyRow{AvrMicro, StandardProgrammers, nullptr},
    FamilyRow{FlashMicro, TafeOnly, nullptr},
    FamilyRow{SpiEeprom, StandardProgrammers, nullptr},
    FamilyRow{SpiMicro89S, StandardProgrammers, nullptr},
    FamilyRow{ImBusEeprom, StandardProgrammers, nullptr},
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
