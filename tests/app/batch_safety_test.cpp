// SPDX-License-Identifier: GPL-3.0-or-later
// Runs that must not hurt: a file that did not load cleanly programs nothing (a batch stops,
// the window asks), the chips' files are used only when they load and are locked while in use,
// a failing port call stops the run, output and trace failures are errors while a reader that
// goes away is not, paths mean what a shell user means, and the NVM 3060 goes round on the JDM.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <utility>
#include <variant>

#include "../hardware/fake_os.hpp"
#include "app/application.hpp"
#include "app/command_line.hpp"
#include "app/simulated_programmer.hpp"
#include "app/terminal_run.hpp"
#include "buffers/hex_file.hpp"
#include "core/recording_ui.hpp"
#include "core/settings_store.hpp"
#include "device/catalogue.hpp"
#include "hardware/port_opener.hpp"
#include "sim/boards/sim_port.hpp"
#include "sim/chips/chip_models.hpp"

namespace kestrum {
namespace {

namespace fs = std::filesystem;

const std::string kExample = std::string(KESTRUM_EXAMPLES) + "/blink.hex";

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string ReadBack(std::FILE* file) {
  if (file == nullptr || std::fseek(file, 0, SEEK_SET) != 0) return {};
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

class BatchRun : public ::testing::Test {
 protected:
  BatchRun() {
    char pattern[] = "/tmp/kestrum-batch-XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  ~BatchRun() override { fs::remove_all(dir_); }

  struct Outcome {
    int status;
    std::string out;
    std::string err;
  };
  // One run of the program; `out` replaces its standard output when given.
  Outcome Run(const std::vector<std::string>& args, std::FILE* out = nullptr) {
    auto parsed = ParseCommandLine(args);
    EXPECT_TRUE(std::holds_alternative<CommandLine>(parsed));
    TerminalStreams streams;
    streams.out = out != nullptr ? out : std::tmpfile();
    streams.err = std::tmpfile();
    streams.in = std::tmpfile();
    const int status = RunInTerminal(std::get<CommandLine>(parsed), settings, streams);
    Outcome outcome{status, out != nullptr ? "" : ReadBack(streams.out), ReadBack(streams.err)};
    if (out == nullptr) std::fclose(streams.out);
    std::fclose(streams.err);
    std::fclose(streams.in);
    return outcome;
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string Simulate() const { return "--simulate=" + Path("chips"); }
  std::string Chip(const std::string& device) const {
    return SimulatedProgrammer::ImagePath(Path("chips"), device);
  }

  MemorySettingsStore settings;
  std::string dir_;
};

std::string Hex(const std::vector<std::uint8_t>& bytes, int address) {
  std::string text;
  WriteHexBytes(text, bytes, address);
  return text;
}

// A file that did not load cleanly ends the batch before any device operation, with the file
// and the line (or what lay outside the device) in the message.
TEST_F(BatchRun, AFileThatDidNotLoadCleanlyProgramsNothing) {
  struct Case {
    std::string device;
    std::string contents;
    std::string told;  // after the file's path
  };
  const std::string good = Hex({1, 2, 3, 4}, 0);
  const std::vector<Case> cases = {
      {"-t45", good + ":04000400Z1020304EE\r\n", "Error: Error in file!\n{}, line 2\n"},
      {"-t45", good + ":0400040001020304EF\r\n", "Error: Checksum error!\n{}, line 2\n"},
      {"-t45", good + Hex(std::vector<std::uint8_t>(16, 7), 0x9000),
       "Warning: Not loaded, outside the device: 16 bytes, the first at 9000h.\n{}\n"},
      {"-t45", std::string(":02000004000F") + "EB\r\n" + good,  // data behind 0F0000h
       "Warning: Not loaded, outside the device: 4 bytes, the first at F0000h.\n{}\n"},
      {"-t62", ":0400000001020304ZZ\r\n",
       "Warning: Nothing loaded, no record of the file could be read: {}\n"}};
  for (const Case& c : cases) {
    const std::string file = Path("broken.hex");
    std::ofstream(file, std::ios::binary) << c.contents;
    const Outcome run = Run({"-i", Simulate(), "--yes", c.device, "-l" + file, "-p", "-q"});
    std::string told = c.told;
    told.replace(told.find("{}"), 2, file);
    EXPECT_EQ(run.status, 1) << c.contents;
    EXPECT_NE(run.err.find(told), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Programming"), std::string::npos) << run.out;
  }
  // Larger than any device could use: refused before it is read.
  const std::string huge = Path("huge.hex");
  std::ofstream(huge, std::ios::binary) << good;
  fs::resize_file(huge, 256u << 20);
  const Outcome run = Run({"-i", Simulate(), "--yes", "-t45", "-l" + huge, "-p"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Error: Cannot open " + huge + ": File too large\n");
}

// A chip file that cannot be read or does not load is told with its path and left as it is;
// nothing runs on the chip.
TEST_F(BatchRun, AChipFileThatDoesNotLoadIsKeptAndNothingRuns) {
  const std::string chip = Chip("PIC 16F84");
  struct Case {
    bool folder;
    std::string contents;
    std::string told;  // after the path
  };
  for (const Case& c :
       {Case{true, "", ": Is a directory. It is left as it is"},
        Case{false, ":0400000001020304ZZ\r\n",
             " does not load cleanly: Error in file! (line 1). It is left as it is"},
        Case{false, "", " does not load cleanly: it holds no data. It is left as it is"}}) {
    fs::remove_all(Path("chips"));
    fs::create_directories(Path("chips"));
    if (c.folder) {
      fs::create_directory(chip);
    } else {
      std::ofstream(chip, std::ios::binary) << c.contents;
    }
    const Outcome run = Run({"-i", Simulate(), "--yes", "-t62", "-l" + kExample, "-p"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(chip + c.told), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Programming"), std::string::npos);
    EXPECT_EQ(fs::is_directory(chip), c.folder);
    if (!c.folder) {
      EXPECT_EQ(Contents(chip), c.contents);
    }
  }
}

// A second run on the same chip waits, and says so, until the first has let go of it: it then
// reads what the first saved, never stale contents of its own.
TEST_F(BatchRun, TheChipFileIsLockedWhileInUse) {
  const DeviceDescriptor device = DescriptorFor(*FindDeviceByName("PIC 16F84"));
  SimulatedProgrammer first(Path("chips"));
  RecordingUi ui;
  ASSERT_TRUE(first.InsertChipFor(device, ui));
  first.Model()->SetElement(ChipRegion::Code, 0, 0x1234);

  SimulatedProgrammer second(Path("chips"));
  bool ended = false;
  ui.onEntry = [&](const RecordingUi::Entry& e) {
    if (e.type != RecordingUi::Type::Message || std::exchange(ended, true)) return;
    // The first run ends while the second waits.
    EXPECT_TRUE(first.SaveChip(ui));
    first.InsertChipFor(DescriptorFor(*FindDeviceByName("24C16")), ui);
  };
  ASSERT_TRUE(second.InsertChipFor(device, ui));
  EXPECT_EQ(ui.Messages(),
            std::vector<std::string>{"Waiting until another run of Kestrum has finished with the "
                                     "simulated chip " +
                                     Chip("PIC 16F84") + " ..."});
  EXPECT_EQ(second.Model()->Element(ChipRegion::Code, 0), 0x1234);
}

// A reader that stops reading (| head -1) neither ends the run nor keeps it from powering down
// and saving its chip; standard output that is full is an error.
TEST_F(BatchRun, StandardOutputThatGoesAwayOrFillsUp) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  close(pipeEnds[0]);
  std::FILE* closedPipe = fdopen(pipeEnds[1], "w");
  const Outcome head = Run({"-i", Simulate(), "--yes", "-t62", "-l" + kExample, "-p"}, closedPipe);
  signal(SIGPIPE, SIG_IGN);  // for what is left in the stream's buffer
  std::fclose(closedPipe);
  EXPECT_EQ(head.status, 0) << head.err;
  EXPECT_NE(Contents(Chip("PIC 16F84")).find(":100000000528"), std::string::npos);

  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  const Outcome filled = Run({"-i", Simulate(), "-t62", "-r"}, full);
  std::fclose(full);
  EXPECT_EQ(filled.status, 1);
  EXPECT_NE(filled.err.find("Error: Cannot write to standard output: No space left on device\n"),
            std::string::npos)
      << filled.err;
}

// The trace never destroys the file the run loads, and a trace that could not be written whole
// fails the run.
TEST_F(BatchRun, TheTraceCannotHurt) {
  const std::string input = Path("blink.hex");
  fs::copy_file(kExample, input);
  const Outcome onInput = Run(
      {"-i", Simulate(), "--yes", "-t62", "-l" + input, "--trace=" + dir_ + "/./blink.hex", "-p"});
  EXPECT_EQ(onInput.status, 1);
  EXPECT_EQ(onInput.err, "Error: The trace file " + dir_ +
                             "/./blink.hex is the file given with -l; writing the trace would "
                             "destroy it. Nothing was done.\n");
  EXPECT_EQ(Contents(input), Contents(kExample));

  const Outcome full =
      Run({"-i", Simulate(), "--yes", "-t62", "-l" + input, "--trace=/dev/full", "-p"});
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("Error: The trace file could not be written completely: /dev/full"),
            std::string::npos)
      << full.err;
}

// Names mean what a shell user thinks: "-l" reads from the current folder as "-s" writes to it,
// a long legal name saves, a folder is no file name, a read-only file is not replaced.
TEST_F(BatchRun, PathsMeanWhatAShellUserThinks) {
  const fs::path before = fs::current_path();
  fs::create_directories(Path("elsewhere"));
  fs::create_directories(Path("here"));
  fs::copy_file(kExample, Path("elsewhere/fw.hex"));  // the folder the dialogs used last
  settings.WriteString("InitDir", Path("elsewhere"));
  fs::current_path(Path("here"));
  ASSERT_EQ(Run({"-i", Simulate(), "-t62", "-r", "-sfw.hex"}).status, 0);  // a blank part
  const Outcome verify = Run({"-i", Simulate(), "-t62", "-lfw.hex", "-v"});
  fs::current_path(before);
  EXPECT_EQ(verify.status, 0) << verify.err;
  EXPECT_NE(verify.out.find("Device successfully verified!"), std::string::npos);

  const std::string longName = Path(std::string(250, 'n') + ".hex");
  EXPECT_EQ(Run({"-i", Simulate(), "-t62", "-r", "-s" + longName}).status, 0);
  EXPECT_TRUE(fs::exists(longName));

  const Outcome folder = Run({"-i", Simulate(), "-t62", "-r", "-s" + Path("out/")});
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "Error: Cannot write " + Path("out/") + ": Is a directory\n");
  EXPECT_FALSE(fs::exists(Path("out/.hex")));

  const std::string readOnly = Path("kept.hex");
  std::ofstream(readOnly) << "mine";
  chmod(readOnly.c_str(), 0444);
  const Outcome kept = Run({"-i", Simulate(), "-t62", "-r", "-s" + readOnly});
  EXPECT_EQ(kept.status, 1);
  EXPECT_EQ(kept.err, "Error: Cannot write " + readOnly + ": Permission denied\n");
  EXPECT_EQ(Contents(readOnly), "mine");
}

// The NVM 3060 on the JDM, whose supply comes from the port lines: programmed and verified by
// one run, read back equal by the next.
TEST_F(BatchRun, Nvm3060RoundTripOnTheJdm) {
  std::mt19937 random(3060);
  std::vector<std::uint8_t> image(512);
  for (std::uint8_t& byte : image) byte = static_cast<std::uint8_t>(random());
  std::string file = Hex(image, 0);
  WriteHexEnd(file);
  std::ofstream(Path("img.hex"), std::ios::binary) << file;
  const Outcome program =
      Run({"-i", Simulate(), "--yes", "-g0", "-o1", "-t58", "-l" + Path("img.hex"), "-p", "-q"});
  EXPECT_EQ(program.status, 0) << program.err;
  EXPECT_NE(program.out.find("Device successfully verified!"), std::string::npos);
  const Outcome read =
      Run({"-i", Simulate(), "-g0", "-o1", "-t58", "-r", "-s" + Path("back.hex"), "-q"});
  EXPECT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(Contents(Path("back.hex")), file);
}

// The window's path: Program All of an image that did not load cleanly asks first, naming the
// file and the problem, with No the default; No programs nothing.
TEST_F(BatchRun, ProgramAllAsksBeforeProgrammingABrokenFile) {
  const std::string file = Path("broken.hex");
  std::ofstream(file, std::ios::binary) << Hex({1, 2, 3, 4}, 0) << ":04000400Z1020304EE\r\n";
  RecordingUi ui;
  VirtualClock clock;
  VirtualProgrammer programmer{clock};
  auto chip = ChipModelFor(DescriptorFor(*FindDeviceByName("24C16")));
  programmer.Insert(chip.get());
  settings.WriteInteger("Device", 45);
  Application app(settings, ui, clock, programmer);
  app.Startup(CommandLine{});
  ASSERT_EQ(app.Files.Open1Click(file, FileType::Ihx8), OpenResult::Damaged);
  for (bool yes : {false, true}) {
    ui.Clear();
    ui.Answer(yes);
    const OperationResult result = app.Ops.ProgramAll();
    const RecordingUi::Entry asked = ui.OfType(RecordingUi::Type::Question).at(0);
    EXPECT_EQ(asked.text, "The file did not load cleanly: " + file +
                              ": Error in file! (line 2)\rDo you really want to program the "
                              "device with what was loaded?");
    EXPECT_TRUE(asked.kind == MessageKind::Warning && asked.value == 1);  // No by default
    EXPECT_EQ(result.Declined, !yes);
    EXPECT_EQ(chip->Element(ChipRegion::Code, 0), yes ? 1 : 0xFF);
  }
}

// A port call that fails stops the read at once, names the device and the call, leaves the
// buffer as it was, and ends the batch before the save (which would write what was never read).
TEST_F(BatchRun, AFailingPortCallStopsTheRunAndTheSave) {
  struct Case {
    int programmer;
    std::string port;
    unsigned long request;
    std::string call;
  };
  for (const Case& c : {Case{0, "Com1", TIOCMBIS, "TIOCMBIS on /dev/ttyS0"},
                        Case{6, "LPT1", PPWDATA, "PPWDATA on /dev/parport0"}}) {
    FakeOs os;
    os.ioctlErrors[c.request] = EIO;
    SystemPortOpener opener(os);
    RecordingUi ui;
    VirtualClock clock;
    MemorySettingsStore store;
    store.WriteInteger("Programmer", c.programmer);
    store.WriteString("Port", c.port);
    Application app(store, ui, clock, opener);
    app.WindowVisible = false;
    const std::string saved = Path("read.hex");
    app.Startup(std::get<CommandLine>(ParseCommandLine({"-t45", "-r", "-s" + saved})));
    ui.Clear();
    std::fill_n(app.Work.Active().CodeBuffer.begin(), 2048, 0x5A);
    EXPECT_FALSE(app.OnActivate().Succeeded);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"The programmer port failed: " + c.call +
                                                      ": Input/output error. The operation was "
                                                      "stopped; what it read or programmed is "
                                                      "incomplete."});
    EXPECT_EQ(std::count(app.Work.Active().CodeBuffer.begin(),
                         app.Work.Active().CodeBuffer.begin() + 2048, 0x5A),
              2048);
    EXPECT_FALSE(fs::exists(saved));
    // Stopped after the byte in progress, and the port closed.
    EXPECT_LT(std::count_if(os.calls.begin(), os.calls.end(),
                            [&](const OsCall& call) { return call.request == c.request; }),
              400);
    EXPECT_EQ(os.calls.back().name, "close");
  }
}

}  // namespace
}  // namespace kestrum
