// The I2C EEPROM workers on the 24Cxx model in virtual time, seen from the part's own log and
// from the socket's pins: the device and word address bytes of page and byte writes, the read
// headers, acknowledge polling with its limits, cancelling, and MCLR as the supply.
#include "protocols/i2c_eeprom.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "../sim/rig.hpp"
#include "sim/eeprom24_chip.hpp"

namespace kestrum {
namespace {

using Kind = Eeprom24Event::Kind;

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
      : Rig<Tapped>(SettingsFor(type, 8), device) {}
  Eeprom24& Part() { return chip.part.Part(); }
  std::span<std::uint8_t> Memory() { return Part().Memory(); }

  // A program worker for the whole part, with random bytes.
  std::unique_ptr<TI2CProgThread> Programmer(bool byteWrite, unsigned seed = 1) {
    const Eeprom24Description& d = Part().Description();
    auto worker = std::make_unique<TI2CProgThread>(lines, d.bytes);
    worker->PageSize = d.pageBytes;
    worker->TwoByteAddress = d.twoAddressBytes;
    worker->ByteWrite = byteWrite;
    std::mt19937 random(seed);
    for (auto& w : worker->Words) w = static_cast<std::uint16_t>(random() & 0xFF);
    return worker;
  }
  std::unique_ptr<TEpromReadThread> Reader(int count = 0) {
    const Eeprom24Description& d = Part().Description();
    auto worker = std::make_unique<TEpromReadThread>(lines, count ? count : d.bytes);
    worker->TwoByteAddress = d.twoAddressBytes;
    return worker;
  }
  bool Holds(const std::vector<std::uint16_t>& words) {
    return std::equal(words.begin(), words.end(), Memory().begin(), Memory().end(),
                      [](std::uint16_t w, std::uint8_t b) { return (w & 0xFF) == b; });
  }
  // The lines rest and the worker's port is closed.
  bool Rested(OperationWorker& worker) {
    const ChipPins& p = pins();
    return worker.Done.IsSet() && !worker.Lines().IsPortOpen() && !p.mclr && !p.clock && !p.data;
  }
};

// What the part received between one start and the next stop or start, with whether it
// acknowledged each byte, and how many bytes it sent.
struct Transaction {
  std::vector<int> received;
  std::vector<bool> acknowledged;
  std::vector<bool> masterAcknowledged;  // of the bytes the part sent
};

std::vector<Transaction> Transactions(const std::vector<Eeprom24Event>& log) {
  std::vector<Transaction> out;
  for (const Eeprom24Event& e : log) {
    if (e.kind == Kind::Start) out.emplace_back();
    if (out.empty()) continue;
    if (e.kind == Kind::Received) {
      out.back().received.push_back(e.value);
      out.back().acknowledged.push_back(e.acknowledged);
    } else if (e.kind == Kind::Sent) {
      out.back().masterAcknowledged.push_back(e.acknowledged);
    }
  }
  return out;
}

// Page mode: each page is one transaction begun by acknowledge polling, with the device
// address of its block and one word address byte (24C16), or 0xA0 and two word address bytes
// high first (24C64). The 10 ms cycles of a 24C16 take more polls over its 128 pages than the
// limit of one write cycle, and every page is written.
TEST(TI2CProgThread, PageWritesAddressEveryPageAndPollEachWriteCycle) {
  for (const char* device : {"24C16", "24C64"}) {
    Bench b(device);
    auto writer = b.Programmer(false);
    writer->Run();
    EXPECT_FALSE(writer->NoAck);
    EXPECT_EQ(writer->MissedAcks, 0);
    EXPECT_TRUE(b.Holds(writer->Words)) << device;
    EXPECT_TRUE(b.Rested(*writer));
    const Eeprom24Description& d = b.Part().Description();
    const int pages = d.bytes / d.pageBytes;
    EXPECT_EQ(b.Part().WriteCycles(), pages);

    std::vector<int> deviceAddresses;
    int page = 0;
    for (const Transaction& t : Transactions(b.Part().Log())) {
      const int a = page * d.pageBytes;
      ASSERT_LT(page, pages);
      if (!t.acknowledged.front()) {  // a poll the part, still writing, did not answer
        EXPECT_EQ(t.received.size(), 1u);
        continue;
      }
      std::vector<int> header(t.received.begin(), t.received.end() - d.pageBytes);
      if (d.twoAddressBytes) {
        EXPECT_EQ(header, (std::vector<int>{0xA0, a >> 8, a & 0xFF})) << device << " page " << page;
      } else {
        EXPECT_EQ(header.size(), 2u);
        EXPECT_EQ(header[1], a & 0xFF) << device << " page " << page;
        deviceAddresses.push_back(header[0]);
      }
      ++page;
    }
    EXPECT_EQ(page, pages);
    if (!d.twoAddressBytes) {
      // 0xA0 for 0..255, 0xA2 for 256..511, up to 0xAE for 1792..2047.
      for (int i = 0; i < pages; ++i) {
        EXPECT_EQ(deviceAddresses[i], 0xA0 | (((i * d.pageBytes) >> 8) << 1)) << i;
      }
      EXPECT_GT(b.Part().IgnoredWhileBusy(), kI2cPagePollLimit);
    }
    EXPECT_GE(b.Part().IgnoredWhileBusy(), 2 * (pages - 1)) << "several polls per page";
  }
}

// Byte mode: one write cycle per byte, each with its own device and word address.
TEST(TI2CProgThread, ByteWritesAddressEveryByte) {
  Bench b("24C04");
  auto writer = b.Programmer(true);
  writer->Run();
  EXPECT_TRUE(b.Holds(writer->Words));
  EXPECT_EQ(b.Part().WriteCycles(), 512);
  EXPECT_TRUE(b.Rested(*writer));
  int a = 0;
  for (const Transaction& t : Transactions(b.Part().Log())) {
    if (!t.acknowledged.front()) continue;
    ASSERT_LT(a, 512);
    EXPECT_EQ(t.received,
              (std::vector<int>{0xA0 | ((a >> 8) << 1), a & 0xFF, writer->Words[a] & 0xFF}));
    ++a;
  }
  EXPECT_EQ(a, 512);
}

// The whole part in one sequential read: a dummy write of address 0 with the part's word
// address bytes, a repeated start and 0xA1; every byte but the last acknowledged.
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
    auto reader = b.Reader();
    reader->Run();
    EXPECT_FALSE(reader->NoAck);
    EXPECT_TRUE(b.Holds(reader->Words)) << c.device;
    EXPECT_TRUE(b.Rested(*reader));
    const auto t = Transactions(b.Part().Log());
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].received, c.dummyWrite);
    EXPECT_EQ(t[1].received, std::vector<int>{0xA1});
    std::vector<bool> acks(b.Memory().size(), true);
    acks.back() = false;
    EXPECT_EQ(t[1].masterAcknowledged, acks) << c.device;
    EXPECT_EQ(b.Part().Log().back().kind, Kind::PowerDown);
    EXPECT_EQ(b.Part().Log().end()[-2].kind, Kind::Stop);
  }
}

