// SPDX-License-Identifier: GPL-3.0-or-later
// The smartcard reader's byte stream against our boot loader running on the simulated card:
// the card's byte convention, the answer to reset and its timing, the reader's UART at 9600
// baud, the card's headers taken at the pace of a PC that sends again as soon as it has an
// echo, the lines the card may and may not drive, and both PICs.
#include "protocols/smartcard.hpp"

#include <gtest/gtest.h>

#include "../sim/rig.hpp"
#include "protocols/boot_loader.hpp"
#include "protocols/texts.hpp"
#include "sim/boards/card_reader.hpp"
#include "sim/chips/smartcard.hpp"

namespace kestrum {
namespace {

constexpr int kBitTicks = 372;

// The boot loader in a card of `pic` in the reader of the virtual programmer, with nothing
// on the card's SCL and SDA unless a test puts a chip there.
struct CardRig {
  explicit CardRig(std::string_view picName = "PIC 16F84",
                   std::vector<std::uint16_t> program = BootLoaderImage())
      : pic(PicChip::ForDevice(picName)) {
    std::copy(program.begin(), program.end(), pic->Code().begin());
    programmer.InsertCard(&card);
    HardwareSettings settings = SettingsFor(ProgrammerType::Jdm);
    settings.CardReader = true;
    lines.emplace(settings, clock, ui, programmer);
  }
  CardReader& reader() { return programmer.Reader(); }
  Port& port() { return *lines->OpenedPort(); }

  // The PC's side, as the workers do it: reset, then the answer.
  int Reset() {
    EXPECT_TRUE(lines->OpenPort());
    port().SetLineFormat(LineFormat{.baud = 9600, .dataBits = 8, .stopBits = 1});
    port().SetRts(false);
    port().SetRts(true);
    lines->SleepMs(1);
    port().SetRts(false);
    int answered = 0;
    std::uint8_t unused = 0;
    while (port().ReadByte(unused, card::kByteTimeoutMs)) ++answered;
    return answered;
  }
  // A header, each byte sent the moment the echo of the one before is in; then the card's
  // first byte, converted (-1 when none came).
  int Header(std::vector<std::uint8_t> header) {
    std::uint8_t byte = 0;
    for (std::uint8_t b : header) {
      port().WriteByte(CorrectData(b));
      if (!port().ReadByte(byte, card::kByteTimeoutMs)) return -1;
    }
    return port().ReadByte(byte, card::kByteTimeoutMs) ? CorrectData(byte) : -1;
  }

