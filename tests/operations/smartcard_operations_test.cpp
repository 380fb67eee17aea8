// SPDX-License-Identifier: GPL-3.0-or-later
// The operations of I2C EEPROM devices in smartcard mode, through the virtual card reader and
// our boot loader running on the simulated card with its 24C16: Program All with verify and
// Read All on both PICs, what goes over the line, the write cycle waited for before the
// status bytes, any programmer, Cancel after the block, and what the user sees when the card
// does not answer its reset or stops answering part way. Every run ends with every port
// closed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "../sanitized.hpp"
#include "lifecycle.hpp"
#include "protocols/boot_loader.hpp"
#include "protocols/smartcard.hpp"
#include "protocols/texts.hpp"
#include "sim/chips/smartcard.hpp"

namespace kestrum::testing {
namespace {

using Type = RecordingUi::Entry::Type;

// The boot loader with its answer to reset one byte short.
std::vector<std::uint16_t> TenByteAnswer() {
  std::vector<std::uint16_t> image = BootLoaderImage();
  constexpr std::uint16_t kMovlwAnswerLength = 0x3000 | card::kAnswerToResetBytes;
  EXPECT_EQ(std::count(image.begin(), image.end(), kMovlwAnswerLength), 1);
  std::replace(image.begin(), image.end(), kMovlwAnswerLength,
               static_cast<std::uint16_t>(kMovlwAnswerLength - 1));
  return image;
}

// A card with `program` in its PIC in the reader on the serial port, or an empty reader.
struct ReaderRig {
  explicit ReaderRig(std::optional<std::vector<std::uint16_t>> program,
                     std::string_view device = "24C16", std::string_view picName = "PIC 16F84",
                     ProgrammerType type = ProgrammerType::Jdm)
      : pic(PicChip::ForDevice(picName)), rig(device, type, nullptr) {
    rig.options.Smart = true;
    if (program) {
      std::copy(program->begin(), program->end(), pic->Code().begin());
      rig.programmer.InsertCard(&card);
    }
  }
  void RandomImage(unsigned seed) {
    std::mt19937 random(seed);
    for (int i = 0; i < rig.Device().CodeSize; ++i) rig.Slot().CodeBuffer[i] = random() & 0xFF;
  }
  // The characters the PC sent, as their echoes came back, converted.
  std::vector<int> PcBytes() {
    std::vector<int> bytes;
    for (const CardReader::Character& c : rig.programmer.Reader().Received()) {
      if (!c.fromCard) bytes.push_back(CorrectData(c.value));
    }
    return bytes;
  }