// Cancel: a read stops after the byte in progress, which is then not acknowledged; a page
// write finishes the byte in progress and ends the page with its stop condition.
TEST(I2cCancel, StopsAfterTheByteInProgress) {
  Bench b("24C16");
  auto reader = b.Reader();
  b.ui.onEntry = [&](const RecordingUi::Entry& e) {
    if (e.type == RecordingUi::Entry::Type::ProgressPosition && e.value == 20) {
      reader->TerminateRequested = true;
    }
  };
  std::ranges::fill(b.Memory(), 0x5A);
  reader->Run();
  EXPECT_EQ(std::count(reader->Words.begin(), reader->Words.end(), 0x5A), 21);
  const auto t = Transactions(b.Part().Log());
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[1].masterAcknowledged.size(), 21u);
  EXPECT_FALSE(t[1].masterAcknowledged.back());
  EXPECT_TRUE(b.Rested(*reader));

  Bench w("24C16");
  auto writer = w.Programmer(false);
  w.ui.onEntry = [&](const RecordingUi::Entry& e) {
    if (e.type == RecordingUi::Entry::Type::ProgressPosition && e.value == 20) {
      writer->TerminateRequested = true;
    }
  };
  writer->Run();
  EXPECT_EQ(w.Part().WriteCycles(), 2);
  for (int i = 0; i < 2048; ++i) {
    ASSERT_EQ(w.Memory()[i], i <= 20 ? writer->Words[i] : 0xFF) << i;
  }
  EXPECT_TRUE(w.Rested(*writer));
  EXPECT_TRUE(w.ui.Messages().empty());
}

