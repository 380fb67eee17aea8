// SPDX-License-Identifier: GPL-3.0-or-later
// The I2C EEPROM operations on the 24Cxx model (each part's lifecycle is in lifecycle_test):
// the 24LC1025's block select, MCLR as the supply; what the user sees with no part, a part that
// never answers, a stuck one and a write-protected one; cancelling. Every run ends with the
// lines at rest and every port closed.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>

#include "../sanitized.hpp"
#include "buffers/file_commands.hpp"
#include "i2c_trace.hpp"
#include "protocols/i2c_eeprom.hpp"
#include "sim/chips/eeprom24_chip.hpp"

namespace kestrum::testing {
namespace {

using Type = RecordingUi::Entry::Type;
using Command = OperationResult (Operations::*)();

const std::string kNoAck = "No Acknowledge received!";

struct I2cRig {
  explicit I2cRig(std::string_view device, ProgrammerType type = ProgrammerType::ProPic2)
      : chip(Eeprom24Chip::ForDevice(device)), rig(device, type, chip.get()) {}
  std::unique_ptr<Eeprom24Chip> chip;  // outlives the board it sits in
  LifecycleRig rig;
};

// The 24LC1025: address bit 16 rides in the control byte as B0, so each write cycle of the upper
// 64 KiB is started (and polled) with A8h; the read is split at 64 KiB, one read address per
// block; a socket that leaves A2 low has no part that answers.
TEST(I2c1025, BlockSelectInTheControlByteAndOneReadPerBlock) {
  if (kSanitized) GTEST_SKIP() << "128 KiB on the bus; the unsanitized run covers it";
  I2cRig i2c("24LC1025");
  auto& [chip, rig] = i2c;
  chip->Part().KeepLog(true);
  RandomImage(rig, 1025);
  ASSERT_TRUE(rig.ProgramAndVerify());
  int control = -1;
  bool afterStart = false;
  std::vector<int> reads;
  int upperCycles = 0;
  for (const Eeprom24Event& e : chip->Part().Log()) {
    if (e.kind == Eeprom24Event::Kind::Start) afterStart = true;
    if (e.kind == Eeprom24Event::Kind::Received && afterStart) {
      afterStart = false;
      control = e.value;
      if ((control & 1) != 0) reads.push_back(control);
    }
    if (e.kind == Eeprom24Event::Kind::WriteCycle) {
      EXPECT_EQ((control >> 3) & 1, e.address >> 16) << e.address;
      upperCycles += e.address >= 0x10000;
    }
  }
  EXPECT_EQ(upperCycles, 512);
  EXPECT_EQ(reads, (std::vector<int>{0xA1, 0xA9}));  // the verify's read
  chip->SetAddressPins(0);
  EXPECT_TRUE(rig.Runs(&Operations::ReadAll, false, {kNoAck}));
}

// "Enable MCLR as Vcc" reaches the read and the program worker: a socket fed from MCLR alone
// programs, verifies and reads back.
TEST(I2cOptions, MclrAsVccForEveryWorker) {
  I2cRig i2c("24C02", ProgrammerType::Jdm);
  auto& [chip, rig] = i2c;
  chip->SetSupply(Eeprom24Chip::Supply::Mclr);
  rig.options.EnableMCLR = true;
  RandomImage(rig, 2);
  ASSERT_TRUE(rig.ProgramAndVerify());
  EXPECT_TRUE(rig.ReadBackEquals(rig.Slot()));
}

// No part in the socket (page mode), or one that never pulls SDA low (byte mode): a read says
// so once and leaves the buffer as it was; Verify and Blank Check say only that; Program All
// stops at the polling limit with the message, without a verify.
TEST(I2cFaults, NoPartOrNoAcknowledge) {
  for (bool empty : {true, false}) {
    I2cRig i2c("24C32");
    auto& [chip, rig] = i2c;
    if (empty) {
      chip->SetAbsent(true);
    } else {
      chip->Part().SetNeverAcknowledge(true);
    }
    rig.options.ByteWrite = !empty;
    RandomImage(rig, 8);
    const BufferSlot before = rig.Slot();
    EXPECT_TRUE(rig.Runs(&Operations::ReadAll, false, {kNoAck}));
    EXPECT_TRUE(SameWords("code", rig.Slot().CodeBuffer, before.CodeBuffer, 4096));
    EXPECT_TRUE(rig.Runs(&Operations::Verify, false, {kNoAck}));
    EXPECT_TRUE(rig.Runs(&Operations::BlankCheck, false, {kNoAck}));
    EXPECT_TRUE(rig.Runs(&Operations::ProgramAll, false, {kNoAck}));
    EXPECT_TRUE(SameWords("code", rig.Slot().CodeBuffer, before.CodeBuffer, 4096));
    EXPECT_TRUE(std::ranges::all_of(chip->Memory(), [](std::uint8_t b) { return b == 0xFF; }));
  }
}

// Write protect: the part takes every byte and keeps its contents, so the verify after
// programming fails at the first byte, and the part is still blank. Stuck in its first write
// cycle, a part never answers the second page's polling.
TEST(I2cFaults, WriteProtectedAndStuckBusy) {
  I2cRig wp("24C16");
  wp.chip->SetWriteProtect(true);
  RandomImage(wp.rig, 16);
  wp.rig.Slot().CodeBuffer[0] = 0x00;
  EXPECT_TRUE(wp.rig.Runs(&Operations::ProgramAll, false, {"Verify failed at address 0000h !"}));
  EXPECT_TRUE(wp.rig.Runs(&Operations::BlankCheck, true, {"Device is blank."}));
  wp.chip->Memory()[0x7FF] = 0xFE;
  EXPECT_TRUE(wp.rig.Runs(&Operations::BlankCheck, false, {"Device NOT blank at address 07FFh !"}));

  for (bool byteWrite : {false, true}) {
    I2cRig stuck("24C16");
    stuck.chip->Part().SetStuckBusy(true);
    stuck.rig.options.ByteWrite = byteWrite;
    RandomImage(stuck.rig, 16);
    EXPECT_TRUE(stuck.rig.Runs(&Operations::ProgramAll, false, {kNoAck}));
    EXPECT_EQ(stuck.chip->Part().WriteCycles(), 1);
    EXPECT_EQ(stuck.chip->Part().IgnoredWhileBusy(),
              byteWrite ? kI2cBytePollLimit + 1 : kI2cPagePollLimit + 1);
  }
}

// Cancelled anywhere, every command ends at rest with the cancel as its only verdict (a Verify
// of a part that matches says nothing about it); the read ends with the byte in progress, which
// the part sent without an acknowledge, and a cancelled Read All leaves the buffer as it was.
TEST(I2cCancel, EveryOperationRestsAndAReadEndsWithNoAcknowledge) {
  struct Case {
    Command command;
    std::string_view message;
  };
  for (const Case& c : {Case{&Operations::ReadAll, text::kReadCancelled},
                        Case{&Operations::ProgramAll, text::kProgramCancelled},
                        Case{&Operations::Verify, text::kVerifyCancelled},
                        Case{&Operations::BlankCheck, text::kBlankCheckCancelled}}) {
    I2cRig i2c("24C08");
    auto& [chip, rig] = i2c;
    std::ranges::fill(chip->Memory(), 0x3C);
    chip->Part().KeepLog(true);
    RandomImage(rig, 2);
    if (c.command == &Operations::Verify) std::fill_n(rig.Slot().CodeBuffer.begin(), 1024, 0x3C);
    const BufferSlot before = rig.Slot();
    CancelAt(rig, 100);
    EXPECT_TRUE((rig.ops.*c.command)().Cancelled);
    EXPECT_EQ(rig.ui.Messages(), Strings{std::string(c.message)});
    EXPECT_TRUE(rig.Rested());
    if (c.command != &Operations::ReadAll) continue;
    EXPECT_TRUE(SameWords("code", rig.Slot().CodeBuffer, before.CodeBuffer, 1024));
    const auto& log = chip->Part().Log();
    const auto sent = std::count_if(log.begin(), log.end(), [](const Eeprom24Event& e) {
      return e.kind == Eeprom24Event::Kind::Sent;
    });
    const auto last = std::find_if(log.rbegin(), log.rend(), [](const Eeprom24Event& e) {
      return e.kind == Eeprom24Event::Kind::Sent;
    });
    EXPECT_EQ(sent, 101);
    EXPECT_FALSE(last->acknowledged);
  }
}

// The pins of a 24C16 Program All of a binary file, decoded by sigrok's I2C decoder: after
// each acknowledged device address (7-bit 50h to 57h, the block in its low bits) the word
// address, then that page of the file.
TEST(I2cTrace, AProgramAllDecodesWithSigrokToTheBytesOfTheFile) {
  if (RunCommand("command -v sigrok-cli").empty()) GTEST_SKIP() << "sigrok-cli is not installed";
  const std::string image = ::testing::TempDir() + "kestrum_24c16.bin";
  std::string bytes(2048, '\0');
  std::mt19937 random(16);
  for (char& b : bytes) b = static_cast<char>(random());
  std::ofstream(image, std::ios::binary) << bytes;

  I2cRig i2c("24C16");
  auto& [chip, rig] = i2c;
  FileCommands files(rig.workspace, rig.ui, rig.store);
  ASSERT_EQ(files.OpenFile(image, FileType::Binary), OpenResult::Loaded);
  const I2cWrites writes = TracedI2cProgramAll(rig, "kestrum_24c16.vcd");
  ASSERT_EQ(writes.headers.size(), 128u) << writes.decoded.substr(0, 2000);
  for (int page = 0; page < 128; ++page) {
    char expected[8];
    std::snprintf(expected, sizeof expected, "%02X %02X", 0x50 + page / 16, (page * 16) & 0xFF);
    ASSERT_EQ(writes.headers[static_cast<std::size_t>(page)], expected);
  }
  EXPECT_EQ(writes.bytes.size(), bytes.size());
  EXPECT_TRUE(writes.bytes == bytes);
  std::remove(image.c_str());
}

}  // namespace
}  // namespace kestrum::testing
