// SPDX-License-Identifier: GPL-3.0-or-later
// The Microwire and 4-wire EEPROMs on their chip models (each part's lifecycle is in
// lifecycle_test): the faults (a part stuck busy, a cell that will not program, no part),
// Cancel in the ready wait, and a 93C46 Program All whose pin trace sigrok decodes to the words
// of the file it programmed.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>

#include "../run_command.hpp"
#include "buffers/device_image.hpp"
#include "buffers/hex_file.hpp"
#include "lifecycle.hpp"
#include "sim/boards/vcd_writer.hpp"
#include "sim/chips/microwire_chip.hpp"

namespace kestrum::testing {
namespace {

// The chip is declared first so that it outlives the board it sits in.
struct EepromRig {
  explicit EepromRig(std::string_view device, ProgrammerType type = ProgrammerType::ProPic2)
      : chip(MicrowireChip::ForDevice(device)), rig(device, type, chip.get()) {}

  std::unique_ptr<MicrowireChip> chip;
  LifecycleRig rig;
};

// Every word different from the blank value, so a word the part did not take shows.
void RandomWords(LifecycleRig& rig, unsigned seed) {
  std::mt19937 random(seed);
  for (int i = 0; i < rig.Device().CodeSize; ++i) {
    rig.Slot().CodeBuffer[i] = static_cast<std::uint16_t>(random() % 0xFFFF);
  }
}

// Each fault ends its command with the lines idle, the port closed and the message that says
// what went wrong.
TEST(EepromFaults, EveryFaultEndsRestedWithAClearMessage) {
  struct FaultCase {
    const char* device;
    std::function<void(MicrowireChip&)> fault;
    OperationResult (Operations::*command)();
    Strings messages;  // none: the command succeeds
  };
  const auto stuck = [](MicrowireChip& c) { c.SetStuckBusy(true); };
  const auto bad42 = [](MicrowireChip& c) { c.SetNeverProgram(0x2A); };
  const auto absent = [](MicrowireChip& c) { c.SetAbsent(true); };
  const Strings at0{"Verify failed at address 0000h !"}, at2A{"Verify failed at address 002Ah !"};
  const auto program = &Operations::ProgramAll;
  for (const FaultCase& c :
       {FaultCase{"93C46",
                  stuck,
                  program,
                  {"No ready signal from the device after writing address 0000h !"}},
        FaultCase{"93C46", bad42, program, at2A}, FaultCase{"93C46", absent, program, at0},
        FaultCase{"93C46", absent, &Operations::ReadAll, {}},
        // A 4-wire part gives no status: whatever it did not take is found by the verify.
        FaultCase{"59C13", stuck, program, at0}, FaultCase{"59C13", bad42, program, at2A},
        FaultCase{"59C13", absent, &Operations::Verify, at0}}) {
    SCOPED_TRACE(std::string(c.device) + " " + ::testing::PrintToString(c.messages));
    EepromRig e(c.device);
    c.fault(*e.chip);
    RandomWords(e.rig, 7);
    EXPECT_TRUE(e.rig.Runs(c.command, c.messages.empty(), c.messages));
  }
}

// The ready wait gives up after its bound: the run ends there, well before a part that never
// answers could hold it, and nothing is verified.
TEST(EepromFaults, APartStuckBusyEndsProgramAllWithinTheBound) {
  EepromRig e("93C86");
  e.chip->SetStuckBusy(true);
  RandomWords(e.rig, 86);
  const std::int64_t start = e.rig.clock.nowUs();
  const OperationResult result = e.rig.ops.ProgramAll();
  const std::int64_t elapsed = e.rig.clock.nowUs() - start;
  EXPECT_TRUE(result.Failed && !result.Verified);
  EXPECT_EQ(e.rig.ui.Messages(),
            Strings{"No ready signal from the device after writing address 0000h !"});
  EXPECT_TRUE(e.rig.Rested());
  // Power-up, write enable and power-down take 0.8 s; the wait itself its 100 ms bound.
  EXPECT_GE(elapsed, 900'000);
  EXPECT_LT(elapsed, 1'000'000);
}

// Presses Cancel while the part reports busy for the word at `cancelAt`.
class CancelWhileBusy final : public Chip {
 public:
  CancelWhileBusy(MicrowireChip& part, RecordingUi& ui, int cancelAt)
      : part_(part), ui_(ui), cancelAt_(cancelAt) {}
  int PinCount() const override { return part_.PinCount(); }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override { part_.OnPins(pins, timeUs); }
  DataDrive DataOut(std::int64_t timeUs) override {
    const DataDrive drive = part_.DataOut(timeUs);
    if (!pressed_ && drive == DataDrive::Low && part_.CompletedWrites() == cancelAt_) {
      pressed_ = true;
      ui_.PressCancel();
    }
    return drive;
  }

 private:
  MicrowireChip& part_;
  RecordingUi& ui_;
  int cancelAt_;
  bool pressed_ = false;
};

TEST(EepromCancel, CancelInTheReadyWaitEndsTheRunAfterTheCurrentWord) {
  auto part = MicrowireChip::ForDevice("93C46");
  std::unique_ptr<CancelWhileBusy> cancelling;  // outlives the board
  // The wrapper needs the rig's Ui, so it goes into the socket once the rig exists.
  LifecycleRig rig("93C46", ProgrammerType::ProPic2, nullptr);
  cancelling = std::make_unique<CancelWhileBusy>(*part, rig.ui, 3);
  rig.programmer.Insert(cancelling.get());
  rig.options.Verify = false;
  RandomWords(rig, 3);
  EXPECT_TRUE(rig.Runs(&Operations::ProgramAll, false, {std::string(text::kProgramCancelled)}));
  rig.programmer.Insert(nullptr);
  for (int i = 0; i < 64; ++i) {
    ASSERT_EQ(part->Words()[i], i <= 3 ? rig.Slot().CodeBuffer[i] : 0xFFFF) << i;
  }
}

TEST(EepromTrace, A93C46ProgramAllDecodesWithSigrokToTheWordsOfItsFile) {
  if (RunCommand("command -v sigrok-cli").empty()) GTEST_SKIP() << "sigrok-cli is not installed";
  EepromRig e("93C46");
  LifecycleRig& rig = e.rig;
  // The file holds each word low byte first.
  std::mt19937 random(46);
  std::vector<std::uint8_t> bytes(128);
  for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(random());
  std::string file;
  WriteHexBytes(file, bytes, 0);
  WriteHexEnd(file);
  ByteStream in(file);
  LoadProgramFile(rig.Device(), rig.Slot(), FileType::Ihx8, in, rig.ui);

  const std::string path = ::testing::TempDir() + "kestrum_93c46_program.vcd";
  {
    std::ofstream vcd(path);
    PinTrace trace(vcd);
    rig.programmer.Board().SetTrace(&trace);
    ASSERT_TRUE(rig.ProgramAndVerify());
    rig.programmer.Board().SetTrace(nullptr);
    trace.Finish();
  }
  // The chip select is MCLR; the part's DI and DO share the programmer's data line.
  const std::string decoded =
      RunCommand("sigrok-cli -I vcd -i '" + path +
                 "' -P microwire:cs=mclr:sk=clock:si=data_out:so=data_in,eeprom93xx:addresssize=6"
                 " -A eeprom93xx=si-data 2>&1");
  std::remove(path.c_str());

  // "Write word", "Address: 0x0005", "Data: 0x1234", one annotation a line.
  std::map<int, int> written;
  int enables = 0;
  int writeAddress = -1;
  std::istringstream lines(decoded);
  for (std::string line; std::getline(lines, line);) {
    const std::string text = line.substr(line.find(':') + 2);
    if (text == "Write enable") ++enables;
    if (text == "Write word") writeAddress = -2;
    if (text.starts_with("Address: ") && writeAddress == -2) {
      writeAddress = std::stoi(text.substr(9), nullptr, 16);
    } else if (text.starts_with("Data: ") && writeAddress >= 0) {
      written[writeAddress] = std::stoi(text.substr(6), nullptr, 16);
      writeAddress = -1;
    }
  }
  EXPECT_EQ(enables, 1) << decoded.substr(0, 2000);
  ASSERT_EQ(written.size(), 64u) << decoded.substr(0, 2000);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(written[i], bytes[2 * i] | bytes[2 * i + 1] << 8) << i;
  }
}

}  // namespace
}  // namespace kestrum::testing
