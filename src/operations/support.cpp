// SPDX-License-Identifier: GPL-3.0-or-later
// The refusal texts.
#include "operations/support.hpp"

#include "operations/texts.hpp"

namespace kestrum {

std::string NotSupportedText(ProgrammerType type) {
  return std::string(text::kNotSupported) + std::string(ProgrammerListText(type));
}

std::string NotSupportedText(const HardwareSettings& settings) {
  return std::string(text::kNotSupported) + std::string(ProgrammerListText(settings));
}

std::string FamilyNotAvailableText(const DeviceDescriptor& device) {
  return std::string(text::kFamilyNotAvailableBefore) + FamilyTypeText(device) +
         std::string(text::kFamilyNotAvailableAfter);
}

}  // namespace kestrum
