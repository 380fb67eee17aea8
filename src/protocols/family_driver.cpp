// SPDX-License-Identifier: GPL-3.0-or-later
// Support groups and the texts every family driver builds.
#include "protocols/family_driver.hpp"

#include "core/text.hpp"
#include "protocols/texts.hpp"

namespace kestrum {

bool ProgrammerSupports(ProgrammerType type, SupportGroup group) {
  switch (group) {
    case SupportGroup::StandardProgrammers:
      return type != ProgrammerType::Tafe && type != ProgrammerType::TaitParallel;
    case SupportGroup::TafeOnly:
      return type == ProgrammerType::Tafe;
    case SupportGroup::TaitParallelOnly:
      return type == ProgrammerType::TaitParallel;
    case SupportGroup::AnyProgrammer:
      return true;
  }
  return false;
}

std::string FamilyDriver::IdText(std::uint32_t id) const {
  return Hex4(id) + "h";
}

std::string PhaseText(std::string_view phase, int count) {
  return std::string(phase) + std::to_string(count) + std::string(text::kCountEnd) +
         std::string(text::kBytes);
}

std::string AddressText(std::string_view text, int address) {
  return std::string(text) + Hex4(static_cast<std::uint32_t>(address)) +
         std::string(text::kAddressEnd);
}

}  // namespace kestrum
