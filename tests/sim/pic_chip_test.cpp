// The PIC chip models driven through the virtual programmer by a small bench driver that
// clocks frames bit by bit: programming-mode entry, frames and read timing, flash cycle times,
// EPROM pulses, code protection and erase, the 12-bit and parity parts, factory words, the
// fault knobs, the parts against the catalogue, and the JDM and parallel boards.
#include "sim/pic_chip.hpp"

#include <gtest/gtest.h>

#include "device/catalogue.hpp"
#include "rig.hpp"

namespace kestrum {
namespace {

constexpr int kLoadConfig = 0, kLoad = 2, kLoadData = 3, kRead = 4, kReadData = 5, kInc = 6,
              kBegin = 8, kEnd = 14, kBeginOnly = 24;

struct Bench {
  explicit Bench(std::string_view device, ProgrammerType type = ProgrammerType::ProPic2)
      : chip(PicChip::ForDevice(device)), lines(SettingsFor(type), clock, ui, board) {
    lines.Settings().PinCount = chip->PinCount();
    lines.Settings().PowerControl = true;
    board.Insert(chip.get());
    lines.OpenPort();
  }
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
  void Load(int code, std::uint32_t value, int bits = 14) {
    Command(code);
    for (int i = -1; i <= bits; ++i) Bit(i < 0 || i == bits ? 0 : static_cast<int>(value >> i));
  }
  std::uint32_t Read(int code = kRead, int bits = 14) {
    Command(code);
    lines.SetDataLine(1);  // the part pulls against the programmer's resistor
    std::uint32_t word = 0;
    for (int k = 0; k <= bits + 1; ++k) {
      lines.SetClockLine(1);
      if (k >= 1 && k <= bits) word |= static_cast<std::uint32_t>(lines.ReadDataIn()) << (k - 1);
      lines.SetClockLine(0);
    }
    lines.SetDataLine(0);
    return word;
  }
  void Increment(int n = 1) {
    for (int i = 0; i < n; ++i) Command(kInc);
  }
  void Program(std::uint32_t word, int waitMs = 10, int load = kLoad, int begin = kBegin) {
    Load(load, word), Command(begin), lines.SleepMs(waitMs);
  }
  void Pulse(std::uint32_t word, int us = 100, int bits = 14) {
    Load(kLoad, word, bits), Command(kBegin), lines.DelayMicroseconds(us), Command(kEnd);
  }

