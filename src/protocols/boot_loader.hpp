// SPDX-License-Identifier: GPL-3.0-or-later
// The smartcard wizard's built-in data: `BootLoaderImage`, the program the wizard puts into the
// card's PIC so that a card reader can load the card's EEPROM (our own boot loader,
// firmware/boot_loader.asm, assembled by gpasm into firmware/boot_loader.hex, which the build
// embeds), and `BootLoaderConfig`, the configuration area written after it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrum {

inline constexpr int kBootLoaderWords = 1024;
// The configuration word: XT oscillator, no watchdog, no power-up timer, no code protection;
// the power-up timer bit has opposite senses on the two parts.
inline constexpr std::uint16_t kBootLoaderConfig16C84 = 0x3FF1;
inline constexpr std::uint16_t kBootLoaderConfig16F84 = 0x3FF9;

// The embedded Intel HEX file.
std::string_view BootLoaderHex();
// The 1024 program words of the HEX file (blank words 3FFFh).
const std::vector<std::uint16_t>& BootLoaderImage();
// ID words FFFFh, three zero words, the configuration word for the part ("SmartWiz": true for
// the PIC 16C84, false for the PIC 16F84).
std::array<std::uint16_t, 8> BootLoaderConfig(bool pic16C84);

}  // namespace kestrum
