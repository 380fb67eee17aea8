// SPDX-License-Identifier: GPL-3.0-or-later
// The mid-range flash PICs on the wire, in virtual time: the commands each family's erase
// sends and what they do to a protected part (and what the wrong erase does not), the 16F87xA's
// 8-word latch, the 16F87/88's second configuration word, VPP before VDD, and the waits.
#include "protocols/pic_flash.hpp"

#include <gtest/gtest.h>

#include "../sim/rig.hpp"
#include "device/catalogue.hpp"
#include "sim/chips/pic_chip_flash.hpp"

namespace kestrum {
namespace {

// A flash PIC that also writes down the commands it is sent, as a decoder of the pins on the
// host's side would: six command bits, then the 16-clock frame of a load or a read.
class SniffedPic final : public Chip {
 public:
  explicit SniffedPic(std::string_view device) : part(PicFlashChip::ForDevice(device)) {}
  int PinCount() const override { return part->PinCount(); }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override {
    if (pins.vcc && !pins_.vcc) vccUs = timeUs;
    if (pins.mclr && !pins_.mclr) mclrUs = timeUs;
    if (!pins.vcc || !pins.mclr) bits_ = frame_ = 0;
    if (!pins.clock && pins_.clock) Falling(pins_.data, timeUs);
    pins_ = pins;
    part->OnPins(pins, timeUs);
  }
  DataDrive DataOut(std::int64_t timeUs) override { return part->DataOut(timeUs); }

  struct Sent {
    int command;
    int data;  // a load's word; -1 for the others
    std::int64_t timeUs;
  };
  std::vector<int> Commands() const {
    std::vector<int> codes;
    for (const Sent& s : sent) codes.push_back(s.command);
    return codes;
  }

  std::unique_ptr<PicFlashChip> part;
  std::vector<Sent> sent;
  std::int64_t vccUs = -1;
  std::int64_t mclrUs = -1;

