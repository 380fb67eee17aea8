// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC chip models driven through the virtual programmer by a small bench driver that
// clocks frames bit by bit: what keeps the models as strict as the parts (programming-mode
// entry, read timing, protection and the erase sequence, full EPROM pulses, a stuck cycle) and
// the parts against the catalogue. The operation and protocol tests show the rest of what the
// models do: cycle times, the 12-bit and parity parts, factory words, the fault knobs, and every
// board carrying the parts.
#include "sim/chips/pic_chip.hpp"

#include <gtest/gtest.h>

#include "device/catalogue.hpp"
#include "../rig.hpp"

namespace kestrum {
namespace {

constexpr int kLoadConfig = 0, kLoad = 2, kRead = 4, kReadData = 5, kInc = 6, kBegin = 8, kEnd = 14;

struct Bench : Rig<PicChip> {
  explicit Bench(std::string_view device, ProgrammerType type = ProgrammerType::ProPic2)
      : Rig<PicChip>(SettingsFor(type), *PicChipFor(device)) {}
  void Enter() {
    lines.AllLinesOff();
    lines.PowerOn();
    lines.DelayMicroseconds(100);
    lines.VppOn();
    lines.SleepMs(5);
  }
  void Leave() { lines.VppOff(), lines.AllLinesOff(); }
  // Data is set after the rising edge: the part must take it at the falling one.
  void Bit(int b) { lines.SetClockLine(1), lines.SetDataLine(b & 1), lines.SetClockLine(0); }
  void Command(int code) {
    for (int i = 0; i < 6; ++i) Bit(code >> i);
  }
  // Start bit, 14 data bits, stop bit.
  void Load(int code, std::uint32_t value) {
    Command(code);
    for (int i = -1; i <= 14; ++i) Bit(i < 0 || i == 14 ? 0 : static_cast<int>(value >> i));
  }
  std::uint32_t Read(int code = kRead) {
    Command(code);
    lines.SetDataLine(1);  // the part pulls against the programmer's resistor
    std::uint32_t word = 0;
    for (int k = 0; k <= 15; ++k) {
      lines.SetClockLine(1);
      if (k >= 1 && k <= 14) word |= static_cast<std::uint32_t>(lines.ReadDataIn()) << (k - 1);
      lines.SetClockLine(0);
    }
    lines.SetDataLine(0);
    return word;
  }
  void Increment(int n = 1) {
    for (int i = 0; i < n; ++i) Command(kInc);
  }
  void Program(std::uint32_t word, int waitMs = 10) {
    Load(kLoad, word), Command(kBegin), lines.SleepMs(waitMs);
  }
  void Pulse(std::uint32_t word, int us = 100) {
    Load(kLoad, word), Command(kBegin), lines.DelayMicroseconds(us), Command(kEnd);
  }
};

TEST(PicChipModes, EntersOnlyWhenVppRisesOnASuppliedPartWithClockAndDataLow) {
  Bench b("PIC 16F84", ProgrammerType::TaitSerial);
  b.chip.Code()[0] = 0x1234;
  auto cutAll = [&] { b.lines.PortOut(b.lines.PortBase(), 0); };
  cutAll();
  b.lines.VppOn();  // VPP before the supply: the part runs its program instead
  b.lines.PowerOn();
  EXPECT_FALSE(b.chip.InProgrammingMode());
  EXPECT_EQ(b.Read(), 0x3FFFu);  // nobody drives: the programmer's own level comes back
  cutAll();
  b.lines.PowerOn();
  b.lines.SetDataLine(1);
  b.lines.VppOn();
  EXPECT_FALSE(b.chip.InProgrammingMode());
  cutAll();
  b.Enter();
  EXPECT_EQ(b.Read(), 0x1234u);
  b.Increment(3);
  b.Leave(), b.Enter();
  EXPECT_EQ(b.chip.AddressCounter(), 0);
}

TEST(PicChipFrames, ReadDrivesEachBitFromTheRisingEdgeAfterTheStartBit) {
  Bench b("PIC 16F84");
  b.chip.Code()[0] = 0x2A55;
  b.Enter();
  b.Command(kRead);
  // The line with the programmer pulling low, then high: equal answers mean the part drives.
  auto seen = [&] {
    b.lines.SetDataLine(0);
    int low = b.lines.ReadDataIn();
    b.lines.SetDataLine(1);
    return low == b.lines.ReadDataIn() ? low : -1;
  };
  b.lines.SetClockLine(1);
  EXPECT_EQ(seen(), -1);  // the start bit's clock: not yet
  b.lines.SetClockLine(0);
  std::uint32_t word = 0;
  for (int bit = 0; bit < 14; ++bit) {
    b.lines.SetClockLine(1);
    int level = seen();
    b.lines.SetClockLine(0);
    EXPECT_EQ(seen(), level) << "held after the falling edge, bit " << bit;
    word |= static_cast<std::uint32_t>(level) << bit;
  }
  EXPECT_EQ(word, 0x2A55u);
  b.lines.SetClockLine(1);  // the stop bit's clock lets go
  EXPECT_EQ(seen(), -1);
  b.lines.SetClockLine(0);
  b.Increment();  // and the part is back in step for commands
  EXPECT_EQ(b.chip.AddressCounter(), 1);
}

TEST(PicChipProtection, ProtectedMemoryReadsZeroUntilTheEraseSequence) {
  Bench b("PIC 16F84");
  b.chip.Code()[0] = 0x1234;
  b.chip.Data()[0] = 0x5A;
  b.Enter();
  b.Load(kLoadConfig, 0);
  b.Increment(7);
  b.Program(0);       // CP on
  b.Program(0x3FFF);  // and writing ones back does not lift it
  EXPECT_EQ(b.Read(), 0x000Fu);
  b.Leave(), b.Enter();
  EXPECT_EQ(b.Read(), 0u);
  EXPECT_EQ(b.Read(kReadData), 0u);
  b.Program(0x0000);  // nor can protected memory be written
  EXPECT_EQ(b.chip.Code()[0], 0x1234);
  b.Load(kLoadConfig, 0x3FFF);
  b.Increment(7);
  b.Command(1), b.Command(7), b.Command(kBegin);
  b.lines.SleepMs(20);
  b.Leave();
  EXPECT_EQ(b.chip.Code()[0], 0x3FFF);
  EXPECT_EQ(b.chip.Data()[0], 0xFF);
  EXPECT_EQ(b.chip.ConfigWord(), 0x3FFF);
}

TEST(PicChipEprom, BitsOnlyFallAndOnlyWithEnoughFullPulses) {
  Bench b("PIC 16C622");
  b.Enter();
  b.Pulse(0x1234), b.Pulse(0x1234);
  EXPECT_EQ(b.Read(), 0x3FFFu);  // two pulses are not enough
  b.Pulse(0x1234, 10);           // too short to count
  b.Load(kLoad, 0x1234), b.Command(kBegin), b.lines.DelayMicroseconds(100);
  b.Increment();  // a pulse not ended by End Programming is lost
  EXPECT_EQ(b.chip.CountedPulses(), 2);
  b.Leave(), b.Enter();
  b.Pulse(0x1234);
  EXPECT_EQ(b.Read(), 0x1234u);
  for (int i = 0; i < 3; ++i) b.Pulse(0x3FF0);
  EXPECT_EQ(b.Read(), 0x1230u);  // ones never come back
  // A configuration word with unimplemented bits keeps them at 1.
  b.Load(kLoadConfig, 0);
  b.Increment(7);
  for (int i = 0; i < 3; ++i) b.Pulse(0);
  EXPECT_EQ(b.Read(), 0x0080u);
}

TEST(PicChipFaults, ACycleThatNeverEndsStoresNothing) {
  Bench busy("PIC 16F628");
  busy.chip.SetStuckBusy(true);
  busy.Enter();
  busy.Program(0, 100), busy.Leave();
  EXPECT_EQ(busy.chip.Code()[0], 0x3FFF);
  EXPECT_EQ(busy.chip.CompletedCycles(), 0);
}

TEST(PicChipTable, EverySerialPicOfTheCatalogueHasAPartThatAgreesWithIt) {
  int serial = 0;
  for (const CatalogueEntry& e : Catalogue()) {
    if (!e.Profile || e.Profile->Family != DeviceFamily::Pic) continue;
    // The parts programmed by the later algorithms have models of their own.
    if (e.Profile->Algorithm != PicAlgorithm::Classic) continue;
    const PicChipDescription* d = PicChipFor(e.Name);
    if (e.Profile->ParallelOnly) {
      EXPECT_EQ(d, nullptr) << e.Name;
      continue;
    }
    ++serial;
    ASSERT_NE(d, nullptr) << e.Name;
    PicChip chip(*d);
    EXPECT_EQ(static_cast<int>(chip.Code().size()), e.CodeSize) << e.Name;
    EXPECT_EQ(d->dataBytes, e.DataSize) << e.Name;
    EXPECT_EQ(d->pins, e.PinCount) << e.Name;
    EXPECT_EQ(d->cells == PicCells::Eprom, e.Profile->IsEprom) << e.Name;
    // A factory calibration word where the program looks for it: the last program word.
    int last = e.CodeSize - (e.Profile->Is12Bit ? 5 : 1);
    EXPECT_EQ(chip.CalibrationIndex(), e.Profile->HasOscCal ? last : -1) << e.Name;
    EXPECT_EQ(chip.Code()[static_cast<std::size_t>(last)] != chip.BlankWord(),
              e.Profile->HasOscCal);
    EXPECT_EQ(d->parity, e.Profile->HasParity) << e.Name;
    EXPECT_EQ(d->programOnlyCommand, e.BeginProgramCommand == 0x0618) << e.Name;
    // Every flash part is done within the usual 10 ms wait, the 16F62x within 2 ms.
    EXPECT_LE(d->programUs, e.Profile->Variant == 7 ? 2000 : 10000) << e.Name;
  }
  EXPECT_EQ(serial, static_cast<int>(PicChips().size()));
  EXPECT_EQ(PicChip::ForDevice("24C16"), nullptr);
}

}  // namespace
}  // namespace kestrum
