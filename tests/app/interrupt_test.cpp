// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl+C in a terminal run: the first is the progress window's Cancel button, the batch ends
// with the operation it cancelled, and a second (or one with nothing in progress) ends the process
// as the signal would. Cancelled on an FTDI cable, the programmer rests and the cable is a serial
// port again.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/application.hpp"
#include "app/interrupt_watcher.hpp"
#include "app/terminal_ui.hpp"
#include "core/recording_ui.hpp"
#include "operations/texts.hpp"
#include "sim/boards/sim_port.hpp"
#include "sim/chips/pic_chip.hpp"

namespace kestrum {
namespace {

struct FakeProgress final : ProgressCancel {
  void Cancel() override { cancelled.Set(); }
  DoneFlag cancelled;
};

std::string Contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
  return text;
}

TEST(Interrupt, CtrlCCancelsTheOperationInProgressAndSaysSo) {
  std::FILE* err = std::tmpfile();
  TerminalUi ui(stdout, err, stdin, false, false);
  EXPECT_FALSE(ui.Interrupt());  // nothing in progress: nothing to cancel, nothing said
  EXPECT_EQ(Contents(err), "");

  FakeProgress progress;
  {
    const InterruptWatcher watcher([&ui] { return ui.Interrupt(); });
    ui.ShowProgressWindow(progress);
    ASSERT_EQ(kill(getpid(), SIGINT), 0);
    progress.cancelled.Wait();
  }
  EXPECT_EQ(Contents(err),
            "\nCancelling: the step in progress stops after its current word or byte (Ctrl+C "
            "again quits at once).\n");
  ui.HideProgressWindow();
  EXPECT_FALSE(ui.Interrupt());
  std::fclose(err);
}

TEST(InterruptDeathTest, ASecondCtrlCOrOneWithNothingToCancelEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        DoneFlag first;
        const InterruptWatcher watcher([&first] {
          first.Set();
          return true;
        });
        kill(getpid(), SIGINT);  // cancels
        first.Wait();            // signals of one kind do not queue: one at a time
        kill(getpid(), SIGINT);  // quits
        DoneFlag never;
        never.Wait();
      },
      ::testing::KilledBySignal(SIGINT), "");
  EXPECT_EXIT(
      {
        const InterruptWatcher watcher([] { return false; });
        kill(getpid(), SIGTERM);
        DoneFlag never;
        never.Wait();
      },
      ::testing::KilledBySignal(SIGTERM), "");
}

TEST(Interrupt, ACancelledActionEndsAWindowlessBatch) {
  MemorySettingsStore settings;
  settings.WriteInteger("Device", 62);
  RecordingUi ui;
  VirtualClock clock;
  VirtualProgrammer programmer{clock};
  auto chip = PicChip::ForDevice("PIC 16F84");
  programmer.Insert(chip.get());
  const std::string saved = ::testing::TempDir() + "kestrum-cancelled-read.hex";
  std::filesystem::remove(saved);

  Application app(settings, ui, clock, programmer);
  app.WindowVisible = false;
  app.Startup(std::get<CommandLine>(ParseCommandLine({"-p", "-v", "-r", "-s" + saved, "-q"})));
  ui.Clear();
  ui.onEntry = [&ui](const RecordingUi::Entry& e) {
    if (e.type == RecordingUi::Type::ProgressPosition && e.value == 100) ui.PressCancel();
  };
  const Application::ActivationOutcome outcome = app.OnActivate();
  EXPECT_TRUE(outcome.Cancelled);
  EXPECT_FALSE(outcome.Succeeded);
  // Program All stopped after the word in progress, without its verify; the separate verify,
  // the read and the save did not run.
  EXPECT_EQ(ui.Texts(RecordingUi::Type::ProgressShown).size(), 1u);
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{std::string(text::kProgramCancelled)});
  EXPECT_EQ(chip->Code()[101], 0x3FFF);
  EXPECT_FALSE(std::filesystem::exists(saved));
}

// Ctrl+C in the middle of a Program All through an FTDI cable: the steps queued for the cable go
// out, the programmer is switched off, and the kernel's serial driver has the cable back.
TEST(Interrupt, CtrlCOnAnFtdiCableLeavesTheProgrammerAtRestAndTheCableASerialPort) {
  MemorySettingsStore settings;
  settings.WriteInteger("Device", 62);
  settings.WriteInteger("Programmer", static_cast<int>(ProgrammerType::JdmFtdi));
  settings.WriteString("Port", "USB1");
  RecordingUi ui;
  VirtualClock clock;
  VirtualProgrammer programmer{clock};
  auto chip = PicChip::ForDevice("PIC 16F84");
  programmer.Insert(chip.get());
  Application app(settings, ui, clock, programmer);
  app.WindowVisible = false;
  app.Startup(std::get<CommandLine>(ParseCommandLine({"-p", "-q"})));
  app.Work.Active().CodeBuffer.assign(app.Work.Active().CodeBuffer.size(), 0x0000);

  DoneFlag pressed;
  const InterruptWatcher watcher([&] {
    ui.PressCancel();
    pressed.Set();
    return true;
  });
  ui.onEntry = [&](const RecordingUi::Entry& e) {
    if (e.type == RecordingUi::Type::ProgressPosition && e.value == 100) {
      kill(getpid(), SIGINT);
      pressed.Wait();
    }
  };
  const Application::ActivationOutcome outcome = app.OnActivate();
  EXPECT_TRUE(outcome.Cancelled);
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{std::string(text::kProgramCancelled)});
  EXPECT_EQ(chip->Code()[99], 0x0000);
  EXPECT_EQ(chip->Code()[200], 0x3FFF);

  const SimFtdi& ftdi = programmer.Ftdi();
  EXPECT_TRUE(ftdi.KernelDriverAttached());
  EXPECT_FALSE(ftdi.InBitBang());
  EXPECT_FALSE(ftdi.Overflowed());
  EXPECT_EQ(ftdi.Calls().back(), "Close");
  const ChipPins& pins = programmer.Board().Pins();
  EXPECT_FALSE(pins.mclr || pins.clock || pins.data);
  EXPECT_FALSE(chip->InProgrammingMode());
}

}  // namespace
}  // namespace kestrum