// A part that never answers: page mode gives up after 1000 polls, byte mode after 5000 with a
// millisecond after each; one message either way, nothing more on the bus, the lines at rest.
TEST(I2cPolling, GivesUpAfterItsLimitWithOneMessage) {
  for (bool byteWrite : {false, true}) {
    Bench b("24C64");
    b.Part().SetNeverAcknowledge(true);
    auto writer = b.Programmer(byteWrite);
    const std::int64_t start = b.clock.nowUs();
    writer->Run();
    EXPECT_TRUE(writer->NoAck);
    EXPECT_EQ(b.ui.Messages(), std::vector<std::string>{"No Acknowledge received!"});
    const auto t = Transactions(b.Part().Log());
    const std::size_t limit = byteWrite ? kI2cBytePollLimit : kI2cPagePollLimit;
    EXPECT_EQ(t.size(), limit + 1);  // the attempt over the limit is not looked at
    EXPECT_TRUE(std::ranges::all_of(t, [](const Transaction& x) {
      return x.received == std::vector<int>{0xA0};
    }));
    if (byteWrite) {
      EXPECT_GE(b.clock.nowUs() - start, static_cast<std::int64_t>(limit + 1) * 1000);
    }
    EXPECT_TRUE(b.Rested(*writer));
  }
}

// "MCLR as Vcc": MCLR rises 100 ms after the supply and falls at the end before the supply
// does; a read lowers it once more after the lines are off. A socket fed from MCLR alone needs
// the option.
TEST(I2cMclrAsVcc, RaisedAfterTheSupplyLoweredAtTheEnd) {
  for (bool read : {true, false}) {
    Bench b("24C02");
    b.chip.part.SetSupply(Eeprom24Chip::Supply::Mclr);
    std::unique_ptr<OperationWorker> worker;
    if (read) {
      auto reader = b.Reader();
      reader->McLrAsVcc = true;
      worker = std::move(reader);
    } else {
      auto writer = b.Programmer(false);
      writer->McLrAsVcc = true;
      worker = std::move(writer);
    }
    b.chip.probe.ClearEdges();
    worker->Run();
    EXPECT_TRUE(b.ui.Messages().empty());
    const auto vcc = b.chip.probe.EdgesOf(ChipPin::Vcc);
    const auto mclr = b.chip.probe.EdgesOf(ChipPin::Mclr);
    ASSERT_EQ(vcc.size(), 2u);
    ASSERT_EQ(mclr.size(), 2u);
    EXPECT_NEAR(mclr[0].timeUs - vcc[0].timeUs, 100000, 5);
    EXPECT_LT(mclr[1].timeUs, vcc[1].timeUs);
    EXPECT_TRUE(b.Rested(*worker));
  }
  // Without the option that socket's part has no supply.
  Bench off("24C02");
  off.chip.part.SetSupply(Eeprom24Chip::Supply::Mclr);
  auto reader = off.Reader();
  reader->Run();
  EXPECT_TRUE(reader->NoAck);
  EXPECT_EQ(off.ui.Messages(), std::vector<std::string>{"No Acknowledge received!"});

  // The JDM's VPP off is one line-control write: a read ends with two, a write with one.
  for (bool read : {true, false}) {
    Bench jdm("24C02", ProgrammerType::Jdm);
    std::unique_ptr<OperationWorker> worker;
    if (read) {
      auto r = jdm.Reader(16);
      r->McLrAsVcc = true;
      worker = std::move(r);
    } else {
      auto w = jdm.Programmer(false);
      w->McLrAsVcc = true;
      worker = std::move(w);
    }
    jdm.board().ClearLog();
    worker->Run();
    const auto& log = jdm.board().Log();
    const auto lastClock = std::find_if(log.rbegin(), log.rend(), [&](const PortAccessRecord& r) {
      return r.kind == PortAccessRecord::Kind::Out && r.address == jdm.base() + reg::kMcr;
    });
    const auto offs = std::count_if(log.rbegin(), lastClock, [&](const PortAccessRecord& r) {
      return r.kind == PortAccessRecord::Kind::Out && r.address == jdm.base() + reg::kLcr &&
             r.value == kLcr8N2;
    });
    EXPECT_EQ(offs, read ? 2 : 1);
    EXPECT_TRUE(jdm.ui.Messages().empty());
  }
}

}  // namespace
}  // namespace kestrum
