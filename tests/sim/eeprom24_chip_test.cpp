// The 24Cxx part on its own pins, driven by a small bus master in the test: addressing by part,
// the page buffer that wraps inside its page, the write cycle that leaves the part deaf, reads
// that run on across blocks and wrap at the end, and the fault knobs. The protocol and
// operation tests show the part through the programmer boards.
#include "sim/eeprom24_chip.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "device/catalogue.hpp"

namespace kestrum {
namespace {

// A master that holds SDA through a pull-up and lets the part pull it low; 5 µs per edge.
struct Master {
  explicit Master(std::string_view device) : part(*Eeprom24For(device)) { Apply(); }
  void Apply() {
    t += 5;
    part.OnPins(pins, t);
  }
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
  int Receive(bool acknowledge) {
    int byte = 0;
    Data(true);
    for (int i = 0; i < 8; ++i) Clock(true), byte = (byte << 1) | Line(), Clock(false);
    Data(!acknowledge), Clock(true), Clock(false);
    return byte;
  }
  // A write transaction: whether every byte was acknowledged.
  bool Write(std::vector<int> bytes) {
    Start();
    bool all = true;
    for (int b : bytes) all = Send(b) && all;
    Stop();
    return all;
  }
  std::vector<int> Read(int count) {
    Start();
    EXPECT_TRUE(Send(0xA1));
    std::vector<int> got;
    for (int i = 0; i < count; ++i) got.push_back(Receive(i < count - 1));
    Stop();
    return got;
  }
  void Wait(std::int64_t us) { t += us; }

