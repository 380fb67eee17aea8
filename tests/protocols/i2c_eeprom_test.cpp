// SPDX-License-Identifier: GPL-3.0-or-later
// The I2C EEPROM workers on the 24Cxx model in virtual time, seen from the part's own log and
// from the socket's pins: the address bytes of page writes, acknowledge polling, the read
// headers and the read's last no-acknowledge, and MCLR as the supply.
#include "protocols/i2c_eeprom.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "../sim/rig.hpp"
#include "sim/chips/eeprom24_chip.hpp"

namespace kestrum {
namespace {

// The part, with every edge on its socket's pins recorded beside it.
class Tapped final : public Chip {
 public:
  explicit Tapped(std::string_view device) : part(*Eeprom24For(device)) {
    part.Part().KeepLog(true);
  }
  int PinCount() const override { return 8; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override {
    probe.OnPins(pins, timeUs);
    part.OnPins(pins, timeUs);
  }
  DataDrive DataOut(std::int64_t timeUs) override { return part.DataOut(timeUs); }

  Eeprom24Chip part;
  ProbeChip probe{8};
};

struct Bench : Rig<Tapped> {
  explicit Bench(std::string_view device, ProgrammerType type = ProgrammerType::ProPic2)
      : Rig<Tapped>(SettingsFor(type, 8), device), d(chip.part.Part().Description()) {}
  std::span<std::uint8_t> Memory() { return chip.part.Memory(); }
  void Program(TI2CProgThread& writer) {
    writer.PageSize = d.pageBytes;
    writer.TwoByteAddress = d.twoAddressBytes;
    std::mt19937 random(1);
    for (auto& w : writer.Words) w = static_cast<std::uint16_t>(random() & 0xFF);
    writer.Run();
  }
  // Done, its port closed, the lines at rest.
  bool Rested(OperationWorker& worker) {
    const ChipPins& p = pins();
    return worker.Done.IsSet() && !worker.Lines().IsPortOpen() && !p.mclr && !p.clock && !p.data;
  }
  // What the part received after each start condition it saw, and whether it acknowledged the
  // first byte; what it sent, and whether the master acknowledged each byte.
  struct Transaction {
    std::vector<int> received;
    bool answered = false;
    std::vector<bool> masterAcknowledged;
  };
  std::vector<Transaction> Transactions() {
    std::vector<Transaction> out;
    for (const Eeprom24Event& e : chip.part.Part().Log()) {
      if (e.kind == Eeprom24Event::Kind::Start) out.emplace_back();
      if (out.empty()) continue;
      if (e.kind == Eeprom24Event::Kind::Received) {
        if (out.back().received.empty()) out.back().answered = e.acknowledged;
        out.back().received.push_back(e.value);
      }
      if (e.kind == Eeprom24Event::Kind::Sent) {
        out.back().masterAcknowledged.push_back(e.acknowledged);
      }
    }
    return out;
  }

