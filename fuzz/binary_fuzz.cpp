// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the raw binary reader on arbitrary input.
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrum::fuzz::LoadEverywhere(data, size, kestrum::FileType::Binary);
  return 0;
}