 private:
  void Falling(bool data, std::int64_t timeUs) {
    if (frame_ > 0) {
      const int bit = 16 - frame_ - 1;  // start bit first
      if (bit >= 0 && bit < 14 && data) sent.back().data |= 1 << bit;
      --frame_;
      return;
    }
    command_ = bits_ == 0 ? data : command_ | (data << bits_);
    if (++bits_ < 6) return;
    bits_ = 0;
    const bool load = command_ == 0 || command_ == 2 || command_ == 3;
    sent.push_back({command_, load ? 0 : -1, timeUs});
    if (load || command_ == 4 || command_ == 5) frame_ = 16;
  }
  ChipPins pins_;
  int bits_ = 0;
  int command_ = 0;
  int frame_ = 0;
};

DeviceDescriptor Device(std::string_view name) {
  return DescriptorFor(*FindDeviceByName(name));
}

PicTiming TimingOn(const DeviceDescriptor& d, const LineContext& lines) {
  return PicFlashTiming(PicTiming{}, *PicFamilyRowOf(d.Algorithm), lines);
}

void Wait(PicSerial& link, int us) {
  link.Lines().DelayMicroseconds(us);
}

// Each family clears code and data protection with its own erase, from configuration space;
// the erase that looks right on another family, or from program space, leaves a protected
// part exactly as it was.
TEST(PicFlashErase, TheFamilysEraseUnlocksTheWrongOneLeavesItProtected) {
  using Steps = TPicSession::Steps;
  struct Case {
    const char* device;
    std::uint16_t protectedConfig;  // CP and CPD on
    std::vector<int> erase;         // the commands of the right erase
    Steps wrong;
  };
  const Steps bulkFromProgramSpace = [](TPicSession&, PicSerial& link) {
    link.PicCommand(pic::kBulkEraseProgram, 0);
    Wait(link, 8000);
    link.PicCommand(pic::kBulkEraseData, 0);
    Wait(link, 8000);
  };
  const Case cases[] = {
      {"PIC 16F628A", 0x1EFF, {0x00, 0x02, 0x09, 0x0B}, bulkFromProgramSpace},
      {"PIC 12F675", 0x3E7F, {0x00, 0x09, 0x0B}, bulkFromProgramSpace},
      // The bulk erase (09h, then Begin Erase) is refused while the part is protected.
      {"PIC 16F88",
       0x1EFF,
       {0x00, 0x1F},
       [](TPicSession&, PicSerial& link) {
         link.PicCommand(pic::kLoadProgram, 0x3FFF);
         link.PicCommand(pic::kBulkEraseProgram, 0);
         link.PicCommand(pic::kBeginProgramming, 0);
         Wait(link, 2000);
         link.PicCommand(pic::kEndProgramming17, 0);
       }},
      {"PIC 16F877A",
       0x1EFF,
       {0x00, 0x1F},
       [](TPicSession&, PicSerial& link) {
         link.PicCommand(pic::kBulkEraseProgram, 0);
         link.PicCommand(pic::kBeginProgramming, 0);
         Wait(link, 8000);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    const DeviceDescriptor d = Device(c.device);
    Rig<SniffedPic> rig(SettingsFor(ProgrammerType::ProPic2, d.PinCount), c.device);
    PicFlashChip& part = *rig.chip.part;
    rig.lines.ClosePort();
    part.SetElement(ChipRegion::Code, 0, 0x1234);
    part.SetElement(ChipRegion::Data, 0, 0x56);
    part.SetElement(ChipRegion::Config, 0, 0x0007);
    part.SetElement(ChipRegion::Config, 7, c.protectedConfig);
    ASSERT_TRUE(part.CodeProtected() && part.DataProtected());

    TPicSession wrong(rig.lines, TimingOn(d, rig.lines), 1, c.wrong);
    wrong.Run();
    EXPECT_TRUE(part.CodeProtected() && part.DataProtected());
    EXPECT_EQ(part.Code()[0], 0x1234);
    EXPECT_EQ(part.Data()[0], 0x56);
    EXPECT_EQ(part.Erases(), 0);

    rig.chip.sent.clear();
    auto eraser = PicFlashEraser(d, rig.lines, TimingOn(d, rig.lines));
    eraser->Run();
    EXPECT_EQ(rig.chip.Commands(), c.erase);
    EXPECT_FALSE(part.CodeProtected() || part.DataProtected());
    EXPECT_EQ(part.Code()[0], 0x3FFF);
    EXPECT_EQ(part.Data()[0], 0xFF);
    EXPECT_EQ(part.IdWord(0), 0x3FFF);
    EXPECT_EQ(part.LostCycles(), 0);
  }
}

// 16F87xA program memory goes in through the 8-word latch: eight loads with an increment
// between them, one program-only cycle ended by End Programming at least 1 ms later, then an
// increment to the next row. Loads that straddle two rows are refused, not written.
TEST(PicFlashLatch, SixteenF877ARowsGoThroughTheEightWordLatch) {
  const DeviceDescriptor d = Device("PIC 16F877A");
  Rig<SniffedPic> rig(SettingsFor(ProgrammerType::Jdm, 40), "PIC 16F877A");
  PicFlashChip& part = *rig.chip.part;
  rig.lines.ClosePort();
  std::vector<std::uint16_t> words(static_cast<std::size_t>(d.CodeSize), 0x3FFF);
  for (int i = 0; i < 24; ++i)
    words[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(0x100 + i);
  auto writer = PicFlashCodeWriter(d, rig.lines, TimingOn(d, rig.lines), words, false);
  writer->Run();
  ASSERT_FALSE(writer->Failed);
  for (int i = 0; i < 24; ++i) ASSERT_EQ(part.Code()[static_cast<std::size_t>(i)], 0x100 + i);
  const std::vector<int> commands = rig.chip.Commands();
  const std::vector<int> firstRow = {2, 6, 2, 6, 2, 6, 2, 6, 2, 6, 2, 6, 2, 6, 2, 0x18, 0x17, 6};
  ASSERT_GE(commands.size(), firstRow.size());
  EXPECT_EQ(std::vector<int>(commands.begin(), commands.begin() + 18), firstRow);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), 0x18), d.CodeSize / 8);
  EXPECT_GE(rig.chip.sent[16].timeUs - rig.chip.sent[15].timeUs, 1000);
  EXPECT_EQ(part.LostCycles(), 0);

  TPicSession straddling(rig.lines, TimingOn(d, rig.lines), 1, [](TPicSession&, PicSerial& link) {
    for (int i = 0; i < 0x0D; ++i) link.PicCommand(pic::kIncrementAddress, 0);
    for (int i = 0; i < 6; ++i) {
      if (i > 0) link.PicCommand(pic::kIncrementAddress, 0);
      link.PicCommand(pic::kLoadProgram, 0);  // 0Dh..12h: rows 08h and 10h
    }
    link.PicCommand(pic::kBeginProgrammingOnly18, 0);
    Wait(link, 1000);
    link.PicCommand(pic::kEndProgramming17, 0);
  });
  straddling.Run();
  EXPECT_EQ(part.RefusedWrites(), 1);
  EXPECT_EQ(part.Code()[0x10], 0x100 + 0x10);
}

// The 16F87/88 keep a second configuration word at 2008h: written after the first, one
// program-only cycle each, the same way as the ID words.
TEST(PicFlashConfig, SixteenF88WritesItsSecondConfigurationWord) {
  const DeviceDescriptor d = Device("PIC 16F88");
  Rig<SniffedPic> rig(SettingsFor(ProgrammerType::TaitSerial), "PIC 16F88");
  PicFlashChip& part = *rig.chip.part;
  rig.lines.ClosePort();
  const std::vector<std::uint16_t> area = {1, 2, 3, 4, 0x3FFF, 0x3FFF, 0x3FFF, 0x3F3A, 0x3FFD};
  PicFlashConfigWriter(d, rig.lines, TimingOn(d, rig.lines), area)->Run();
  EXPECT_EQ(part.ConfigWord(0), 0x3F3A);
  EXPECT_EQ(part.ConfigWord(1), 0x3FFD);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(part.IdWord(i), i + 1);
  const std::vector<int> word = {2, 0x18, 0x17, 6};
  std::vector<int> expected = {0};
  for (int i = 0; i < 4; ++i) expected.insert(expected.end(), word.begin(), word.end());
  expected.insert(expected.end(), {6, 6, 6});
  for (int i = 0; i < 2; ++i) expected.insert(expected.end(), word.begin(), word.end());
  EXPECT_EQ(rig.chip.Commands(), expected);
  EXPECT_EQ(rig.chip.sent.back().timeUs - rig.chip.sent[rig.chip.sent.size() - 3].timeUs >= 1000,
            true);
}

// The 16F62xA and 12F6xx take VPP before VDD where the programmer switches VDD: a part set to
// run at power-up with MCLR as a pin cannot be entered the other way round.
TEST(PicFlashEntry, VppComesBeforeVddWhereThePartAsksForIt) {
  struct Case {
    const char* device;
    ProgrammerType type;
    bool vppFirst;
  };
  for (const Case& c : {Case{"PIC 16F628A", ProgrammerType::ProPic2, true},
                        Case{"PIC 12F675", ProgrammerType::TaitSerial, true},
                        Case{"PIC 16F877A", ProgrammerType::ProPic2, false},
                        Case{"PIC 16F628A", ProgrammerType::Jdm, false}}) {
    SCOPED_TRACE(std::string(c.device) + (c.type == ProgrammerType::Jdm ? " JDM" : ""));
    const DeviceDescriptor d = Device(c.device);
    Rig<SniffedPic> rig(SettingsFor(c.type, d.PinCount), c.device);
    rig.lines.ClosePort();
    // MCLR a pin, the internal oscillator: the part runs as soon as it has VDD.
    const bool runs = d.Algorithm != PicAlgorithm::F87xA && c.type != ProgrammerType::Jdm;
    if (runs) {
      const std::uint16_t word = d.Algorithm == PicAlgorithm::F6xx ? 0x31DC : 0x3FDC;
      rig.chip.part->SetElement(ChipRegion::Config, 7, word);
    }
    rig.chip.vccUs = rig.chip.mclrUs = -1;
    auto reader = PicCalibrationReader(d, rig.lines, TimingOn(d, rig.lines));
    reader->Run();
    EXPECT_EQ(rig.chip.mclrUs < rig.chip.vccUs, c.vppFirst)
        << rig.chip.mclrUs << " " << rig.chip.vccUs;
    EXPECT_EQ(reader->Words[0], rig.chip.part->Code()[static_cast<std::size_t>(d.CodeSize - 1)]);
    if (!runs) continue;
    // VDD first, the part never listens.
    PicTiming vddFirst = TimingOn(d, rig.lines);
    vddFirst.VppFirst = false;
    auto late = PicCalibrationReader(d, rig.lines, vddFirst);
    late->Run();
    EXPECT_NE(late->Words[1], rig.chip.part->ConfigWord());
  }
}

// Every wait is the facts' minimum: a cycle given 10% less time than the device's waits is
// lost, and the part keeps what it had.
TEST(PicFlashWaits, ACycleCutShortIsLost) {
  enum class Wait { Program, Data, Erase };
  for (const char* device : {"PIC 16F628A", "PIC 16F88", "PIC 12F675", "PIC 16F877A"}) {
    for (Wait wait : {Wait::Program, Wait::Data, Wait::Erase}) {
      for (int percent : {100, 90}) {
        SCOPED_TRACE(std::string(device) + " wait " + std::to_string(static_cast<int>(wait)) +
                     " at " + std::to_string(percent) + "%");
        DeviceDescriptor d = Device(device);
        int& us = wait == Wait::Program ? d.Waits.ProgramUs
                  : wait == Wait::Data  ? d.Waits.DataUs
                                        : d.Waits.EraseUs;
        us = us * percent / 100;
        Rig<SniffedPic> rig(SettingsFor(ProgrammerType::TaitSerial, d.PinCount), device);
        PicFlashChip& part = *rig.chip.part;
        rig.lines.ClosePort();
        part.SetElement(ChipRegion::Code, 3, 0x0AAA);
        std::unique_ptr<TPicSession> session;
        std::vector<std::uint16_t> words(static_cast<std::size_t>(d.CodeSize), 0x3FFF);
        words[0] = 0x1555;
        const std::vector<std::uint16_t> bytes = {0x5A};
        if (wait == Wait::Program)
          session = PicFlashCodeWriter(d, rig.lines, TimingOn(d, rig.lines), words, false);
        if (wait == Wait::Data)
          session = PicFlashDataWriter(d, rig.lines, TimingOn(d, rig.lines), bytes, false);
        if (wait == Wait::Erase) session = PicFlashEraser(d, rig.lines, TimingOn(d, rig.lines));
        session->Run();
        const bool done = wait == Wait::Program ? part.Code()[0] == 0x1555
                          : wait == Wait::Data  ? part.Data()[0] == 0x5A
                                                : part.Code()[3] == 0x3FFF;
        EXPECT_EQ(done, percent == 100);
        EXPECT_EQ(part.LostCycles() > 0, percent != 100);
      }
    }
  }
}

}  // namespace
}  // namespace kestrum