  VirtualClock clock{1000};
  RecordingUi ui;
  VirtualProgrammer programmer{clock};
  std::unique_ptr<PicChip> pic;
  Eeprom24 eeprom{*Eeprom24For("24C16")};
  Smartcard card{*pic, eeprom};
  std::optional<LineContext> lines;
};

TEST(CorrectData, ReversesTheBitsAndInvertsThemAndIsItsOwnInverse) {
  EXPECT_EQ(CorrectData(0xCA), 0xAC);
  EXPECT_EQ(CorrectData(0x20), 0xFB);
  EXPECT_EQ(CorrectData(0x21), 0x7B);
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(CorrectData(CorrectData(static_cast<std::uint8_t>(b))), b);
  }
}

// What the card puts on I/O, seen from the contact: edges in ticks of the card clock.
struct IoRecorder final : CardIoListener {
  void CardIo(bool pulledLow, std::int64_t tick) override { edges.push_back({pulledLow, tick}); }
  std::vector<std::pair<bool, std::int64_t>> edges;
};

// Characters from the edges, with bits of exactly `bitTicks`: the inverse convention's
// logical bytes. Fails on an edge off the bit grid of its character.
::testing::AssertionResult Decode(const IoRecorder& io, int bitTicks,
                                  std::vector<std::uint8_t>& bytes) {
  std::size_t i = 0;
  while (i < io.edges.size()) {
    const std::int64_t start = io.edges[i].second;
    if (!io.edges[i].first) return ::testing::AssertionFailure() << "a character not started low";
    bool low = true;
    int value = 0;
    int bit = 1;
    ++i;
    for (; bit <= 9; ++bit) {
      const std::int64_t at = start + std::int64_t{bit} * bitTicks;
      if (i < io.edges.size() && io.edges[i].second < at) {
        return ::testing::AssertionFailure()
               << "an edge off the bit grid at " << io.edges[i].second;
      }
      if (i < io.edges.size() && io.edges[i].second == at) low = io.edges[i++].first;
      if (bit <= 8) value = (value << 1) | (low ? 1 : 0);  // bit 7 first, low is 1
    }
    if (low) return ::testing::AssertionFailure() << "no stop bit";
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return ::testing::AssertionSuccess();
}

class BothPics : public ::testing::TestWithParam<const char*> {};

TEST_P(BothPics, AnswerToResetIsElevenBytesOf372ClocksAMillisecondAfterTheReset) {
  std::unique_ptr<PicChip> pic = PicChip::ForDevice(GetParam());
  const std::vector<std::uint16_t>& image = BootLoaderImage();
  std::copy(image.begin(), image.end(), pic->Code().begin());
  Eeprom24 eeprom(*Eeprom24For("24C16"));
  Smartcard card(*pic, eeprom);
  IoRecorder io;
  card.SetListener(&io);
  card.PowerOn(false, 0);
  card.RunUntil(CardTicksFromUs(100000), true);
  ASSERT_FALSE(io.edges.empty());
  EXPECT_GE(io.edges.front().second, CardTicksFromUs(1000));
  std::vector<std::uint8_t> answer;
  ASSERT_TRUE(Decode(io, kBitTicks, answer));
  EXPECT_EQ(answer,
            (std::vector<std::uint8_t>{0x3F, 0x09, 'K', 'E', 'S', 'T', 'R', 'U', 'M', 0x01, 0x00}));
  EXPECT_EQ(card.Faults().Total(), 0);
}

TEST_P(BothPics, HeadersAtThePcsPaceAreAnsweredAsTheLoaderSays) {
  CardRig rig(GetParam());
  // Exactly 11 bytes answer the reset: a 12th would be taken for the first echo.
  EXPECT_EQ(rig.Reset(), card::kAnswerToResetBytes);
  rig.reader().ClearReceived();
  // With an EEPROM that does not answer a read and a write are refused with 65 81 at once;
  // the other answers show each header byte was taken as sent.
  rig.eeprom.SetNeverAcknowledge(true);
  const struct {
    std::vector<std::uint8_t> header;
    int answer;
  } kCases[] = {
      {{0xCA, 0x21, 0x00, 0x00, 0x08}, 0x65}, {{0xCA, 0x20, 0x07, 0xF8, 0x08}, 0x65},
      {{0xCB, 0x21, 0x00, 0x00, 0x08}, 0x6E}, {{0xCA, 0x22, 0x00, 0x00, 0x08}, 0x6D},
      {{0xCA, 0x21, 0x00, 0x00, 0x00}, 0x67}, {{0xCA, 0x20, 0x00, 0x00, 0x11}, 0x67},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(rig.Header(c.header), c.answer);
    std::uint8_t second = 0;
    EXPECT_TRUE(rig.port().ReadByte(second, card::kByteTimeoutMs));  // the status's other half
  }
  // Every character whole. The PC wrote each header byte as soon as it had sampled the stop
  // bit of the echo before, so its UART sent the frames back to back, 10 bits from start to
  // start, and the card still took them; the card's answer starts only after the PC has
  // sampled the stop bit of the last echo (9.5 bits after its start).
  const std::int64_t stopSampled = kCardClockHz * 19 / (2 * 9600);
  const std::int64_t backToBack = (kCardClockHz * 10 + 4800) / 9600;
  const auto& received = rig.reader().Received();
  int quickHeaderBytes = 0;
  for (std::size_t i = 0; i < received.size(); ++i) {
    EXPECT_FALSE(received[i].framingError) << i;
    if (i == 0) continue;
    const std::int64_t gap = received[i].tick - received[i - 1].tick;
    if (!received[i].fromCard && !received[i - 1].fromCard && gap <= backToBack) {
      ++quickHeaderBytes;
    }
    if (received[i].fromCard && !received[i - 1].fromCard) {
      EXPECT_GT(gap, stopSampled) << i;
    }
  }
  EXPECT_EQ(quickHeaderBytes, 6 * 4);
  EXPECT_EQ(rig.card.Faults().Total(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cards, BothPics, ::testing::Values("PIC 16F84", "PIC 16C84"),
                         [](const auto& info) { return std::string(info.param).substr(4); });

TEST(CardReader, ThePcsUartRunsAtExactly9600Baud) {
  CardRig rig("PIC 16F84", std::vector<std::uint16_t>(1024, 0x3FFF));  // a card that is silent
  ASSERT_TRUE(rig.lines->OpenPort());
  rig.port().SetLineFormat(LineFormat{.baud = 9600, .dataBits = 8, .stopBits = 1});
  for (std::uint8_t b : {0x55, 0x00, 0xFF, 0x0F}) rig.port().WriteByte(b);
  std::uint8_t echo = 0;
  std::vector<int> echoes;
  while (rig.port().ReadByte(echo, 100)) echoes.push_back(echo);
  EXPECT_EQ(echoes, (std::vector<int>{0x55, 0x00, 0xFF, 0x0F}));
  // Frames back to back, each edge placed from the first frame's start: 10, 20 and 30 bits
  // of 1/9600 s, rounded to the card clock, with no error carried from frame to frame.
  const auto& received = rig.reader().Received();
  ASSERT_EQ(received.size(), 4u);
  for (std::size_t i = 1; i < 4; ++i) {
    const std::int64_t exact = (10 * static_cast<std::int64_t>(i) * kCardClockHz + 4800) / 9600;
    EXPECT_EQ(received[i].tick - received[0].tick, exact);
  }
}

TEST(Smartcard, SeesWhatALineMustNotDo) {
  // A program that drives RB7 high, drives RB6 and leaves PORTB's latch high on RB7.
  CardRig rig("PIC 16F84", {
                               0x0186,  // CLRF PORTB
                               0x1683,  // BSF STATUS,RP0
                               0x1386,  // BCF TRISB,7: I/O pulled low, as it may be
                               0x1306,  // BCF TRISB,6: the clock contact driven
                               0x1283,  // BCF STATUS,RP0
                               0x1786,  // BSF PORTB,7: I/O driven high
                               0x2806,  // GOTO $
                           });
  rig.clock.Advance(1000);
  rig.reader().SetDtr(true);  // the reader catches up with the clock
  const CardFaults& faults = rig.card.Faults();
  EXPECT_EQ(faults.ioDrivenHigh, 1);
  EXPECT_EQ(faults.clockDriven, 1);
  EXPECT_EQ(faults.latchHigh, 1);
}

}  // namespace
}  // namespace kestrum