  Eeprom24 part;
  Eeprom24Pins pins{.vcc = true, .scl = false, .sda = true};
  std::int64_t t = 0;
};

TEST(Eeprom24Parts, EveryCatalogueI2cDeviceHasAPartOfItsSizeAndPage) {
  int parts = 0;
  for (const CatalogueEntry& e : Catalogue()) {
    const DeviceDescriptor d = DescriptorFor(e);
    if (FamilyOf(d) != DeviceFamily::I2cEeprom) continue;
    const Eeprom24Description* part = Eeprom24For(d.Name);
    ASSERT_NE(part, nullptr) << d.Name;
    EXPECT_EQ(part->bytes, d.CodeSize);
    EXPECT_EQ(part->pageBytes, d.PageSize);
    EXPECT_EQ(part->twoAddressBytes, d.Variant == 1);
    ++parts;
  }
  EXPECT_EQ(parts, static_cast<int>(Eeprom24Parts().size()));
}

TEST(Eeprom24, PageWritesWrapInTheirPageAndTheWriteCycleLeavesThePartDeaf) {
  Master m("24C02");
  // Ten bytes from 05h into a page of eight: the last five wrap to the page start; 05h and 06h
  // are loaded twice and keep the later byte.
  std::vector<int> write = {0xA0, 0x05};
  for (int i = 0; i < 10; ++i) write.push_back(0x10 + i);
  ASSERT_TRUE(m.Write(write));
  EXPECT_TRUE(m.part.Busy(m.t));
  m.Start();
  EXPECT_FALSE(m.Send(0xA0));  // acknowledge polling during the cycle gets no answer
  m.Stop();
  EXPECT_EQ(m.part.Memory()[5], 0xFF);  // nothing lands before the cycle is over
  m.Wait(10000);
  ASSERT_TRUE(m.Write({0xA0, 0x00}));  // address only: no write cycle
  EXPECT_FALSE(m.part.Busy(m.t));
  EXPECT_EQ(m.Read(9), (std::vector<int>{0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x12, 0xFF}));
  EXPECT_EQ(m.part.WriteCycles(), 1);

  // The supply going during the cycle loses the page.
  ASSERT_TRUE(m.Write({0xA0, 0x08, 0x55}));
  m.pins.vcc = false, m.Apply();
  m.pins.vcc = true, m.Apply();
  m.Wait(20000);
  ASSERT_TRUE(m.Write({0xA0, 0x08}));
  EXPECT_EQ(m.Read(1), std::vector<int>{0xFF});

  // A repeated start in the middle of a write leaves the page buffer unwritten.
  m.Start(), m.Send(0xA0), m.Send(0x10), m.Send(0x66);
  m.Read(1);
  EXPECT_FALSE(m.part.Busy(m.t));
  EXPECT_EQ(m.part.WriteCycles(), 2);
}

// Which device addresses each kind of part answers, and where its word address points.
TEST(Eeprom24, AddressingByPart) {
  struct Case {
    const char* device;
    std::vector<int> header;  // device address and word address bytes of a write
    bool acknowledged;
    int address;  // where the byte written after the header lands
  };
  for (const Case& c : {
           Case{"24C16", {0xAE, 0x34}, true, 0x734},
           Case{"24C16", {0xA6, 0xFF}, true, 0x3FF},
           Case{"24C08", {0xA6, 0x12}, true, 0x312},
           Case{"24C08", {0xA8, 0x12}, false, 0},  // A2 is tied low
           Case{"24C04", {0xA2, 0x80}, true, 0x180},
           Case{"24C02", {0xA2, 0x00}, false, 0},  // A0 is tied low
           Case{"24C01A", {0xA0, 0xFF}, true, 0x7F},
           Case{"24C64", {0xA0, 0x1F, 0xF0}, true, 0x1FF0},
           Case{"24C32", {0xA0, 0xF1, 0x23}, true, 0x123},  // bits above the part ignored
           Case{"24C512", {0xA0, 0xFF, 0xFF}, true, 0xFFFF},
           Case{"24C512", {0xA2, 0x00, 0x00}, false, 0},
           Case{"24C256", {0xB0, 0x00, 0x00}, false, 0},
       }) {
    Master m(c.device);
    std::vector<int> write = c.header;
    write.push_back(0x5A);
    EXPECT_EQ(m.Write(write), c.acknowledged) << c.device;
    m.Wait(10000);
    m.Write({0xA0});  // lands the cycle
    int changed = -1;
    for (std::size_t i = 0; i < m.part.Memory().size(); ++i) {
      if (m.part.Memory()[i] != 0xFF) changed = static_cast<int>(i);
    }
    EXPECT_EQ(changed, c.acknowledged ? c.address : -1) << c.device;
  }
}

TEST(Eeprom24, SequentialReadsRunAcrossBlocksAndWrapAtTheEnd) {
  Master m("24C16");
  for (int i = 0; i < 2048; ++i) m.part.Memory()[static_cast<std::size_t>(i)] = (i * 7) & 0xFF;
  // A dummy write into block 0 at 0FEh, then a read with no block bits runs into block 1.
  ASSERT_TRUE(m.Write({0xA0, 0xFE}));
  EXPECT_EQ(m.Read(3), (std::vector<int>{(0xFE * 7) & 0xFF, (0xFF * 7) & 0xFF, (0x100 * 7) & 0xFF}));
  ASSERT_TRUE(m.Write({0xAE, 0xFF}));  // the last byte, then round to the first
  EXPECT_EQ(m.Read(2), (std::vector<int>{(0x7FF * 7) & 0xFF, 0}));
  // The counter has moved on past what was read: a read without an address goes on from there.
  EXPECT_EQ(m.Read(1), std::vector<int>{7});
}

TEST(Eeprom24, FaultKnobs) {
  // Write protect: every byte acknowledged, nothing written, no write cycle to wait for.
  Master wp("24C64");
  wp.pins.wp = true;
  EXPECT_TRUE(wp.Write({0xA0, 0x00, 0x00, 0x11, 0x22}));
  EXPECT_FALSE(wp.part.Busy(wp.t));
  EXPECT_EQ(wp.part.Memory()[0], 0xFF);
  EXPECT_EQ(wp.part.WriteCycles(), 0);

  Master deaf("24C64");
  deaf.part.SetNeverAcknowledge(true);
  deaf.part.Memory()[0] = 0x00;
  EXPECT_FALSE(deaf.Write({0xA0, 0x00, 0x00}));
  deaf.Start();
  EXPECT_FALSE(deaf.Send(0xA1));

  // Stuck busy: the first cycle never ends, and never lands.
  Master stuck("24C64");
  stuck.part.SetStuckBusy(true);
  EXPECT_TRUE(stuck.Write({0xA0, 0x00, 0x00, 0x11}));
  stuck.Wait(1000000);
  EXPECT_FALSE(stuck.Write({0xA0}));
  EXPECT_EQ(stuck.part.IgnoredWhileBusy(), 1);
  stuck.pins.vcc = false, stuck.Apply();
  EXPECT_EQ(stuck.part.Memory()[0], 0xFF);
}

}  // namespace
}  // namespace kestrum
