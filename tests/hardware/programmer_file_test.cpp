// SPDX-License-Identifier: GPL-3.0-or-later
// programmers.toml: each kind of mistake left out with its exact message while the good entries
// load, and every programmer printed in the file's format reading back as the same pins.
#include "hardware/programmer_file.hpp"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

// A good entry, to see that it loads whatever its neighbours do.
constexpr std::string_view kGood = R"(
[[programmer]]
name = "Good"
port = "parallel"
lines = { DataOut = 2, Clock = 3, MCLR = { pin = 4, active = "low" }, VCC = [5, 6], DataIn = 10 }
)";

std::vector<std::string> Names(const ProgrammerFile& file) {
  std::vector<std::string> names;
  for (const auto& p : file.programmers) names.push_back(p->name);
  return names;
}

TEST(ProgrammerFile, EachMistakeLeavesItsEntryOutWithWhereAndWhat) {
  struct Case {
    std::string_view entry;
    std::string problem;
  };
  const Case cases[] = {
      {R"([[programmer]]
name = "A"
port = "parallel"
lines = { DataOut = 2, Clock = 3, Data = 4, DataIn = 10 })",
       "p.toml:4:35: unknown line \"Data\" (the lines are DataOut, Clock, MCLR, VCC and DataIn); "
       "the programmer \"A\" is left out."},
      {R"([[programmer]]
name = "B"
port = "parallel"
lines = { DataOut = 27, Clock = 3, DataIn = 10 })",
       "p.toml:4:21: pin 27 is not an output of a parallel port (2 to 9); the programmer \"B\" is "
       "left out."},
      {R"([[programmer]]
name = "C"
port = "serial"
lines = { DataOut = 4, Clock = 7, DataIn = 3 })",
       "p.toml:4:44: pin 3 is not an input of a serial port (1 DCD, 6 DSR, 8 CTS or 9 RI); the "
       "programmer \"C\" is left out."},
      {R"([[programmer]]
name = "D"
port = "ftdi"
lines = { DataOut = 1, Clock = 1, DataIn = 2 })",
       "p.toml:4:32: DataOut and Clock are both on pin 1; the programmer \"D\" is left out."},
      {R"([[programmer]]
name = "E"
port = "gpio"
lines = { DataOut = 17, Clock = 27, MCLR = 23 })",
       "p.toml:4:9: no DataIn line: the programmer could not read the chip back; the programmer "
       "\"E\" is left out."},
      {R"([[programmer]]
name = "Good"
port = "gpio"
lines = { DataOut = 17, Clock = 27, DataIn = 22 })",
       "p.toml:2:8: a programmer named \"Good\" is already defined at line 1; the programmer "
       "\"Good\" is left out."},
      {R"([[programmer]]
name = "GPIO header"
port = "gpio"
lines = { DataOut = 17, Clock = 27, DataIn = 22 })",
       "p.toml:2:8: a programmer named \"GPIO header\" is built in; give yours another name; the "
       "programmer \"GPIO header\" is left out."},
      {R"([[programmer]]
name = "F"
port = "usb"
lines = { DataOut = 1, Clock = 2, DataIn = 3 })",
       "p.toml:3:8: port must be \"parallel\", \"serial\", \"ftdi\" or \"gpio\"; the programmer "
       "\"F\" is left out."},
      {R"([[programmer]]
port = "gpio"
lines = { DataOut = 1, Clock = 2, DataIn = 3 })",
       "p.toml:1:1: the programmer has no name; the programmer is left out."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    // The broken entry after the good one: positions are the broken one's own.
    const std::string text = std::string(kGood.substr(1)) + "\n" + std::string(c.entry);
    const std::string shifted = [&] {
      // The good entry takes five lines; the case's positions count from its own first line.
      std::string p = c.problem;
      const std::size_t first = p.find(':') + 1;
      const std::size_t second = p.find(':', first);
      const int line = std::stoi(p.substr(first, second - first)) + 5;
      return p.substr(0, first) + std::to_string(line) + p.substr(second);
    }();
    const ProgrammerFile file = ReadProgrammers(text, "p.toml");
    EXPECT_EQ(file.problems, std::vector<std::string>{shifted});
    EXPECT_EQ(Names(file), std::vector<std::string>{"Good"});
  }
}

TEST(ProgrammerFile, AFileThatIsNotTomlLoadsNothingAndSaysWhere) {
  const ProgrammerFile file = ReadProgrammers("[[programmer]\nname = 1\n", "p.toml");
  EXPECT_EQ(file.problems, std::vector<std::string>{
                               "p.toml:1:14: not a TOML file: Error while parsing table header: "
                               "expected ']', saw '\\n'; none of its programmers is loaded."});
  EXPECT_TRUE(file.programmers.empty());
}

// Whatever a user copies from --show-programmer loads as the same programmer.
TEST(ProgrammerFile, EveryProgrammerPrintedReadsBackAsTheSamePins) {
  for (int i = 0; i < kProgrammerTypeCount; ++i) {
    HardwareSettings settings;
    settings.Programmer = static_cast<ProgrammerType>(i);
    const ProgrammerRow& row = RowOf(settings);
    SCOPED_TRACE(row.listText);
    std::string text = FormatProgrammer(settings);
    const std::string name = "name = \"" + std::string(row.listText) + "\"";
    text.replace(text.find(name), name.size(), "name = \"Copy\"");
    const ProgrammerFile file = ReadProgrammers(text, "p.toml");
    if (!row.driven) {
      // TAFE and TAIT Parallel have no lines: the copy says so and does not load.
      EXPECT_TRUE(file.programmers.empty());
      continue;
    }
    ASSERT_EQ(file.problems, std::vector<std::string>{});
    ASSERT_EQ(file.programmers.size(), 1u);
    const ProgrammerRow& copy = file.programmers[0]->row;
    EXPECT_EQ(copy.portKind, row.portKind);
    EXPECT_EQ(copy.vppOnWaitUs, row.vppOnWaitUs);
    EXPECT_EQ(copy.vppOffWaitUs, row.vppOffWaitUs);
    if (PinDriven(row) || row.pinsFromSettings) {
      EXPECT_EQ(copy.pins, PinMapOf(settings));
    }
    // Printed again under the copy's name, it is the same text.
    HardwareSettings copied;
    copied.Programmer = ProgrammerType::User;
    copied.User = file.programmers[0];
    EXPECT_EQ(FormatProgrammer(copied).substr(FormatProgrammer(copied).find("[[")),
              text.substr(text.find("[[")));
  }
  // A name with a control character and quotes in it: escaped in the entry and in the comment
  // above it.
  HardwareSettings odd;
  odd.Programmer = ProgrammerType::User;
  odd.User = DefineProgrammer("Bench\r\"board\"", PortKind::Gpio, kGpioHeaderDefaultPins, 5, 5);
  const ProgrammerFile file = ReadProgrammers(FormatProgrammer(odd), "p.toml");
  ASSERT_EQ(file.programmers.size(), 1u) << file.problems.front();
  EXPECT_EQ(file.programmers[0]->name, odd.User->name);
}

}  // namespace
}  // namespace kestrum
