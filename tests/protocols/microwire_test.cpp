// SPDX-License-Identifier: GPL-3.0-or-later
// The Microwire and 4-wire workers on the chip models, seen on the pin trace: the instructions
// each sends, bit by bit as the part sees them on its rising clock, within each chip select.
#include "protocols/microwire.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "../sim/rig.hpp"
#include "device/catalogue.hpp"
#include "sim/chips/microwire_chip.hpp"
#include "sim/boards/vcd_writer.hpp"

namespace kestrum {
namespace {

std::string Bits(unsigned value, int count) {
  std::string s;
  for (int i = count - 1; i >= 0; --i) s += (value >> i) & 1 ? '1' : '0';
  return s;
}

// What the programmer sent in each chip select of a pin trace: Data Out at every rising clock
// while MCLR is high.
std::vector<std::string> Frames(const std::string& vcd) {
  std::string mclr, clock, data;
  bool selected = false, clockHigh = false, dataHigh = false;
  std::vector<std::string> frames;
  std::istringstream in(vcd);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("$var")) {
      std::istringstream words(line);
      std::string var, type, width, id, name;
      words >> var >> type >> width >> id >> name;
      if (name == "mclr") mclr = id;
      if (name == "clock") clock = id;
      if (name == "data_out") data = id;
      continue;
    }
    if (line.size() < 2 || (line[0] != '0' && line[0] != '1')) continue;
    const bool high = line[0] == '1';
    const std::string_view id = std::string_view(line).substr(1);
    if (id == mclr) {
      if (high && !selected) frames.emplace_back();
      selected = high;
    } else if (id == clock) {
      if (high && !clockHigh && selected && !frames.empty()) frames.back() += dataHigh ? '1' : '0';
      clockHigh = high;
    } else if (id == data) {
      dataHigh = high;
    }
  }
  return frames;
}

struct Traced {
  std::vector<std::string> frames;
  std::vector<std::uint16_t> words;  // what a read worker read
  std::vector<std::uint16_t> cells;  // what the part holds afterwards
};

std::uint16_t Pattern(int i) {
  return static_cast<std::uint16_t>(0xA55A ^ (i * 0x0101));
}

// Runs the device's read or program worker on the ProPic 2, with the part holding (or given)
// Pattern(i) in every word i.
Traced RunWorker(std::string_view device, bool program) {
  const DeviceDescriptor d = DescriptorFor(*FindDeviceByName(device));
  Rig<MicrowireChip> rig(SettingsFor(ProgrammerType::ProPic2, 8), *MicrowireChipFor(device));
  std::ostringstream vcd;
  PinTrace trace(vcd);
  rig.board().SetTrace(&trace);
  const bool four = FamilyOf(d) == DeviceFamily::FourWireEeprom;
  const int adjust = MicrowireAddressWidthAdjust(d.Variant);
  Traced t;
  auto run = [&](auto worker) {
    for (int i = 0; i < d.CodeSize; ++i) {
      if (program) {
        worker->Words[i] = Pattern(i);
      } else {
        rig.chip.SetElement(ChipRegion::Code, i, Pattern(i));
      }
    }
    worker->Run();
    t.words = worker->Words;
  };
  if (program && four) run(std::make_unique<TWire4ProgThread>(rig.lines, d.CodeSize));
  if (program && !four) run(std::make_unique<TMicroProgThread>(rig.lines, d.CodeSize, adjust));
  if (!program && four) run(std::make_unique<TWire4ReadThread>(rig.lines, d.CodeSize));
  if (!program && !four) run(std::make_unique<TMicroReadThread>(rig.lines, d.CodeSize, adjust));
  trace.Finish();
  rig.board().SetTrace(nullptr);
  t.frames = Frames(vcd.str());
  t.cells.assign(rig.chip.Words().begin(), rig.chip.Words().end());
  return t;
}

// The instructions of chosen chip selects, written as in a datasheet (blanks ignored): a read
// clocks in 16 bits with the data line released; a write carries Pattern(address).
TEST(MicrowireWaveform, InstructionsCarryTheirStartBitOpcodeAndAddressWidth) {
  const std::string released(16, '1');
  struct Case {
    const char* device;
    bool program;
    std::vector<std::pair<int, std::string>> frames;  // select number, bits
  };
  for (const Case& c : {
           // Each read has a chip select of its own.
           Case{"93C46", false, {{5, "110 000101 " + released}}},
           Case{"93C06", false, {{15, "110 001111 " + released}}},  // 4 bits for 16 words, plus 2
           Case{"93C56", false, {{127, "110 01111111 " + released}}},
           Case{"59C11", false, {{5, "11000 000101 " + released}}},
           // EWEN first; the writes follow in the selects after it.
           Case{"93C86",
                true,
                {{0, "100 1111111111"}, {1 + 0x3FF, "101 1111111111 " + Bits(Pattern(0x3FF), 16)}}},
           Case{"59C13",
                true,
                {{0, "10011 00000000"}, {1 + 2, "10100 00000010 " + Bits(Pattern(2), 16)}}},
       }) {
    SCOPED_TRACE(c.device);
    const Traced t = RunWorker(c.device, c.program);
    const int words = static_cast<int>(t.cells.size());
    // One select per word; programming adds one for EWEN, and on Microwire parts one for the
    // last ready wait.
    const int extra = !c.program ? 0 : std::string_view(c.device).starts_with("59") ? 1 : 2;
    ASSERT_EQ(t.frames.size(), static_cast<std::size_t>(words + extra));
    for (const auto& [frame, bits] : c.frames) {
      std::string expected = bits;
      std::erase(expected, ' ');
      EXPECT_EQ(t.frames[frame], expected) << "select " << frame;
    }
    for (int i = 0; i < words; ++i) {
      ASSERT_EQ(t.cells[i], Pattern(i)) << i;
      if (!c.program) {
        ASSERT_EQ(t.words[i], Pattern(i)) << i;
      }
    }
  }
}

}  // namespace
}  // namespace kestrum
