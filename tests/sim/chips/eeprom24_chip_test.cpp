// SPDX-License-Identifier: GPL-3.0-or-later
// The 24Cxx part on its own pins, driven by a small bus master: what the protocol runs never
// reach (a write past the page end, reads that wrap, a repeated start into a write, the
// supply lost in a write cycle). The protocol and operation tests show the rest.
#include "sim/chips/eeprom24_chip.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace kestrum {
namespace {

// A master that holds SDA through a pull-up and lets the part pull it low; 5 µs per edge.
struct Master {
  explicit Master(std::string_view device) : part(*Eeprom24For(device)) { Apply(); }
  void Apply() { part.OnPins(pins, t += 5); }
  void Data(bool level) { pins.sda = level, Apply(); }
  void Clock(bool level) { pins.scl = level, Apply(); }
  bool Line() const { return pins.sda && !part.PullsSdaLow(); }
  void Start() { Data(true), Clock(true), Data(false), Clock(false); }
  void Stop() { Data(false), Clock(true), Data(true), Clock(false); }
  bool Send(int byte) {
    for (int i = 7; i >= 0; --i) Data((byte >> i) & 1), Clock(true), Clock(false);
    Data(true), Clock(true);
    const bool acknowledged = !Line();
    Clock(false);
    return acknowledged;
  }
  // A transaction: the bytes sent, whether every one was acknowledged, then `count` bytes read
  // after a repeated start, or a stop.
  std::vector<int> Run(std::vector<int> bytes, int count = 0) {
    Start();
    for (int b : bytes) EXPECT_TRUE(Send(b)) << b;
    std::vector<int> got;
    if (count > 0) {
      Start();
      EXPECT_TRUE(Send(0xA1));
      for (int i = 0; i < count; ++i) {
        int byte = 0;
        Data(true);
        for (int k = 0; k < 8; ++k) Clock(true), byte = (byte << 1) | Line(), Clock(false);
        Data(i == count - 1), Clock(true), Clock(false);
        got.push_back(byte);
      }
    }
    Stop();
    return got;
  }

  Eeprom24 part;
  Eeprom24Pins pins{.vcc = true, .scl = false, .sda = true};
  std::int64_t t = 0;
};

TEST(Eeprom24, PagesWrapReadsWrapAndOnlyAFinishedCycleLands) {
  Master m("24C16");
  // Ten bytes from 7FDh into a page of sixteen (7F0h..7FFh) from block 7: three to the end of
  // the page, seven more from its start.
  std::vector<int> write = {0xAE, 0xFD};
  for (int i = 0; i < 10; ++i) write.push_back(0x10 + i);
  m.Run(write);
  m.Start();
  EXPECT_FALSE(m.Send(0xA0));  // busy with its write cycle: not even its address is answered
  m.Stop();
  m.t += 10000;
  // A read from 7FEh runs over the end of memory into block 0.
  m.part.Memory()[0] = 0x42;
  EXPECT_EQ(m.Run({0xAE, 0xF0}, 3), (std::vector<int>{0x13, 0x14, 0x15}));
  EXPECT_EQ(m.Run({0xAE, 0xFE}, 3), (std::vector<int>{0x11, 0x12, 0x42}));
  EXPECT_EQ(m.part.Memory()[0x7FD], 0x10);
  EXPECT_EQ(m.part.Memory()[0x7F6], 0x19);
  EXPECT_EQ(m.part.Memory()[0x7F7], 0xFF);

  // A repeated start before the stop, and a supply lost during the cycle, write nothing.
  m.Run({0xA2, 0x00, 0x55}, 1);
  m.Run({0xA2, 0x01, 0x66});
  m.pins.vcc = false, m.Apply();
  m.pins.vcc = true, m.Apply();
  EXPECT_EQ(m.Run({0xA2, 0x00}, 2), (std::vector<int>{0xFF, 0xFF}));
  EXPECT_EQ(m.part.WriteCycles(), 2);
}

}  // namespace
}  // namespace kestrum