  const Eeprom24Description& d;
};

// Each page is one write begun by acknowledge polling: on a 24C16 the device address carries
// the block (0xA0 for 0..255 up to 0xAE for 1792..2047) and one word address byte follows; on
// a 24C64 0xA0 and two word address bytes, high first. A 24C16's 10 ms cycles take more polls
// over its 128 pages than the limit of one cycle, and every page is written.
TEST(TI2CProgThread, PageWritesAddressEveryPageAndPollEachWriteCycle) {
  for (const char* device : {"24C16", "24C64"}) {
    Bench b(device);
    TI2CProgThread writer(b.lines, b.d.bytes);
    b.Program(writer);
    EXPECT_FALSE(writer.NoAck);
    EXPECT_TRUE(std::equal(b.Memory().begin(), b.Memory().end(), writer.Words.begin()));
    EXPECT_TRUE(b.Rested(writer));
    // A part busy with its write cycle ignores the polls: they are not in its log.
    const int polls = b.chip.part.Part().IgnoredWhileBusy();
    int page = 0;
    for (const auto& t : b.Transactions()) {
      EXPECT_TRUE(t.answered);
      const int a = page++ * b.d.pageBytes;
      const std::vector<int> header(t.received.begin(), t.received.end() - b.d.pageBytes);
      const std::vector<int> expected = b.d.twoAddressBytes
                                            ? std::vector<int>{0xA0, a >> 8, a & 0xFF}
                                            : std::vector<int>{0xA0 | ((a >> 8) << 1), a & 0xFF};
      EXPECT_EQ(header, expected) << device << " at " << a;
    }
    EXPECT_EQ(page, b.d.bytes / b.d.pageBytes);
    EXPECT_GE(polls, 2 * (page - 1)) << device;
    if (!b.d.twoAddressBytes) {
      EXPECT_GT(polls, kI2cPagePollLimit);
    }
  }
}

// The whole part in one sequential read: a dummy write of address 0 with the part's word
// address bytes, a repeated start and 0xA1; the last byte gets no acknowledge.
TEST(TEpromReadThread, OneReadFromAddressZeroEndingWithNoAcknowledge) {
  struct Case {
    const char* device;
    std::vector<int> dummyWrite;
  };
  for (const Case& c : {Case{"24C32", {0xA0, 0x00, 0x00}}, Case{"24C02", {0xA0, 0x00}},
                        Case{"24C16", {0xA0, 0x00}}}) {
    Bench b(c.device);
    std::mt19937 random(3);
    for (auto& cell : b.Memory()) cell = static_cast<std::uint8_t>(random());
    TEpromReadThread reader(b.lines, b.d.bytes);
    reader.TwoByteAddress = b.d.twoAddressBytes;
    reader.Run();
    EXPECT_TRUE(std::equal(b.Memory().begin(), b.Memory().end(), reader.Words.begin()));
    EXPECT_TRUE(b.Rested(reader));
    const auto t = b.Transactions();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].received, c.dummyWrite);
    EXPECT_EQ(t[1].received, std::vector<int>{0xA1});
    std::vector<bool> acknowledged(b.Memory().size(), true);
    acknowledged.back() = false;
    EXPECT_EQ(t[1].masterAcknowledged, acknowledged) << c.device;
  }
}

// "MCLR as Vcc": MCLR rises 100 ms after the supply and falls before it at the end; a read
// lowers it once more after the lines are off (on the JDM each VPP off is one line-control
// write). A socket fed from MCLR alone needs the option.
TEST(I2cMclrAsVcc, RaisedAfterTheSupplyLoweredAtTheEnd) {
  for (ProgrammerType type : {ProgrammerType::ProPic2, ProgrammerType::Jdm}) {
    for (bool read : {true, false}) {
      Bench b("24C02", type);
      b.chip.part.SetSupply(Eeprom24Chip::Supply::Mclr);
      b.chip.probe.ClearEdges();
      b.board().ClearLog();
      TEpromReadThread reader(b.lines, 256);
      TI2CProgThread writer(b.lines, 256);
      reader.McLrAsVcc = writer.McLrAsVcc = true;
      read ? reader.Run() : b.Program(writer);
      EXPECT_TRUE(b.ui.Messages().empty());
      EXPECT_TRUE(b.Rested(read ? static_cast<OperationWorker&>(reader) : writer));
      if (type == ProgrammerType::Jdm) {
        const auto& log = b.board().Log();
        auto is = [&](std::uint16_t offset, int value = -1) {
          return [&b, offset, value](const PortAccessRecord& r) {
            return r.kind == PortAccessRecord::Kind::Out && r.address == b.base() + offset &&
                   (value < 0 || r.value == value);
          };
        };
        const auto lastClock = std::find_if(log.rbegin(), log.rend(), is(reg::kMcr));
        EXPECT_EQ(std::count_if(log.rbegin(), lastClock, is(reg::kLcr, kLcr8N2)), read ? 2 : 1);
        continue;
      }
      const auto vcc = b.chip.probe.EdgesOf(ChipPin::Vcc);
      const auto mclr = b.chip.probe.EdgesOf(ChipPin::Mclr);
      ASSERT_EQ(vcc.size(), 2u);
      ASSERT_EQ(mclr.size(), 2u);
      EXPECT_NEAR(mclr[0].timeUs - vcc[0].timeUs, 100000, 5);
      EXPECT_LT(mclr[1].timeUs, vcc[1].timeUs);
    }
  }
  Bench off("24C02");
  off.chip.part.SetSupply(Eeprom24Chip::Supply::Mclr);
  TEpromReadThread reader(off.lines, 256);
  reader.Run();
  EXPECT_TRUE(reader.NoAck);
  EXPECT_EQ(off.ui.Messages(), std::vector<std::string>{"No Acknowledge received!"});
}

}  // namespace
}  // namespace kestrum
