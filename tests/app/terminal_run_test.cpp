// SPDX-License-Identifier: GPL-3.0-or-later
// Batch runs without a window on the virtual programmer: what the user sees on the terminal,
// the exit status, the files written and the settings left behind.
#include "app/terminal_run.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <variant>

#include "../sanitized.hpp"
#include "app/command_line.hpp"
#include "app/device_listing.hpp"
#include "buffers/device_image.hpp"
#include "buffers/file_access.hpp"
#include "buffers/workspace.hpp"
#include "core/recording_ui.hpp"
#include "device/catalogue.hpp"
#include "device/texts.hpp"
#include "device/user_devices.hpp"

namespace kestrum {
namespace {

namespace fs = std::filesystem;

const std::string kExample = std::string(KESTRUM_EXAMPLES) + "/blink.hex";

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

class TerminalRun : public ::testing::Test {
 protected:
  TerminalRun() {
    char pattern[] = "/tmp/kestrum-run-XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  ~TerminalRun() override { fs::remove_all(dir_); }

  struct Outcome {
    int status;
    std::string out;
    std::string err;
  };
  Outcome Run(const std::vector<std::string>& args, bool terminalInput = false) {
    auto parsed = ParseCommandLine(args);
    EXPECT_TRUE(std::holds_alternative<CommandLine>(parsed));
    TerminalStreams streams;
    streams.out = std::tmpfile();
    streams.err = std::tmpfile();
    streams.in = std::tmpfile();
    streams.inputIsTerminal = terminalInput;
    const int status = RunInTerminal(std::get<CommandLine>(parsed), settings, streams);
    Outcome outcome{status, ReadAll(streams.out), ReadAll(streams.err)};
    std::fclose(streams.out);
    std::fclose(streams.err);
    std::fclose(streams.in);
    return outcome;
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string Simulate() const { return "--simulate=" + Path("chips"); }

  // The slot a HEX file loads into for the 16F84.
  static BufferSlot Load(const std::string& path) {
    const DeviceDescriptor device = DescriptorFor(*FindDeviceByName("PIC 16F84"));
    BufferSlot slot;
    slot.Fill(device.BlankValue);
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    const std::string text = contents.str();
    ByteStream in(text);
    RecordingUi ui;
    LoadProgramFile(device, slot, FileType::Ihx8, in, ui);
    EXPECT_TRUE(ui.Entries().empty()) << path;
    // As opening a file does: every element in the core width.
    for (auto* area : {&slot.CodeBuffer, &slot.DataBuffer, &slot.ConfigArea}) {
      for (std::uint16_t& v : *area) v &= device.BlankValue;
    }
    return slot;
  }

  MemorySettingsStore settings;
  std::string dir_;
};

TEST_F(TerminalRun, ProgramsVerifiesThenReadsBackTheExample) {
  const Outcome program = Run({"-i", Simulate(), "--yes", "-t62", "-l" + kExample, "-p", "-q"});
  EXPECT_EQ(program.status, 0) << program.err;
  EXPECT_NE(program.out.find("Programming Code (1024) bytes\n"), std::string::npos);
  EXPECT_NE(program.out.find("Device successfully verified!\n"), std::string::npos);
  EXPECT_NE(program.err.find("Do you really want to program the device? -> Yes (--yes)"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(Path("chips/PIC_16F84.hex")));

  const Outcome read = Run({"-i", Simulate(), "-t62", "-r", "-s" + Path("out"), "-q"});
  EXPECT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read.err, "");
  const BufferSlot expected = Load(kExample);
  const BufferSlot got = Load(Path("out.hex"));
  EXPECT_EQ(got.CodeBuffer, expected.CodeBuffer);
  EXPECT_EQ(got.ConfigArea, expected.ConfigArea);
  // The data EEPROM holds bytes: what the file does not mention reads back erased.
  for (int i = 0; i < 64; ++i) EXPECT_EQ(got.DataBuffer[i], expected.DataBuffer[i] & 0xFF) << i;
}

// The two FTDI types on the simulated FTDI chip: programmed in one run, read back by the next.
TEST_F(TerminalRun, TheFtdiTypesProgramAndTheNextRunReadsTheImageBack) {
  for (const char* type : {"-g10", "-g11"}) {
    SCOPED_TRACE(type);
    fs::remove_all(Path("chips"));
    const Outcome program =
        Run({"-i", Simulate(), "--yes", type, "-o1", "-t62", "-l" + kExample, "-p", "-q"});
    EXPECT_EQ(program.status, 0) << program.err;
    const Outcome read =
        Run({"-i", Simulate(), type, "-o1", "-t62", "-r", "-s" + Path("out"), "-q"});
    EXPECT_EQ(read.status, 0) << read.err;
    const BufferSlot expected = Load(kExample);
    const BufferSlot got = Load(Path("out.hex"));
    EXPECT_EQ(got.CodeBuffer, expected.CodeBuffer);
    EXPECT_EQ(got.ConfigArea, expected.ConfigArea);
  }
}

// The GPIO header with no settings at all, and a programmer from the user's programmers.toml
// next to an entry with a mistake: programmed in one run, read back by the next.
TEST_F(TerminalRun, TheGpioHeaderAndAUserProgrammerProgramAndTheNextRunReadsBack) {
  setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  fs::create_directories(Path("kestrum"));
  std::ofstream(Path("kestrum/programmers.toml"))
      << "[[programmer]]\nname = \"Broken\"\nport = \"parallel\"\n"
         "lines = { DataOut = 2, Clock = 3 }\n"
         "[[programmer]]\nname = \"Bench board\"\nport = \"parallel\"\n"
         "lines = { DataOut = 7, Clock = 9, MCLR = 2, VCC = [4, 5], DataIn = 10 }\n";
  const std::string broken = "Warning: " + Path("kestrum/programmers.toml") +
                             ":4:9: no DataIn line: the programmer could not read the chip back; "
                             "the programmer \"Broken\" is left out.\n";
  // The port by its name and by its device file.
  for (const auto& [type, port] :
       {std::pair{"-gGPIO header", "-ogpiochip0"}, std::pair{"-gbench board", "-o/dev/parport0"}}) {
    SCOPED_TRACE(type);
    fs::remove_all(Path("chips"));
    const Outcome program =
        Run({"-i", Simulate(), "--yes", type, port, "-t16F84", "-l" + kExample, "-p", "-q"});
    EXPECT_EQ(program.status, 1);  // the broken entry is a warning
    EXPECT_EQ(program.err, broken + "Do you really want to program the device? -> Yes (--yes)\n");
    const Outcome read =
        Run({"-i", Simulate(), type, "-tpic16f84", "-r", "-s" + Path("out"), "-q"});
    EXPECT_EQ(read.err, broken);
    const BufferSlot expected = Load(kExample);
    const BufferSlot got = Load(Path("out.hex"));
    EXPECT_EQ(got.CodeBuffer, expected.CodeBuffer);
    EXPECT_EQ(got.ConfigArea, expected.ConfigArea);
  }
  unsetenv("XDG_CONFIG_HOME");
}

// A name that fits nothing, or more than one thing, ends the run before anything is done.
TEST_F(TerminalRun, NamesThatFitNoneOrSeveralAreToldWithTheClosestOnes) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"-t16F8"},
       "Error: \"16F8\" names more than one device: PIC 16F87, PIC 16F88, PIC 16F83, PIC 16F84, "
       "PIC 16F84A. Give more of the name (see kestrum --list-devices).\n"},
      {{"-t16F8x4"},
       "Error: There is no device named \"16F8x4\". The closest: PIC 16F84, PIC 16F874, "
       "PIC 16C84, PIC 16F87, PIC 16F88 (see kestrum --list-devices).\n"},
      {{"-gjdm"},
       "Error: \"jdm\" names more than one programmer: JDM (FTDI cable), JDM Programmer. Give "
       "more of the name.\n"},
      {{"-gGPIO hat"},
       "Error: There is no programmer named \"GPIO hat\". The closest: GPIO header, FTDI "
       "bit-bang.\n"},
      {{"-gconquest", "-oLPT7"},
       "Error: There is no port named \"LPT7\". The closest: LPT1, LPT2, LPT3, LPT4 (see "
       "kestrum --list-ports).\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"-i", Simulate()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back("-r");
    const Outcome run = Run(args);
    EXPECT_EQ(run.status, 2) << c.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out.find("Reading"), std::string::npos);
  }
}

