// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the 16-bit Intel HEX reader on arbitrary input.
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrum::fuzz::LoadEverywhere(data, size, kestrum::FileType::Ihx16);
  return 0;
}
