// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the programmers.toml reader on arbitrary input. Every entry it keeps must
// be one the line layer can drive: Data Out, Clock and Data In on pins of its port kind.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "hardware/programmer_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrum;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ProgrammerFile file = ReadProgrammers(text, "programmers.toml");
  for (const auto& programmer : file.programmers) {
    const PinMap& pins = programmer->row.pins;
    if (!pins.dataOut.Connected() || !pins.clock.Connected() || !pins.dataIn.Connected() ||
        programmer->name.empty()) {
      std::abort();
    }
    HardwareSettings settings;
    settings.Programmer = ProgrammerType::User;
    settings.User = programmer;
    // What --show-programmer prints of it reads back.
    if (ReadProgrammers(FormatProgrammer(settings), "copy").programmers.size() != 1) std::abort();
  }
  return 0;
}