TEST_F(TerminalRun, FailuresExitNonZeroWithTheMessageOnStandardError) {
  ASSERT_EQ(Run({"-i", Simulate(), "--yes", "-t62", "-l" + kExample, "-p"}).status, 0);

  // A file that differs in one word from what the part holds.
  std::ifstream in(kExample);
  std::stringstream text;
  text << in.rdbuf();
  std::string changed = text.str();
  changed.replace(changed.find(":020000000528D1"), 15, ":020000000628D0");
  std::ofstream(Path("changed.hex")) << changed;
  const Outcome verify = Run({"-i", Simulate(), "-t62", "-l" + Path("changed.hex"), "-v"});
  EXPECT_EQ(verify.status, 1);
  EXPECT_NE(verify.err.find("Error: Verify failed at address 0000h !"), std::string::npos);

  const Outcome missing = Run({"-i", Simulate(), "-t62", "-l" + Path("none.hex"), "-p", "--yes"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.hex"), std::string::npos);
  EXPECT_EQ(missing.out.find("Programming"), std::string::npos);  // the run ended there

  const Outcome unknown = Run({"-i", Simulate(), "-t999", "-p"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err,
            "Error: There is no device with the number 999 (see kestrum --list-devices).\n");
  // The menu's "MDA 2062" has no device and no protocol behind it.
  const Outcome noProtocol = Run({"-i", Simulate(), "-t57", "-r"});
  EXPECT_EQ(noProtocol.status, 2);
  EXPECT_EQ(noProtocol.err,
            "Error: The MDA 2062 has no programming protocol in this version and cannot be "
            "selected.\n");
}

TEST_F(TerminalRun, AFileWithNoDataEndsTheRunBeforeAnythingIsDone) {
  std::ofstream(Path("photo.jpg"), std::ios::binary) << "\xFF\xD8\xFF\xE0\x00\x10JFIF";
  const Outcome run = Run({"-i", Simulate(), "--yes", "-t62", "-l" + Path("photo.jpg"), "-p",
                           "-s" + Path("copy.hex"), "-q", "--disassemble=" + Path("photo.asm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "Warning: Nothing loaded, the file holds no data: " + Path("photo.jpg") + "\n");
  EXPECT_EQ(run.out.find("Programming"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("copy.hex")));
  EXPECT_FALSE(fs::exists(Path("photo.asm")));
}

// An ATtiny13A file whose fuses disable RESET: told when it loads; the run stops before
// anything is driven, saying how to go on; with --force-fuses the part is written and, as its
// datasheet says, never answers again.
TEST_F(TerminalRun, FusesThatLockThePartOutStopTheRunUnlessForced) {
  std::ofstream(Path("rstdisbl.hex")) << ":040000000C94340028\n:02000004008278\n"
                                         ":020000006AFE96\n:00000001FF\n";
  const std::vector<std::string> run = {
      "-i", Simulate(), "--yes", "-t138", "-l" + Path("rstdisbl.hex"), "-p", "-r"};
  const std::string rstdisbl =
      "RSTDISBL programmed: the RESET pin becomes an I/O pin, and the part no longer enters "
      "serial programming. Only a high-voltage programmer can undo it.";
  const Outcome refused = Run(run);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Warning: The file carries fuses that would take the part away "
                             "from this programmer:\n\n" +
                             rstdisbl),
            std::string::npos);
  EXPECT_NE(refused.err.find("Error: " + rstdisbl +
                             "\nNothing was written. Run with --force-fuses to write these fuses "
                             "all the same."),
            std::string::npos);
  EXPECT_EQ(refused.out.find("Programming"), std::string::npos);
  EXPECT_EQ(refused.out.find("Reading"), std::string::npos);  // the read was not begun

  std::vector<std::string> forced = run;
  forced.push_back("--force-fuses");
  const Outcome bricked = Run(forced);
  EXPECT_EQ(bricked.status, 1);
  EXPECT_NE(bricked.out.find("Programming Configuration"), std::string::npos);
  EXPECT_NE(bricked.err.find("Error: The device does not answer"), std::string::npos);
  EXPECT_EQ(Run({"-i", Simulate(), "-t138", "-r"}).status, 1);
}

TEST_F(TerminalRun, QuestionsWithoutATerminalAreAnsweredNoUnlessYesIsGiven) {
  const Outcome declined = Run({"-i", Simulate(), "-t62", "-l" + kExample, "-p"});
  EXPECT_EQ(declined.status, 1);
  EXPECT_NE(declined.err.find("Do you really want to program the device? -> No (no terminal to "
                              "ask; run with --yes to answer Yes)"),
            std::string::npos);
  EXPECT_EQ(declined.out.find("Programming"), std::string::npos);

  // Asked on a terminal, the answer is read from it ("n" here: the input is empty).
  const Outcome asked = Run({"-i", Simulate(), "-t62", "-l" + kExample, "-p"}, true);
  EXPECT_EQ(asked.status, 1);
  EXPECT_NE(asked.err.find("Do you really want to program the device? [y/N] "), std::string::npos);
}

TEST_F(TerminalRun, CommandLineProgrammerAndPortAreNotSaved) {
  settings.WriteInteger("Programmer", 0);
  settings.WriteString("Port", "Com1");
  const Outcome run = Run({"-i", Simulate(), "--yes", "-t62", "-g6", "-o2", "-l" + kExample, "-p"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(settings.ReadInteger("Programmer", -1), 0);
  EXPECT_EQ(settings.ReadString("Port", ""), "Com1");
  // What a batch run does write: the device selection and the recent devices.
  EXPECT_EQ(settings.ReadInteger("Device", 0), 62);
  EXPECT_EQ(settings.ReadString("RecDevice0", ""), "   PIC 16F84");
}

TEST_F(TerminalRun, TraceAndListingFiles) {
  const Outcome run = Run({"-i", Simulate(), "-t62", "-l" + kExample, "-v",
                           "--trace=" + Path("run.vcd"), "--disassemble=" + Path("blink.asm")});
  EXPECT_EQ(run.status, 1);  // a new part is blank: the verify fails
  std::ifstream vcd(Path("run.vcd"));
  std::string header;
  std::getline(vcd, header);
  EXPECT_NE(header.find("$"), std::string::npos);
  std::stringstream listing;
  listing << std::ifstream(Path("blink.asm")).rdbuf();
  EXPECT_NE(listing.str().find("GOTO"), std::string::npos);
}

// Every new part, on the ProPic 2 and the JDM in turn: one run programs a random image from
// its file, a second run (a new program state finding the part where the first left it) reads
// it back into a file equal to the image: code, data EEPROM, IDs and configuration words.
TEST_F(TerminalRun, ASecondRunReadsBackWhatTheFirstProgrammedIntoEveryNewPart) {
  std::vector<int> parts = {132};
  if (!testing::kSanitized) {
    parts.clear();
    for (int number = 127; number <= 137; ++number) parts.push_back(number);
  }
  for (int number : parts) {
    const std::string type = number % 2 == 0 ? "-g6" : "-g0";
    const CatalogueEntry& entry = *FindDeviceByNumber(number);
    SCOPED_TRACE(std::string(entry.Name));
    MemorySettingsStore store;
    Workspace image(store);
    image.SelectDevice(entry);
    const DeviceDescriptor& d = image.Device;
    std::mt19937 random(static_cast<unsigned>(number));
    BufferSlot& slot = image.Active();
    for (int i = 0; i < d.CodeSize; ++i) slot.CodeBuffer[i] = random() & 0x3FFF;
    for (int i = 0; i < d.DataSize; ++i) slot.DataBuffer[i] = random() & 0xFF;
    image.Config.Oscillator.Select(
        static_cast<int>(random() % image.Config.Oscillator.Items.size()));
    for (FuseCheckBox& fuse : image.Config.Fuses) {
      fuse.Checked = fuse.Caption == "MCLR" || (fuse.Caption != "CPD" && (random() & 1));
    }
    image.Config.CodeProtect.Select(1);  // "CP OFF"
    image.Config.SetIdText(d, slot, "7A3C");
    const std::string file = Path("image.hex");
    std::ofstream(file, std::ios::binary) << DeviceHexFile(d, slot);
    const std::string device = "-t" + std::to_string(number);

    const Outcome program =
        Run({"-i", Simulate(), "--yes", type, "-o1", device, "-l" + file, "-p"});
    EXPECT_EQ(program.status, 0) << program.err;
    const Outcome read =
        Run({"-i", Simulate(), type, "-o1", device, "-r", "-s" + Path("out"), "-q"});
    ASSERT_EQ(read.status, 0) << read.err;
    std::ifstream saved(Path("out.hex"), std::ios::binary);
    std::stringstream text;
    text << saved.rdbuf();
    BufferSlot got;
    got.Fill(d.BlankValue);
    const std::string contents = text.str();
    ByteStream in(contents);
    RecordingUi ui;
    LoadProgramFile(d, got, FileType::Ihx8, in, ui);
    // The 12F629/675 keep their own calibration word at the end of program memory.
    const int code = d.HasOscCal ? d.CodeSize - 1 : d.CodeSize;
    EXPECT_TRUE(std::equal(slot.CodeBuffer.begin(), slot.CodeBuffer.begin() + code,
                           got.CodeBuffer.begin()));
    EXPECT_TRUE(std::equal(slot.DataBuffer.begin(), slot.DataBuffer.begin() + d.DataSize,
                           got.DataBuffer.begin()));
    EXPECT_TRUE(
        std::equal(slot.ConfigArea.begin(), slot.ConfigArea.begin() + 4, got.ConfigArea.begin()));
    for (int k = 0; k < d.ConfigWords; ++k) {
      const std::uint16_t mask = ConfigWordMask(d, k);
      EXPECT_EQ(got.ConfigArea[7 + k] & mask, slot.ConfigArea[7 + k] & mask) << k;
    }
  }
}

// The virtual socket can hold another part than the selected one: Detect names it and, on
// Yes, selects it; the ID check stops Program All before it erases.
TEST_F(TerminalRun, DetectAndTheIdCheckRunFromTheCommandLine) {
  const std::string socket = "--socket=16f88";  // named as -t names it
  const Outcome detect = Run({"-i", Simulate(), socket, "--yes", "-t128", "--detect"});
  EXPECT_EQ(detect.status, 0) << detect.err;
  EXPECT_NE(detect.err.find("Found PIC 16F88, revision 5 (device ID 0765h). Select it? -> Yes"),
            std::string::npos)
      << detect.err;
  EXPECT_EQ(settings.ReadInteger("Device", 0), 131);

  const Outcome program = Run({"-i", Simulate(), socket, "--yes", "-t128", "-l" + kExample, "-p"});
  EXPECT_EQ(program.status, 1);
  EXPECT_NE(program.err.find("Error: Found PIC 16F88 in the socket, not the selected PIC 16F628A: "
                             "nothing was done."),
            std::string::npos)
      << program.err;
  EXPECT_EQ(program.out.find("Programming"), std::string::npos);

  const auto noSimulate = ParseCommandLine({"-i", socket, "-t128", "--detect"});
  ASSERT_TRUE(std::holds_alternative<UsageError>(noSimulate));
  EXPECT_EQ(std::get<UsageError>(noSimulate).Reason, "--socket needs --simulate");
}

// A part from the user's devices file is selected by name and programmed; the entry that was
// skipped is told first, and counts as something that went wrong.
TEST_F(TerminalRun, AUserPartIsSelectedByNameAndTheFilesProblemsAreTold) {
  InstallUserDevices(
      ReadUserDevices("[[device]]\nname = \"PIC 16F628A-H\"\n"
                      "parent = \"PIC 16F628A\"\ncode_size = 1024\n"
                      "device_id = 0x1FE0\n[[device]]\nname = 7\n",
                      "devices.toml"));
  const Outcome run =
      Run({"-i", Simulate(), "--yes", "--device=PIC 16F628A-H", "-l" + kExample, "-p"});
  InstallUserDevices({});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.starts_with(
      "Warning: devices.toml:7:8: \"name\" must be a non-empty string; the entry is skipped\n"))
      << run.err;
  EXPECT_NE(run.out.find("Device successfully verified!"), std::string::npos) << run.out;
  EXPECT_EQ(settings.ReadInteger("Device", 0), kFirstUserDeviceNumber);
}

// --show-device takes a name as --device does and prints the entry to copy from.
TEST(ShowDevice, PrintsTheDeviceANameNamesOrSaysWhyNot) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(ShowDevice("16f628a", out, err), 0);
  EXPECT_EQ(ShowDevice("PIC 16F62", out, err), 2);
  EXPECT_TRUE(ReadAll(out).starts_with(std::string(text::kUserShowHeader) +
                                       "[[device]]\nname = \"PIC 16F628A\"\n"));
  EXPECT_EQ(ReadAll(err),
            "kestrum: \"PIC 16F62\" names more than one device: PIC 16F627, PIC 16F628, "
            "PIC 16F627A, PIC 16F628A. Give more of the name (see kestrum --list-devices).\n");
  std::fclose(out);
  std::fclose(err);
}

}  // namespace
}  // namespace kestrum
