// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the 8-bit Intel HEX (and object files) reader on arbitrary input.
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrum::fuzz::LoadEverywhere(data, size, kestrum::FileType::Ihx8);
  return 0;
}