  std::unique_ptr<PicChip> chip;  // outlives the board it sits in
  VirtualClock clock{1000};
  RecordingUi ui;
  VirtualProgrammer board{clock};
  LineContext lines;
};

TEST(PicChipModes, EntersOnlyWhenVppRisesOnASuppliedPartWithClockAndDataLow) {
  Bench b("PIC 16F84", ProgrammerType::TaitSerial);
  b.chip->Code()[0] = 0x1234;
  auto cutAll = [&] { b.lines.PortOut(b.lines.PortBase(), 0); };
  cutAll();
  b.lines.VppOn();  // VPP before the supply: the part runs its program instead
  b.lines.PowerOn();
  EXPECT_FALSE(b.chip->InProgrammingMode());
  EXPECT_EQ(b.Read(), 0x3FFFu);  // nobody drives: the programmer's own level comes back
  cutAll();
  b.lines.PowerOn();
  b.lines.SetDataLine(1);
  b.lines.VppOn();
  EXPECT_FALSE(b.chip->InProgrammingMode());
  cutAll();
  b.Enter();
  EXPECT_EQ(b.Read(), 0x1234u);
  b.Increment(3);
  b.Leave(), b.Enter();
  EXPECT_EQ(b.chip->AddressCounter(), 0);
}

TEST(PicChipFrames, ReadDrivesEachBitFromTheRisingEdgeAfterTheStartBit) {
  Bench b("PIC 16F84");
  b.chip->Code()[0] = 0x2A55;
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
  EXPECT_EQ(b.chip->AddressCounter(), 1);
}

TEST(PicChipFlash, CyclesTakeTheirTimeAndAnEarlyCommandLosesTheWord) {
  Bench f84("PIC 16F84");
  f84.Enter();
  f84.Program(0x1234);
  EXPECT_EQ(f84.Read(), 0x1234u);
  f84.Increment();
  f84.Program(0x0ABC, 5);
  f84.Increment();  // too soon
  EXPECT_EQ(f84.chip->AbortedCycles(), 1);
  EXPECT_EQ(f84.chip->Code()[1], 0x3FFF);
  f84.Program(0x0001, 10, kLoadConfig);  // the ID word at 2000h
  EXPECT_EQ(f84.Read(), 0x0001u);

  Bench f628("PIC 16F628");  // 2 ms is enough here, 1 ms is not
  f628.Enter();
  f628.Program(0x0155, 2);
  f628.Increment();
  f628.Program(0x0155, 1);
  f628.Increment();
  EXPECT_EQ(f628.chip->Code()[0], 0x0155);
  EXPECT_EQ(f628.chip->Code()[1], 0x3FFF);

  // The 16F84A's program-only cycle clears bits without erasing; 001000 erases first.
  Bench f84a("PIC 16F84A");
  f84a.chip->Code()[0] = 0x3300;
  f84a.Enter();
  f84a.Program(0x0F0F, 10, kLoad, kBeginOnly);
  EXPECT_EQ(f84a.Read(), 0x0300u);
  f84a.Program(0x0F0F);
  EXPECT_EQ(f84a.Read(), 0x0F0Fu);
}

TEST(PicChipProtection, ProtectedMemoryReadsZeroUntilTheEraseSequence) {
  Bench b("PIC 16F84");
  b.chip->Code()[0] = 0x1234;
  b.chip->Data()[0] = 0x5A;
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
  EXPECT_EQ(b.chip->Code()[0], 0x1234);
  b.Load(kLoadConfig, 0x3FFF);
  b.Increment(7);
  b.Command(1), b.Command(7), b.Command(kBegin);
  b.lines.SleepMs(20);
  b.Leave();
  EXPECT_EQ(b.chip->Code()[0], 0x3FFF);
  EXPECT_EQ(b.chip->Data()[0], 0xFF);
  EXPECT_EQ(b.chip->ConfigWord(), 0x3FFF);

  // 16F628 protecting from 0200h keeps the low block readable; CPD guards the data EEPROM.
  Bench f628("PIC 16F628");
  f628.chip->SetConfigWord(0x14FF);
  f628.chip->Code()[0x1FF] = 0x0111;
  f628.Enter();
  f628.Increment(0x1FF);
  EXPECT_EQ(f628.Read(), 0x0111u);
  f628.Increment();
  EXPECT_EQ(f628.Read(), 0u);
  EXPECT_EQ(f628.Read(kReadData), 0u);
}

TEST(PicChipEprom, BitsOnlyFallAndOnlyWithEnoughFullPulses) {
  Bench b("PIC 16C622");
  b.Enter();
  b.Pulse(0x1234), b.Pulse(0x1234);
  EXPECT_EQ(b.Read(), 0x3FFFu);  // two pulses are not enough
  b.Pulse(0x1234, 10);           // too short to count
  b.Load(kLoad, 0x1234), b.Command(kBegin), b.lines.DelayMicroseconds(100);
  b.Increment();  // a pulse not ended by End Programming is lost
  EXPECT_EQ(b.chip->CountedPulses(), 2);
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

TEST(PicChipTwelveBit, ConfigurationWordComesFirstThenProgramMemoryAndIds) {
  Bench b("PIC 12C508");
  ASSERT_EQ(b.chip->CalibrationIndex(), 0x1FF);
  b.Enter();
  EXPECT_EQ(b.Read(), 0x0FFFu);
  for (int i = 0; i < 3; ++i) b.Pulse(0x3FEA);  // the frame's top bits are not stored
  EXPECT_EQ(b.Read(), 0x0FEAu);
  b.Increment();
  EXPECT_EQ(b.chip->AddressCounter(), 0);
  for (int i = 0; i < 3; ++i) b.Pulse(0x0ABC);
  b.Increment(0x1FF);
  EXPECT_EQ(b.Read(), 0x0C64u);  // factory calibration, a MOVLW
  b.Increment();
  for (int i = 0; i < 3; ++i) b.Pulse(0x0005);
  b.Leave();
  EXPECT_EQ(b.chip->ConfigWord(), 0x0FEA);
  EXPECT_EQ(b.chip->Code()[0], 0x0ABC);
  EXPECT_EQ(b.chip->IdWord(0), 0x0005);
  b.chip->EraseAll();  // a windowed part under the lamp loses its calibration too
  EXPECT_EQ(b.chip->Code()[0x1FF], 0x0FFF);
}

TEST(PicChipParity, SixteenBitCellsInTwentyFourClockFrames) {
  EXPECT_EQ(PicParityWord(0x1234), 0x48D3);
  EXPECT_EQ(PicParityWord(0x0000), 0x0002);
  EXPECT_TRUE(PicParityHolds(0x48D3));
  EXPECT_FALSE(PicParityHolds(0x48D1));
  Bench b("PIC 16C715");
  b.Enter();
  EXPECT_EQ(b.Read(kRead, 16), 0xFFFFu);
  for (int i = 0; i < 3; ++i) b.Pulse(0x48D3, 100, 16);
  EXPECT_EQ(b.Read(kRead, 16), 0x48D3u);
  b.Load(kLoad, 0, 14);  // two clocks short: the part swallows the next command's
  b.Increment();
  EXPECT_EQ(b.chip->AddressCounter(), 0);
}

TEST(PicChipFaults, EmptySocketStuckWordHardBitsAndAStuckCycle) {
  Bench absent("PIC 16F84");
  absent.chip->SetAbsent(true);
  absent.Enter();
  EXPECT_EQ(absent.Read(), 0x3FFFu);

  Bench stuck("PIC 16F84");
  stuck.chip->SetNeverProgram(PicRegion::Code, 1);
  stuck.Enter();
  stuck.Increment();
  stuck.Program(0x0101), stuck.Increment();
  stuck.Program(0x0102), stuck.Leave();
  EXPECT_EQ(stuck.chip->Code()[1], 0x3FFF);
  EXPECT_EQ(stuck.chip->Code()[2], 0x0102);

  Bench hard("PIC 16C622");  // more pulses than a programmer's limit of 25
  hard.chip->SetPulsesNeeded(26);
  hard.Enter();
  for (int i = 0; i < 25; ++i) hard.Pulse(0);
  EXPECT_EQ(hard.Read(), 0x3FFFu);
  hard.Pulse(0);
  EXPECT_EQ(hard.Read(), 0u);

  Bench busy("PIC 16F628");
  busy.chip->SetStuckBusy(true);
  busy.Enter();
  busy.Program(0, 100), busy.Leave();
  EXPECT_EQ(busy.chip->Code()[0], 0x3FFF);
  EXPECT_EQ(busy.chip->CompletedCycles(), 0);
}

TEST(PicChipTable, EverySerialPicOfTheCatalogueHasAPartThatAgreesWithIt) {
  int serial = 0;
  for (const CatalogueEntry& e : Catalogue()) {
    if (!e.Profile || e.Profile->Family != DeviceFamily::Pic) continue;
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

// Each board carries supply, VPP, data and clock to the part and its data back.
TEST(PicChipBoards, JdmTaitSerialAndBothProPicSocketsProgramAndRead) {
  for (auto [type, device] : {std::pair{ProgrammerType::Jdm, "PIC 16F84"},
                              std::pair{ProgrammerType::TaitSerial, "PIC 16F84"},
                              std::pair{ProgrammerType::ProPic2, "PIC 16F628"},
                              std::pair{ProgrammerType::ProPic2, "PIC 16F877"}}) {
    Bench b(device, type);
    b.Enter();
    b.Program(0x2ABC);
    b.Program(0x3C, 10, kLoadData);
    EXPECT_EQ(b.Read(), 0x2ABCu) << device;
    EXPECT_EQ(b.Read(kReadData), 0x3Cu) << device;
    b.Leave();
    b.board.Board().Pins();  // the JDM's supply runs down in the idle state's time
    EXPECT_FALSE(b.chip->InProgrammingMode()) << device;
    EXPECT_EQ(b.chip->Data()[0], 0x3C) << device;
  }
}

}  // namespace
}  // namespace kestrum