  std::unique_ptr<PicChip> pic;
  Eeprom24 eeprom{*Eeprom24For("24C16")};
  Smartcard card{*pic, eeprom};
  LifecycleRig rig;
};

TEST(SmartcardMode, ACardThatDoesNotAnswerItsResetStopsEveryCommandAtOnce) {
  const std::string failed(text::kResettingCardFailed);
  const struct {
    const char* name;
    std::optional<std::vector<std::uint16_t>> program;
  } kCards[] = {
      {"no card", std::nullopt},
      {"no boot loader", std::vector<std::uint16_t>(1024, 0x3FFF)},
      {"ten answer bytes", TenByteAnswer()},
  };
  for (const auto& c : kCards) {
    ReaderRig r(c.program);
    std::fill_n(r.rig.Slot().CodeBuffer.begin(), 2048, 0x5A);
    const std::int64_t start = r.rig.clock.nowUs();
    // Read All leaves the buffer as it was; Program All does not verify; Verify gives no
    // verdict.
    EXPECT_TRUE(r.rig.Runs(&Operations::ReadAll, false, {failed})) << c.name;
    EXPECT_EQ(r.rig.Slot().CodeBuffer[0], 0x5A);
    EXPECT_TRUE(r.rig.Runs(&Operations::ProgramAll, false, {failed})) << c.name;
    EXPECT_TRUE(r.rig.Runs(&Operations::Verify, false, {failed})) << c.name;
    EXPECT_THAT(r.rig.ui.Texts(Type::ProgressText),
                ::testing::Contains(std::string(text::kResettingSmartcard)));
    // Each failed after the one byte that did not come within 1.5 s.
    EXPECT_GT(r.rig.clock.nowUs() - start, 3 * 1500000) << c.name;
    EXPECT_LT(r.rig.clock.nowUs() - start, 3 * 1600000) << c.name;
    EXPECT_EQ(r.eeprom.WriteCycles(), 0);
  }
}

class BothCards : public ::testing::TestWithParam<const char*> {};

TEST_P(BothCards, ProgramAllVerifiesAndReadAllReadsTheCardBack) {
  // Under sanitizers the smallest part: the same code, an eighth of the blocks.
  const std::string device = kSanitized ? "24C02" : "24C16";
  const int size = kSanitized ? 256 : 2048;
  ReaderRig r(BootLoaderImage(), device, GetParam());
  r.RandomImage(11);
  r.eeprom.KeepLog(true);
  ASSERT_TRUE(r.rig.ProgramAndVerify());
  // The EEPROM holds the buffer's bytes, not what went over the line.
  EXPECT_TRUE(SameWords(device, r.eeprom.Memory(), r.rig.Slot().CodeBuffer, size));
  EXPECT_TRUE(r.rig.ReadBackEquals(r.rig.Slot()));
  EXPECT_EQ(r.card.Faults().Total(), 0);
  for (const CardReader::Character& c : r.rig.programmer.Reader().Received()) {
    ASSERT_FALSE(c.framingError);
  }
  // A page write of 8 bytes per block.
  std::vector<std::int64_t> writes;
  for (const Eeprom24Event& e : r.eeprom.Log()) {
    if (e.kind == Eeprom24Event::Kind::WriteCycle) {
      EXPECT_EQ(e.value, 8);
      writes.push_back(e.timeUs);
    }
  }
  EXPECT_EQ(writes.size(), static_cast<std::size_t>(size / 8));
}

std::vector<const char*> CardPics() {
  if (kSanitized) return {"PIC 16C84"};
  return {"PIC 16F84", "PIC 16C84"};
}

INSTANTIATE_TEST_SUITE_P(Pics, BothCards, ::testing::ValuesIn(CardPics()),
                         [](const auto& info) { return std::string(info.param).substr(4); });

TEST(SmartcardMode, ReadingA24C16Sends256HeadersInTheCardsConvention) {
  ReaderRig r(BootLoaderImage());
  for (int i = 0; i < 2048; ++i) r.eeprom.Memory()[static_cast<std::size_t>(i)] = i * 7 & 0xFF;
  ASSERT_TRUE(r.rig.Runs(&Operations::ReadAll, true, {}));
  EXPECT_TRUE(SameWords("code", r.rig.Slot().CodeBuffer, r.eeprom.Memory(), 2048));
  // Five header bytes a block from the PC: CA 21, the address, 8.
  const std::vector<int> sent = r.PcBytes();
  ASSERT_EQ(sent.size(), 256u * 5);
  for (int b = 0; b < 256; ++b) {
    const int address = b * 8;
    ASSERT_EQ(std::vector<int>(sent.begin() + 5 * b, sent.begin() + 5 * b + 5),
              (std::vector<int>{0xCA, 0x21, address >> 8, address & 0xFF, 8}))
        << b;
  }
  // On the wire: 0xCA as 0xAC, 0x21 as 0x7B.
  const auto& line = r.rig.programmer.Reader().Received();
  const auto header = std::find_if(line.begin(), line.end(), [](auto& c) { return !c.fromCard; });
  ASSERT_NE(header, line.end());
  EXPECT_EQ(header[0].value, 0xAC);
  EXPECT_EQ(header[1].value, 0x7B);
  // The answer to reset came first: 11 bytes from the card.
  EXPECT_EQ(header - line.begin(), card::kAnswerToResetBytes);
}

TEST(SmartcardMode, EachBlockIsStoredBeforeTheCardSendsItsStatus) {
  ReaderRig r(BootLoaderImage(), "24C02");  // 32 blocks
  r.RandomImage(3);
  r.rig.options.Verify = false;
  r.eeprom.KeepLog(true);
  ASSERT_TRUE(r.rig.ops.ProgramAll().Succeeded());
  EXPECT_TRUE(r.rig.ui.Messages().empty());
  EXPECT_TRUE(r.rig.Rested());
  // Per block the card sends the procedure byte and then, after the 8 data bytes, its two
  // status bytes: the first status byte starts after the block's write cycle is over.
  std::vector<std::int64_t> statusUs;
  const auto& line = r.rig.programmer.Reader().Received();
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (line[i].fromCard && !line[i - 1].fromCard && CorrectData(line[i].value) == 0x90) {
      statusUs.push_back(UsFromCardTicks(line[i].tick));
    }
  }
  std::vector<std::int64_t> cycleEnds;
  for (const Eeprom24Event& e : r.eeprom.Log()) {
    if (e.kind == Eeprom24Event::Kind::WriteCycle) {
      cycleEnds.push_back(e.timeUs + r.eeprom.Description().writeCycleUs);
    }
  }
  ASSERT_EQ(statusUs.size(), 32u);
  ASSERT_EQ(cycleEnds.size(), 32u);
  for (std::size_t b = 0; b < 32; ++b) EXPECT_GE(statusUs[b], cycleEnds[b]) << b;
  EXPECT_GT(r.eeprom.IgnoredWhileBusy(), 0);  // it did poll
  EXPECT_TRUE(SameWords("24C02", r.eeprom.Memory(), r.rig.Slot().CodeBuffer, 256));
}

// The reader is not the programmer: the card is reached whatever programmer is selected.
TEST(SmartcardMode, AnyProgrammerTypeServes) {
  ReaderRig r(BootLoaderImage(), "24C02", "PIC 16F84", ProgrammerType::Tafe);
  r.RandomImage(5);
  EXPECT_TRUE(r.rig.ProgramAndVerify());
}

TEST(SmartcardMode, CancelStopsAfterTheBlockInProgress) {
  ReaderRig r(BootLoaderImage());
  std::fill_n(r.rig.Slot().CodeBuffer.begin(), 2048, 0x5A);
  CancelAt(r.rig, 100);
  const OperationResult result = r.rig.ops.ReadAll();
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(r.rig.ui.Messages(), std::vector<std::string>{std::string(text::kReadCancelled)});
  EXPECT_TRUE(r.rig.Rested());
  // The read stopped after the block of element 100; the buffer is as it was.
  const auto& code = r.rig.Slot().CodeBuffer;
  EXPECT_EQ(std::count(code.begin(), code.begin() + 2048, 0x5A), 2048);
}

// A card taken out part way: the transfer ends at the first byte that does not come, with the
// address, not 1.5 s for every byte of the rest of the card.
TEST(SmartcardMode, ACardThatStopsAnsweringEndsTheTransferAtOnce) {
  for (auto command : {&Operations::ReadAll, &Operations::ProgramAll}) {
    ReaderRig r(BootLoaderImage());
    std::int64_t pulledUs = 0;
    r.rig.ui.onEntry = [&](const RecordingUi::Entry& e) {
      if (e.type == Type::ProgressPosition && e.value == 1000 && pulledUs == 0) {
        r.rig.programmer.InsertCard(nullptr);
        pulledUs = r.rig.clock.nowUs();
      }
    };
    // Reading stops at the next data byte (03E9h); writing, whose bytes the reader's own line
    // still echoes, at the block's status (the block at 03E8h).
    const bool reading = command == &Operations::ReadAll;
    const std::string address = reading ? "03E9" : "03E8";
    EXPECT_TRUE(
        r.rig.Runs(command, false, {"No answer from the smartcard at address " + address + "h !"}));
    EXPECT_LT(r.rig.clock.nowUs() - pulledUs, 1600000);
  }
}

}  // namespace
}  // namespace kestrum::testing
