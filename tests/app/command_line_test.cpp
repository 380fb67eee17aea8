// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line parsing and the port rules of -g and -o.
#include "app/command_line.hpp"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

CommandLine Parse(std::vector<std::string> args) {
  auto result = ParseCommandLine(args);
  if (auto* error = std::get_if<UsageError>(&result)) {
    ADD_FAILURE() << error->Reason;
    return {};
  }
  return std::get<CommandLine>(result);
}

std::string Reason(std::vector<std::string> args) {
  auto result = ParseCommandLine(args);
  const auto* error = std::get_if<UsageError>(&result);
  return error ? error->Reason : "(accepted)";
}

TEST(CommandLine, ActionsQuitModeAndStepsInArgumentOrder) {
  const CommandLine cl = Parse({"-T62", "-l/tmp/blink.HEX", "-P", "-v", "-q", "-i", "-sOut.hex"});
  EXPECT_TRUE(cl.ProgramAll);
  EXPECT_TRUE(cl.Verify);
  EXPECT_FALSE(cl.ReadAll);
  EXPECT_EQ(cl.Quit, QuitMode::AfterVerify);  // the last of -p, -v, -r
  EXPECT_TRUE(cl.QuitRequested);
  EXPECT_TRUE(cl.NoWindow);
  EXPECT_EQ(cl.SaveFile, "Out.hex");  // values keep their letter case
  ASSERT_EQ(cl.Steps.size(), 2u);
  EXPECT_EQ(cl.Steps[0], (CommandStep{CommandStep::Kind::SelectDevice, {}, 62}));
  EXPECT_EQ(cl.Steps[1], (CommandStep{CommandStep::Kind::LoadFile, "/tmp/blink.HEX"}));
}

TEST(CommandLine, DeviceIdentityOptions) {
  const CommandLine cl = Parse({"--simulate", "--socket=PIC 16F88", "--device=PIC 16F628A",
                                "--detect", "--no-id-check", "--overwrite-calibration"});
  EXPECT_EQ(cl.SocketPart, "PIC 16F88");
  ASSERT_EQ(cl.Steps.size(), 1u);
  EXPECT_EQ(cl.Steps[0], (CommandStep{CommandStep::Kind::SelectDeviceByName, "PIC 16F628A"}));
  EXPECT_TRUE(cl.Detect && cl.NoIdCheck && cl.OverwriteCalibration);
  EXPECT_EQ(Parse({"--show-device=PIC 16F88"}).ShowDevice, "PIC 16F88");
  EXPECT_EQ(Reason({"--device="}), "missing value for --device");
  EXPECT_EQ(Reason({"--detect=1"}), "unknown option --detect=1");
}

TEST(CommandLine, ValuesAreTakenWhole) {
  const std::string longPath = "/home/user/projects/" + std::string(80, 'x') + "/firmware.hex";
  const CommandLine cl = Parse({"-l" + longPath, "-s", longPath + ".out"});
  EXPECT_EQ(cl.Steps[0].Path, longPath);
  EXPECT_EQ(cl.SaveFile, longPath + ".out");
}

TEST(CommandLine, PortAndProgrammerNumbers) {
  EXPECT_EQ(Parse({"-o7"}).Steps[0].Number, 1);
  EXPECT_EQ(Parse({"-o0"}).Steps[0].Number, 1);
  EXPECT_EQ(Parse({"-o3"}).Steps[0].Number, 3);
  EXPECT_EQ(Parse({"-o4"}).Steps[0].Number, 4);
  EXPECT_EQ(PortForProgrammer(1, "Com 2"), "LPT1");
  EXPECT_EQ(PortForProgrammer(1, "com3"), "LPT1");
  EXPECT_EQ(PortForProgrammer(0, "LPT2"), "Com1");
  EXPECT_EQ(PortForProgrammer(0, "Com3"), "Com3");
  EXPECT_EQ(PortForProgrammer(6, "LPT2"), "LPT2");
  EXPECT_EQ(PortForNumber(6, 2), "LPT2");
  EXPECT_EQ(PortForNumber(0, 4), "Com4");
  EXPECT_EQ(Parse({"-f3FF1"}).Steps[0].Number, 0x3FF1);
  EXPECT_EQ(Parse({"-fabcd"}).Steps[0].Number, 0xABCD);
}

TEST(CommandLine, UsageErrorsSayWhatWasWrong) {
  EXPECT_EQ(Reason({"-t"}), "missing value for -t");
  EXPECT_EQ(Reason({"-g13"}), "programmer type must be 0 to 12: -g13");
  EXPECT_EQ(Reason({"-f3FF"}), "-f needs four hexadecimal digits: -f3FF");
  EXPECT_EQ(Reason({"-f3FG1"}), "-f needs four hexadecimal digits: -f3FG1");
  EXPECT_EQ(Reason({"-z"}), "unknown option -z");
  EXPECT_EQ(Reason({"-pv"}), "unknown option -pv");
  EXPECT_EQ(Reason({"--frobnicate"}), "unknown option --frobnicate");
  EXPECT_EQ(Reason({"--trace"}), "missing value for --trace");
  EXPECT_EQ(Reason({"-l"}), "missing value for -l");
}

// Names are looked up when the step runs; numbers stay numbers.
TEST(CommandLine, DevicesProgrammersAndPortsByName) {
  using K = CommandStep::Kind;
  const CommandLine cl = Parse({"-t16f84a", "-g", "GPIO header", "-o/dev/ttyUSB0", "-t62",
                                "--show-programmer", "JDM Programmer", "--list-ports"});
  const std::vector<CommandStep> steps{{K::SelectDeviceByName, "16f84a"},
                                       {K::ProgrammerName, "GPIO header"},
                                       {K::PortName, "/dev/ttyUSB0"},
                                       {K::SelectDevice, {}, 62}};
  EXPECT_EQ(cl.Steps, steps);
  EXPECT_EQ(cl.ShowProgrammer, "JDM Programmer");
  EXPECT_TRUE(cl.ListPorts);
  EXPECT_EQ(PortForProgrammer(PortKind::Gpio, "Com 2"), "gpiochip0");
  EXPECT_EQ(PortForProgrammer(PortKind::Parallel, "gpiochip0"), "LPT1");
  EXPECT_EQ(PortForNumber(PortKind::Gpio, 2), "gpiochip1");
}

TEST(CommandLine, LongOptions) {
  const CommandLine cl = Parse({"--simulate", "--trace=/tmp/run.vcd", "--yes", "--disassemble"});
  EXPECT_EQ(cl.SimulateDir, "");
  EXPECT_EQ(cl.TraceFile, "/tmp/run.vcd");
  EXPECT_TRUE(cl.Yes);
  EXPECT_EQ(cl.Disassemble, "");
  EXPECT_EQ(Parse({"--simulate=/var/chips"}).SimulateDir, "/var/chips");
  EXPECT_FALSE(Parse({"-p"}).SimulateDir.has_value());
}

// Relative to the current folder, as "-s" saves: never to the folder the dialogs last used.
TEST(CommandLine, ARelativeLoadPathIsTheCurrentFolders) {
  EXPECT_EQ(ResolveLoadPath("blink.hex", "/tmp"), "/tmp/blink.hex");
  EXPECT_EQ(ResolveLoadPath("blink.hex", "/"), "/blink.hex");
  EXPECT_EQ(ResolveLoadPath("sub/blink.hex", "/tmp"), "/tmp/sub/blink.hex");
  EXPECT_EQ(ResolveLoadPath("/abs/blink.hex", "/tmp"), "/abs/blink.hex");
}

}  // namespace
}  // namespace kestrum
