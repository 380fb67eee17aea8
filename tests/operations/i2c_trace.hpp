// SPDX-License-Identifier: GPL-3.0-or-later
// A Program All of an I2C EEPROM traced pin by pin and decoded by sigrok-cli's I2C decoder.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../run_command.hpp"
#include "lifecycle.hpp"
#include "sim/boards/vcd_writer.hpp"

namespace kestrum::testing {

// What the decoder saw written.
struct I2cWrites {
  std::vector<std::string> headers;  // each page's device and word address: "50 10"
  std::string bytes;                 // the data bytes after them, in order
  std::string decoded;               // the decoder's output, to show when a check fails
};

// Program All of the rig's slot without verify, traced to `name` in the temporary folder.
inline I2cWrites TracedI2cProgramAll(LifecycleRig& rig, const std::string& name) {
  // Named for this process: other runs of the suite may trace at the same time.
  const std::string vcd = ::testing::TempDir() + std::to_string(getpid()) + "_" + name;
  rig.options.Verify = false;
  {
    std::ofstream out(vcd);
    PinTrace trace(out);
    rig.programmer.Board().SetTrace(&trace);
    EXPECT_TRUE(rig.Runs(&Operations::ProgramAll, false, {}));
    rig.programmer.Board().SetTrace(nullptr);
    trace.Finish();
  }
  I2cWrites writes;
  // Idle stretches (the power-up, the last write cycle) compressed to 1 ms.
  writes.decoded =
      RunCommand("sigrok-cli -I vcd:compress=1000 -i '" + vcd +
                 "' -P i2c:scl=clock:sda=data_in -A i2c=address-write:data-write 2>&1");
  std::remove(vcd.c_str());
  // A device address with data after it starts a page, the first data byte being the word
  // address; one without is a poll the part did not answer.
  std::string address;
  std::istringstream in(writes.decoded);
  for (std::string line; std::getline(in, line);) {
    line = line.substr(line.find(':') + 2);
    const std::string value = line.substr(line.find(": ") + 2);
    if (line.starts_with("Address write: ")) {
      address = value;
    } else if (!line.starts_with("Data write: ")) {
      continue;
    } else if (!address.empty()) {
      writes.headers.push_back(address + " " + value);
      address.clear();
    } else {
      writes.bytes += static_cast<char>(std::stoi(value, nullptr, 16));
    }
  }
  return writes;
}

}  // namespace kestrum::testing
