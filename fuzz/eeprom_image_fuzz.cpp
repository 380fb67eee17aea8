// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the EEPROM image reader (152-byte header, then bytes) on arbitrary input.
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrum::fuzz::LoadEverywhere(data, size, kestrum::FileType::Eeprom);
  return 0;
}
