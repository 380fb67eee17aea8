// The line context's port handling, copies for workers, and time, with a recording port.
#include "hardware/line_context.hpp"

#include <gtest/gtest.h>

#include "core/recording_ui.hpp"
#include "hardware/port_opener.hpp"

namespace kestrum {
namespace {

struct Access {
  char kind;  // 'i' in, 'o' out, 'f' line format
  std::uint16_t address;
  std::uint8_t value;
  bool operator==(const Access&) const = default;
};

class RecordingPort final : public Port {
 public:
  explicit RecordingPort(std::vector<Access>& log, bool& open) : log_(log), open_(open) {
    open_ = true;
  }
  ~RecordingPort() override { open_ = false; }
  std::uint16_t Base() const override { return 0x378; }
  std::uint8_t In(std::uint16_t address) override {
    log_.push_back({'i', address, 0});
    return 0;
  }
  void Out(std::uint16_t address, std::uint8_t value) override {
    log_.push_back({'o', address, value});
  }
  void SetLineFormat(const LineFormat& f) override {
    log_.push_back({'f', static_cast<std::uint16_t>(f.baud), static_cast<std::uint8_t>(f.stopBits)});
  }

 private:
  std::vector<Access>& log_;
  bool& open_;
};

class RecordingOpener final : public PortOpener {
 public:
  std::vector<Access> log;
  bool open = false;
  int opens = 0;
  bool fail = false;
  std::unique_ptr<Port> Open(const HardwareSettings&, Ui& ui, bool report) override {
    if (fail) {
      if (report) ui.Message(MessageKind::Error, "refused");
      return nullptr;
    }
    ++opens;
    return std::make_unique<RecordingPort>(log, open);
  }
  bool Available(const HardwareSettings&, std::string_view) override { return !fail; }
};

// Counts how often the line layer looks at the clock.
class CountingClock final : public Clock {
 public:
  mutable int reads = 0;
  int delays = 0;
  std::int64_t slept = 0;
  std::int64_t nowUs() const override { return ++reads; }
  void delayUs(std::int64_t) override { ++delays; }
  void sleepMs(std::int64_t ms) override { slept += ms; }
};

HardwareSettings Conquest() {
  HardwareSettings s;
  s.Programmer = ProgrammerType::Conquest;
  s.Port = "LPT1";
  DerivePortBase(s);
  return s;
}

TEST(LineContext, OpensOnceSetsTheLineFormatAndClosesOnDemand) {
  CountingClock clock;
  RecordingUi ui;
  RecordingOpener opener;
  LineContext lines(Conquest(), clock, ui, opener);
  EXPECT_EQ(lines.PortBase(), 0x378);
  ASSERT_TRUE(lines.OpenPort());
  EXPECT_TRUE(lines.OpenPort());
  EXPECT_EQ(opener.opens, 1);
  // 8 data bits, two stop bits, the rate left alone.
  EXPECT_EQ(opener.log, (std::vector<Access>{{'f', 0, 2}}));
  lines.ClosePort();
  EXPECT_FALSE(opener.open);
}

TEST(LineContext, WithoutAPortNothingIsDrivenAndReadsFloat) {
  CountingClock clock;
  RecordingUi ui;
  RecordingOpener opener;
  opener.fail = true;
  LineContext lines(Conquest(), clock, ui, opener);
  EXPECT_FALSE(lines.OpenPort());
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"refused"});
  lines.PowerOn();
  lines.SetDataClock(3);
  lines.AllLinesOff();
  EXPECT_EQ(lines.PortIn(0x379), kFloatingBus);
  EXPECT_TRUE(opener.log.empty());

  // The real opener with the first-run port name "Com 2": nothing selected, nothing opened.
  SystemPortOpener system;
  HardwareSettings s;
  LineContext jdm(s, clock, ui, system);
  ui.Clear();
  EXPECT_FALSE(jdm.OpenPort());
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{std::string(text::kNoPortSelected)});
  jdm.VppOn();
  EXPECT_FALSE(jdm.IsPortOpen());
}

TEST(LineContext, IdleLinesOpensQuietlyOnlyWhenNeeded) {
  CountingClock clock;
  RecordingUi ui;
  RecordingOpener opener;
  LineContext lines(Conquest(), clock, ui, opener);
  lines.IdleLines();
  EXPECT_EQ(opener.opens, 1);
  EXPECT_FALSE(opener.open);
  EXPECT_FALSE(opener.log.empty());
  // With the port already open it stays open.
  lines.OpenPort();
  lines.IdleLines();
  EXPECT_TRUE(opener.open);
  // A port that does not open is not reported at start-up.
  opener.fail = true;
  LineContext other(Conquest(), clock, ui, opener);
  other.IdleLines();
  EXPECT_TRUE(ui.Entries().empty());
}

TEST(LineContext, AWorkersCopyCarriesSettingsAndLineStateButNoPort) {
  CountingClock clock;
  RecordingUi ui;
  RecordingOpener opener;
  LineContext main(Conquest(), clock, ui, opener);
  main.Lines().BusDelay = 7;
  main.SetDataLine(1);
  main.OpenPort();
  LineContext worker = main;
  EXPECT_FALSE(worker.IsPortOpen());
  EXPECT_TRUE(main.IsPortOpen());
  EXPECT_EQ(worker.Lines().BusDelay, 7);
  EXPECT_EQ(worker.Lines().LineShadow, 1);
  EXPECT_EQ(worker.Settings().Port, "LPT1");
  EXPECT_EQ(&worker.clock(), &clock);
  // Assigning over an open context closes its port first.
  main = worker;
  EXPECT_FALSE(opener.open);
}

TEST(LineContext, TimeGoesThroughTheClockOnlyWhenThereIsSomethingToWait) {
  CountingClock clock;
  RecordingUi ui;
  RecordingOpener opener;
  LineContext lines(Conquest(), clock, ui, opener);
  lines.DelayMicroseconds(0);
  EXPECT_EQ(clock.reads, 0);
  EXPECT_EQ(clock.delays, 0);
  lines.DelayMicroseconds(5);
  EXPECT_EQ(clock.delays, 1);
  lines.SleepMs(150);
  EXPECT_EQ(clock.slept, 150);

  lines.EnterCritical();
  lines.EnterCritical();
  lines.LeaveCritical();
  EXPECT_EQ(lines.Lines().CriticalDepth, 1);
}

TEST(Clock, VirtualTimeAdvancesOnlyByWaiting) {
  VirtualClock clock(1000);
  EXPECT_EQ(clock.nowUs(), 1000);
  clock.delayUs(25);
  clock.sleepMs(2);
  clock.delayUs(-5);
  clock.sleepMs(0);
  EXPECT_EQ(clock.nowUs(), 3025);
}

}  // namespace
}  // namespace kestrum
