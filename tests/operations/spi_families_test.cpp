// SPDX-License-Identifier: GPL-3.0-or-later
// The SPI EEPROMs, AVRs and the 89S53 on the wire and in their corner cases: the instruction
// bytes of the reads and writes, the status register's round trip, the programming-enable
// attempts, the lock bytes and the 89S53's address form; block protection, lock bits and the
// verify they defeat, Erase All; every fault ending with the lines at rest and its message;
// and traces of whole runs decoded by sigrok-cli.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "../sanitized.hpp"
#include "protocols/texts.hpp"
#include "sim/boards/vcd_writer.hpp"
#include "sim/chips/avr_chip.hpp"
#include "sim/chips/micro89s_chip.hpp"
#include "sim/chips/spi_eeprom_chip.hpp"
#include "spi_rig.hpp"

namespace kestrum::testing {
namespace {

using Type = RecordingUi::Entry::Type;
using Command = OperationResult (Operations::*)();
using Bytes = std::vector<std::uint8_t>;

const std::string kNoAnswer(text::kNoAnswer);

Bytes Head(const SpiSniffer::Frame& frame, std::size_t n) {
  return Bytes(frame.mosi.begin(), frame.mosi.begin() + std::min(n, frame.mosi.size()));
}

// ---- SPI EEPROM ----

TEST(SpiEepromWire, ReadsTheStatusThenBlocksOf256WithA8InTheInstruction) {
  struct Case {
    const char* device;
    std::vector<Bytes> heads;  // status read, then each block's instruction and address
    std::size_t blockLength;
  };
  for (const Case& c : {Case{"25040", {{0x05}, {0x03, 0x00}, {0x0B, 0x00}}, 256},
                        Case{"25010", {{0x05}, {0x03, 0x00}}, 128}}) {
    SpiRig<SpiEepromChip> spi(c.device);
    ASSERT_TRUE(spi.rig.Runs(&Operations::ReadAll, true, {})) << c.device;
    const auto frames = spi.tap.Frames();
    ASSERT_EQ(frames.size(), c.heads.size()) << c.device;
    for (std::size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(Head(frames[i], c.heads[i].size()), c.heads[i]) << c.device << " frame " << i;
      if (i > 0) {
        EXPECT_EQ(frames[i].mosi.size(), 2 + c.blockLength) << c.device;
      }
    }
  }
}

TEST(SpiEepromWire, EachPageIsEnabledWrittenAndPolledThenTheStatusFollows) {
  SpiRig<SpiEepromChip> spi("25040");
  RandomImage(spi.rig, 5);
  ASSERT_TRUE(ProgramsWithoutVerify(spi.rig));
  const auto frames = spi.tap.Frames();
  // Write enable, the write of 16 bytes, the poll, for each of the 32 pages; then enable,
  // status and its poll.
  ASSERT_EQ(frames.size(), 3u * 32 + 3);
  const std::size_t at = 3 * 0x1A;
  const auto& code = spi.rig.Slot().CodeBuffer;
  Bytes write{0x0A, 0xA0};
  for (int i = 0x1A0; i < 0x1B0; ++i) write.push_back(static_cast<std::uint8_t>(code[i]));
  EXPECT_EQ(frames[at].mosi, Bytes{0x06});
  EXPECT_EQ(frames[at + 1].mosi, write);
  EXPECT_EQ(Head(frames[at + 2], 1), Bytes{0x05});
  EXPECT_EQ(frames[3 * 32 + 1].mosi, (Bytes{0x01, 0x00}));
  EXPECT_EQ(Head(frames[3 * 32 + 2], 1), Bytes{0x05});
  EXPECT_TRUE(std::ranges::equal(spi.chip.Memory(), std::span(code).first(512)));
}

TEST(SpiEepromWire, TheStatusRegisterReadComesBackWithTheNextProgramming) {
  SpiRig<SpiEepromChip> spi("25020");
  spi.chip.SetElement(ChipRegion::Config, 0, 0x08);  // the upper half protected
  ASSERT_TRUE(spi.rig.Runs(&Operations::ReadAll, true, {}));
  EXPECT_EQ(spi.rig.Slot().ConfigArea[0], 0xF8);
  EXPECT_EQ(spi.rig.workspace.Config.Oscillator.Selected, 2);  // "BP 80h-FFh"
  spi.tap.Clear();
  ASSERT_TRUE(spi.rig.ProgramAndVerify());
  const auto frames = spi.tap.Frames();
  EXPECT_EQ(frames[3 * 16 + 1].mosi, (Bytes{0x01, 0x08}));
  EXPECT_EQ(spi.chip.BlockProtect(), 2);
}

TEST(SpiEepromProtection, TheUpperHalfKeepsItsBytesAndVerifyNamesItsFirstAddress) {
  SpiRig<SpiEepromChip> spi("25040");
  LifecycleRig& rig = spi.rig;
  RandomImage(rig, 1);
  rig.workspace.Config.Oscillator.Select(2);  // "BP 100h-1FFh"
  rig.workspace.ComboBox1Change();
  ASSERT_TRUE(rig.ProgramAndVerify());
  ASSERT_EQ(spi.chip.BlockProtect(), 2);
  const Bytes first(spi.chip.Memory().begin(), spi.chip.Memory().end());

  RandomImage(rig, 2);
  ASSERT_NE(rig.Slot().CodeBuffer[0x100], first[0x100]);
  EXPECT_TRUE(rig.Runs(&Operations::ProgramAll, false, {"Verify failed at address 0100h !"}));
  for (int i = 0; i < 512; ++i) {
    ASSERT_EQ(spi.chip.Memory()[i], i < 0x100 ? rig.Slot().CodeBuffer[i] : first[i]) << i;
  }
}

TEST(SpiEepromProtection, NoStatusWordInTheSlotIsWrittenAsBpNone) {
  SpiRig<SpiEepromChip> spi("25010");
  LifecycleRig& rig = spi.rig;
  // A new selection, then a file load: the slot holds the blank byte where the status goes.
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(rig.Slot().ConfigArea[0], 0xFF);
    rig.workspace.ShowStoredConfigWord();
    EXPECT_EQ(rig.workspace.Config.Oscillator.Selected, 0);  // "BP None"
    RandomImage(rig, 10 + run);
    ASSERT_TRUE(rig.ProgramAndVerify()) << run;
    EXPECT_EQ(spi.chip.BlockProtect(), 0);
    rig.Slot().ConfigArea[0] = 0xFF;
  }
}

// ---- AVR and 89S53 ----

TEST(AvrWire, ProgrammingEnableIsTriedVariantTimes) {
  struct Case {
    const char* device;
    int outOfSync;
    int attempts;  // AC 53 sent
    bool answers;
  };
  for (const Case& c : {Case{"90S1200", 1000, 1, false}, Case{"90S8515", 1000, 32, false},
                        Case{"90S1200", 1, 1, false}, Case{"90S2313", 5, 6, true}}) {
    SpiRig<AvrChip> spi(c.device);
    spi.chip.SetOutOfSync(c.outOfSync);
    spi.rig.options.Verify = false;
    EXPECT_TRUE(
        spi.rig.Runs(&Operations::ReadAll, c.answers, c.answers ? Strings{} : Strings{kNoAnswer}))
        << c.device;
    int enables = 0;
    for (const auto& f : spi.tap.Frames()) {
      // A resynchronised part counts its bytes wrongly, the tap does not.
      enables += Head(f, 2) == Bytes{0xAC, 0x53};
    }
    // A read that got in takes a second enable for the data EEPROM.
    EXPECT_EQ(enables, c.attempts + (c.answers ? 1 : 0)) << c.device;
  }
}

TEST(LockBytes, TheBoxesGiveTheLockInstruction) {
  struct Case {
    const char* device;
    std::array<bool, 3> ticked;
    Bytes instruction;   // the last one sent
    std::uint16_t held;  // the part's lock bits afterwards
  };
  for (const Case& c : {Case{"90S2313", {true, true, false}, {0xAC, 0xFF, 0x00, 0x00}, 0xFF},
                        Case{"90S2313", {false, false, false}, {0xAC, 0xF9, 0x00, 0x00}, 0xF9},
                        Case{"89S53", {true, false, false}, {0xAC, 0x87, 0x00}, 0x9F}}) {
    SpiRig<ChipModel> spi(c.device);
    SetLockBoxes(spi.rig, c.ticked);
    ASSERT_TRUE(spi.rig.Runs(&Operations::ProgramConfig, true, {"Configuration programmed!"}));
    const Bytes mosi = spi.tap.Mosi();
    EXPECT_EQ(Bytes(mosi.end() - static_cast<long>(c.instruction.size()), mosi.end()),
              c.instruction)
        << c.device;
    EXPECT_EQ(spi.chip.Element(ChipRegion::Config, 0), c.held) << c.device;
  }
}

TEST(Micro89SWire, Address2ABCTravelsAs55ThenBC) {
  SpiRig<Micro89SChip> spi("89S53");
  spi.chip.SetElement(ChipRegion::Code, 0x2ABC, 0x5A);
  ASSERT_TRUE(spi.rig.Runs(&Operations::ReadAll, true, {}));
  const Bytes mosi = spi.tap.Mosi();
  const std::size_t at = 3 + 3 * 0x2ABC;  // after AC 53 00
  EXPECT_EQ(Bytes(mosi.begin() + at, mosi.begin() + at + 2), (Bytes{0x55, 0xBC}));
  EXPECT_EQ(spi.rig.Slot().CodeBuffer[0x2ABC], 0x5A);
}

// Program All with every lock bit that stops reading: the verify passes before they are
// programmed, Verify then fails, Erase All opens the part and Blank Check passes.
TEST(Locks, ALockedPartFailsVerifyUntilEraseAllOpensIt) {
  struct Case {
    const char* device;
    std::uint8_t (*garbage)(int);
    std::uint16_t locked;
  };
  for (const Case& c :
       {Case{"90S2313", &AvrChip::Garbage, 0xF9}, Case{"89S53", &Micro89SChip::Garbage, 0x3F}}) {
    if (kSanitized && c.device == std::string("89S53")) continue;  // 12K bytes five times over
    SpiRig<ChipModel> spi(c.device);
    LifecycleRig& rig = spi.rig;
    RandomImage(rig, 99);
    SetLockBoxes(rig, {false, false, true});
    ASSERT_TRUE(rig.ProgramAndVerify()) << c.device;
    EXPECT_EQ(spi.chip.Element(ChipRegion::Config, 0), c.locked) << c.device;
    int first = 0;
    while (c.garbage(first) == rig.Slot().CodeBuffer[first]) ++first;
    EXPECT_TRUE(
        rig.Runs(&Operations::Verify, false, {AddressText("Verify failed at address ", first)}))
        << c.device;
    EXPECT_TRUE(rig.EraseThenBlank()) << c.device;
    EXPECT_EQ(spi.chip.Element(ChipRegion::Config, 0), 0xFF) << c.device;
  }
}

// ---- faults ----

struct Step {
  Command command;
  bool verdict;
  Strings messages;
};

void RunSteps(LifecycleRig& rig, const std::string& name, const std::vector<Step>& steps) {
  RandomImage(rig, 3);
  for (const Step& s : steps) EXPECT_TRUE(rig.Runs(s.command, s.verdict, s.messages)) << name;
}

TEST(SpiFaults, EveryOperationEndsAtRestWithItsMessage) {
  const Strings none{kNoAnswer};
  const std::vector<Step> avrSilent = {
      {&Operations::ReadAll, false, none},  {&Operations::ProgramAll, false, none},
      {&Operations::Verify, false, none},   {&Operations::BlankCheck, false, none},
      {&Operations::EraseAll, false, none}, {&Operations::ProgramConfig, false, none}};
  for (bool absent : {true, false}) {
    SpiRig<AvrChip> spi("90S2313");
    spi.chip.SetElement(ChipRegion::Code, 0, 0x12);
    absent ? spi.chip.SetAbsent(true) : spi.chip.SetOutOfSync(1 << 30);
    RunSteps(spi.rig, absent ? "no AVR" : "AVR never in sync", avrSilent);
    EXPECT_EQ(spi.chip.Flash()[0], 0x12);  // nothing was erased or programmed
  }
  const Strings busy{"The device did not finish writing at address 0000h !"};
  for (bool absent : {true, false}) {
    SpiRig<SpiEepromChip> spi("25040");
    absent ? spi.chip.SetAbsent(true) : spi.chip.SetStuckBusy(true);
    RunSteps(spi.rig, absent ? "no EEPROM" : "EEPROM stuck busy",
             {{&Operations::ReadAll, false, none},
              {&Operations::ProgramAll, false, busy},
              {&Operations::Verify, false, none},
              {&Operations::BlankCheck, false, none}});
  }
  {
    SpiRig<SpiEepromChip> spi("25020");
    spi.chip.SetNeverProgram(0x42);
    RunSteps(spi.rig, "EEPROM cell",
             {{&Operations::ProgramAll, false, {"Verify failed at address 0042h !"}}});
  }
  {
    SpiRig<AvrChip> spi("90S4433");
    spi.chip.SetNeverProgram(ChipRegion::Data, 0x17);
    RunSteps(spi.rig, "AVR cell",
             {{&Operations::ProgramAll, false, {"Verify failed at data address 0017h !"}}});
  }
  {
    SpiRig<Micro89SChip> spi("89S53");
    spi.chip.SetAbsent(true);
    RunSteps(spi.rig, "no 89S53",
             {{&Operations::ProgramAll, false, {"Verify failed at address 0000h !"}}});
  }
}

// A part that stops finishing its writes halfway: the run stops at that byte and says so;
// Cancel pressed during the poll ends it without the message.
TEST(SpiFaults, TheWriteInProgressPollIsBoundedAndEndsOnCancel) {
  for (bool cancel : {false, true}) {
    SpiRig<SpiEepromChip> spi("25040");
    LifecycleRig& rig = spi.rig;
    rig.options.Verify = false;
    RandomImage(rig, 8);
    auto& chip = spi.chip;
    rig.ui.onEntry = [&rig, &chip, cancel](const RecordingUi::Entry& e) {
      if (e.type != Type::ProgressPosition || e.value != 0x123) return;
      chip.SetStuckBusy(true);
      if (cancel) rig.ui.PressCancel();
    };
    const std::int64_t start = rig.clock.nowUs();
    const OperationResult result = rig.ops.ProgramAll();
    rig.ui.onEntry = nullptr;
    EXPECT_EQ(rig.ui.Messages(),
              cancel ? Strings{std::string(text::kProgramCancelled)}
                     : Strings{"The device did not finish writing at address 0120h !"});
    EXPECT_EQ(result.Cancelled, cancel);
    EXPECT_TRUE(rig.Rested());
    // The page before the one of 123h is written; that page's write is named by its start.
    EXPECT_EQ(spi.chip.Memory()[0x11F], rig.Slot().CodeBuffer[0x11F]);
    // 18 pages at some 10 ms, the poll's limit and the waits around the run.
    EXPECT_LT(rig.clock.nowUs() - start, 6'000'000);
  }
}

// ---- traces ----

TEST(SpiTrace, An90S2313ProgramAllDecodesAsAvrIspWithoutWarnings) {
  if (RunCommand("command -v sigrok-cli").empty()) GTEST_SKIP() << "sigrok-cli is not installed";
  if (kSanitized) GTEST_SKIP() << "the decoder sees the same bytes without a sanitizer";
  SpiRig<AvrChip> spi("90S2313");
  const std::string path = TracedProgramAll(spi, "kestrum_avr_trace.vcd");
  EXPECT_TRUE(DecodesAsAvrIsp(path));
}

TEST(SpiTrace, A25040ProgramAllIs32PageWritesThatDecodeAsSpiToTheImage) {
  if (RunCommand("command -v sigrok-cli").empty()) GTEST_SKIP() << "sigrok-cli is not installed";
  if (kSanitized) GTEST_SKIP() << "the decoder sees the same bytes without a sanitizer";
  SpiRig<SpiEepromChip> spi("25040");
  const std::string path = TracedProgramAll(spi, "kestrum_spi_trace.vcd");
  // One /CS frame a line: the bytes MOSI carried while the part was selected.
  std::istringstream decoded(RunCommand("sigrok-cli -I vcd -i '" + path + "' -P " + kSpiChannels +
                                        " -A spi=mosi-transfer 2>&1"));
  Bytes image(512, 0xFF);
  int writes = 0;
  for (std::string line; std::getline(decoded, line);) {
    std::istringstream hex(line.substr(line.find(':') + 1));
    Bytes frame;
    for (std::string byte; hex >> byte;)
      frame.push_back(static_cast<std::uint8_t>(std::stoi(byte, nullptr, 16)));
    if (frame.size() < 3 || (frame[0] & 0xF7) != 0x02) continue;
    // A8 rides in the instruction; the data must stay inside the 16-byte page it starts in.
    const int address = ((frame[0] & 0x08) << 5) | frame[1];
    const int length = static_cast<int>(frame.size()) - 2;
    ++writes;
    EXPECT_EQ(length, 16) << line;
    EXPECT_EQ(address / 16, (address + length - 1) / 16) << line;
    std::copy(frame.begin() + 2, frame.end(), image.begin() + address);
  }
  EXPECT_EQ(writes, 32);
  EXPECT_TRUE(SameWords("decoded", image, spi.rig.Slot().CodeBuffer, 512));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kestrum::testing
