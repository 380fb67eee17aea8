// SPDX-License-Identifier: GPL-3.0-or-later
// The line operations of the programmer types.
#include "hardware/line_context.hpp"

#include "hardware/register_pins.hpp"

namespace kestrum {

LineContext::LineContext(HardwareSettings settings, Clock& clock, Ui& ui, PortOpener& opener)
    : settings_(std::move(settings)), clock_(&clock), ui_(&ui), opener_(&opener) {}

LineContext::LineContext(const LineContext& other)
    : settings_(other.settings_),
      lines_(other.lines_),
      clock_(other.clock_),
      ui_(other.ui_),
      opener_(other.opener_) {}

LineContext& LineContext::operator=(const LineContext& other) {
  if (this != &other) {
    ClosePort();
    settings_ = other.settings_;
    lines_ = other.lines_;
    clock_ = other.clock_;
    ui_ = other.ui_;
    opener_ = other.opener_;
  }
  return *this;
}

LineContext::~LineContext() = default;

bool LineContext::OpenPort(bool report) {
  if (port_) return true;
  port_ = opener_->Open(settings_, *ui_, report);
  if (!port_) return false;
  stream_ = port_->Stream();
  pins_ = PinMapOf(settings_);
  levels_ = RestingLevels(settings_);
  if (stream_) {
    deferred_.clear();
    StreamPut();
    return true;
  }
  // 8 data bits, no parity, two stop bits, no flow control, rate unchanged; a parallel port
  // has no line format and ignores it.
  port_->SetLineFormat(LineFormat{});
  pinPort_ = port_->Pins();
  const ProgrammerRow& row = Row();
  if (!pinPort_ && PinDriven(row)) {
    registerPins_ = MakeRegisterPins(*port_, row.portKind, settings_.Api, pins_.Outputs());
    pinPort_ = registerPins_.get();
  }
  if (pinPort_) PinsPut();
  return true;
}

void LineContext::ClosePort() {
  if (stream_) {
    // Everything queued goes out before the port lets go of the pins.
    ResolveSamples();
    stream_->Flush();
    stream_ = nullptr;
  }
  pinPort_ = nullptr;
  registerPins_.reset();
  port_.reset();
}

std::uint16_t LineContext::PortBase() const {
  return port_ ? port_->Base() : settings_.PortBase;
}

std::uint8_t LineContext::PortIn(std::uint16_t address) {
  return port_ ? port_->In(address) : kFloatingBus;
}

void LineContext::PortOut(std::uint16_t address, std::uint8_t value) {
  if (port_) port_->Out(address, value);
}

void LineContext::IdleLines() {
  bool openedHere = false;
  if (!port_) {
    if (!OpenPort(false)) return;
    openedHere = true;
  }
  VppOff();
  AllLinesOff();
  if (openedHere) ClosePort();
}

// --- register helpers ---

void LineContext::ChangeDataBits(std::uint8_t mask, std::uint8_t levels) {
  std::uint16_t data = PortBase() + reg::kData;
  std::uint8_t value = PortIn(data);
  PortOut(data, static_cast<std::uint8_t>((value & ~mask) | (levels & mask)));
}

void LineContext::WriteModemLines(std::uint8_t value) {
  if (settings_.Api) {
    if (port_) {
      port_->SetRts(value & kMcrRts);
      port_->SetDtr(value & kMcrDtr);
    }
  } else {
    PortOut(PortBase() + reg::kMcr, value & (kMcrDtr | kMcrRts));
  }
}

void LineContext::SetJdmBreak(bool on) {
  if (settings_.Api) {
    if (port_) port_->SetBreak(on);
  } else {
    PortOut(PortBase() + reg::kLcr, on ? (kLcr8N2 | kLcrBreak) : kLcr8N2);
  }
}

std::uint8_t LineContext::DataInLevel() {
  if (pinPort_) return PinMap::Active(pinPort_->Sense(), pins_.dataIn) ? 1 : 0;
  switch (Row().dataIn) {
    case DataInRule::ModemCts:
      if (settings_.Api) return (port_ && port_->Cts()) ? 1 : 0;
      return (PortIn(PortBase() + reg::kMsr) & kMsrCts) ? 1 : 0;
    case DataInRule::StatusAck:
      return (PortIn(PortBase() + reg::kStatus) & kStatusAck) ? 1 : 0;
    case DataInRule::StatusBusy:
      return (PortIn(PortBase() + reg::kStatus) & kStatusBusy) ? 0 : 1;
    case DataInRule::None:
      break;
  }
  return 0;
}

void LineContext::SampleDataIn() {
  // Each sample is one port read: the repeated reads hold the lines still for IODelay + 1
  // reads before the next change. A negative delay takes no sample and leaves DataInBit as
  // it was (inverting a stale sample would turn it upside down on every call).
  if (settings_.IODelay < 0) return;
  std::uint8_t sample = 0;
  for (int i = 0; i <= settings_.IODelay; ++i) sample = DataInLevel();
  lines_.DataInBit = sample ^ (settings_.InvertDataIn ? 1 : 0);
}

// --- data and clock ---

void LineContext::SetDataClock(std::uint8_t value) {
  const ProgrammerRow& row = Row();
  if (!row.driven) return;
  std::uint8_t logical = value & 3;
  if (settings_.InvertDataOut) logical ^= 1;
  if (settings_.InvertSCK) logical ^= 2;
  if (stream_) {
    StreamSetDataClock(logical);
    return;
  }
  if (pinPort_) {
    levels_ = PinMap::With(levels_, pins_.dataOut, logical & 1);
    levels_ = PinMap::With(levels_, pins_.clock, logical & 2);
    PinsPut();
    SampleDataIn();
    return;
  }
  std::uint8_t bits = static_cast<std::uint8_t>(((logical & 1) ? row.dataOutBit : 0) |
                                                ((logical & 2) ? row.clockBit : 0));
  if (IsJdm()) {
    WriteModemLines(logical);
  } else if (row.strobeBit) {
    // AN589: the new levels are written with the strobe low, then strobed in.
    std::uint16_t data = PortBase() + reg::kData;
    std::uint8_t mask = row.dataOutBit | row.clockBit | row.clockedClearBits;
    std::uint8_t written = static_cast<std::uint8_t>((PortIn(data) & ~mask) | bits);
    PortOut(data, written);
    DelayMicroseconds(50);
    PortOut(data, written | row.strobeBit);
  } else {
    ChangeDataBits(row.dataOutBit | row.clockBit, bits);
  }
  SampleDataIn();
}

std::uint8_t LineContext::ReadDataIn() {
  const ProgrammerRow& row = Row();
  if (!row.driven) return 0;
  if (stream_) {
    std::uint16_t sample = 0;
    DeferDataIn(&sample, 0);
    ResolveSamples();
    return static_cast<std::uint8_t>(sample);
  }
  if (row.strobeBit) ChangeDataBits(row.strobeBit, row.strobeBit);
  return DataInLevel() ^ (settings_.InvertDataIn ? 1 : 0);
}

void LineContext::DeferDataIn(std::uint16_t* target, int bit) {
  if (!stream_) {
    const std::uint8_t sample = ReadDataIn();
    if (target) {
      const auto mask = static_cast<std::uint16_t>(1u << bit);
      *target = static_cast<std::uint16_t>(sample ? (*target | mask) : (*target & ~mask));
    }
    return;
  }
  if (!Row().driven) return;
  // The sample of the next step is the state the present levels have produced.
  StreamPut();
  if (target) deferred_.push_back({lastStep_, target, bit});
  if (deferred_.size() >= kMaxDeferredSamples) ResolveSamples();
}

void LineContext::ResolveSamples() {
  if (!stream_) return;
  for (const Deferred& d : deferred_) {
    const bool level =
        PinMap::Active(stream_->Sample(d.step), pins_.dataIn) != settings_.InvertDataIn;
    const auto mask = static_cast<std::uint16_t>(1u << d.bit);
    *d.target = static_cast<std::uint16_t>(level ? (*d.target | mask) : (*d.target & ~mask));
  }
  deferred_.clear();
  stream_->Release(lastStep_ + 1);
}

void LineContext::ClockBit(std::uint8_t bit, std::uint16_t* target, int targetBit) {
  if (stream_) {
    if (Row().driven) StreamClockBit(bit & 1, target, targetBit);
    return;
  }
  ClockBit(bit);
  if (target && Row().driven) {
    const auto mask = static_cast<std::uint16_t>(1u << targetBit);
    *target = static_cast<std::uint16_t>(lines_.DataInBit ? (*target | mask) : (*target & ~mask));
  }
}

void LineContext::ClockBit(std::uint8_t bit) {
  if (stream_) {
    ClockBit(bit, nullptr, 0);
    return;
  }
  bit &= 1;
  SetDataClock(static_cast<std::uint8_t>(bit + 2));
  // Clock low; Data Out stays high only if the line read back high.
  SetDataClock(lines_.DataInBit & bit);
  const ProgrammerRow& row = Row();
  if (!row.driven) return;
  if (pinPort_) {
    levels_ = PinMap::With(levels_, pins_.dataOut, settings_.InvertDataOut);
    levels_ = PinMap::With(levels_, pins_.clock, settings_.InvertSCK);
    PinsPut();
    return;
  }
  if (IsJdm()) {
    if (settings_.Api) {
      if (port_) {
        port_->SetDtr(settings_.InvertDataOut);
        port_->SetRts(settings_.InvertSCK);
      }
    } else {
      PortOut(PortBase() + reg::kMcr, static_cast<std::uint8_t>((settings_.InvertDataOut ? 1 : 0) |
                                                                (settings_.InvertSCK ? 2 : 0)));
    }
    // The chip disagreed with the bit: give the line time to settle.
    if (bit != lines_.DataInBit) {
      for (int i = 0; i < lines_.SettleRepeats; ++i) SetDataClock(0);
    }
  } else {
    std::uint8_t levels = static_cast<std::uint8_t>((settings_.InvertDataOut ? row.dataOutBit : 0) |
                                                    (settings_.InvertSCK ? row.clockBit : 0));
    ChangeDataBits(row.dataOutBit | row.clockBit | row.clockedClearBits, levels);
  }
}

void LineContext::SetDataLine(std::uint8_t bit) {
  lines_.LineShadow = static_cast<std::uint8_t>((lines_.LineShadow & ~1) | (bit ? 1 : 0));
  SetDataClock(lines_.LineShadow);
}

void LineContext::SetClockLine(std::uint8_t bit) {
  lines_.LineShadow = static_cast<std::uint8_t>((lines_.LineShadow & ~2) | (bit ? 2 : 0));
  SetDataClock(lines_.LineShadow);
}

// --- VPP ---

std::uint8_t LineContext::VppMask() const {
  const ProgrammerRow& row = Row();
  return row.vppBySocket ? ProPic2VppBit(settings_.PinCount) : row.vppMask;
}

std::uint8_t LineContext::VppOnLevels() const {
  const ProgrammerRow& row = Row();
  return row.vppBySocket ? ProPic2VppBit(settings_.PinCount) : row.vppOnLevels;
}

void LineContext::WaitTransmitterEmpty() {
  std::int64_t start = clock_->nowUs();
  while (!(PortIn(PortBase() + reg::kLsr) & kLsrThre)) {
    if (clock_->nowUs() - start >= kTransmitterWaitLimitUs) return;
    clock_->delayUs(kTransmitterPollUs);
  }
}

void LineContext::JdmDriveVppOn() {
  // TXD is the VPP source: break holds it at the space level. The zero bytes sent with break
  // off pump the JDM's VPP supply before break holds it up.
  if (settings_.Api) {
    if (!port_) return;
    port_->SetBreak(true);
    port_->SetLineFormat(LineFormat{.baud = 115200});
    SleepMs(350);
    port_->SetBreak(false);
    for (int i = 0; i < 3; ++i) port_->WriteByte(0x00);
    port_->SetBreak(true);
    DelayMicroseconds(100);
    return;
  }
  std::uint16_t base = PortBase();
  if (!(PortIn(base + reg::kLcr) & kLcrBreak)) {
    PortOut(base + reg::kLcr, kLcr8N2 | kLcrBreak);
    SleepMs(350);
  }
  PortOut(base + reg::kLcr, kLcr8N2);
  for (int i = 0; i < 3; ++i) {
    PortOut(base + reg::kThr, 0x00);
    WaitTransmitterEmpty();
  }
  PortOut(base + reg::kLcr, kLcr8N2 | kLcrBreak);
  DelayMicroseconds(100);
}

void LineContext::DriveVppOn() {
  const ProgrammerRow& row = Row();
  if (!row.driven) return;
  if (stream_ && IsJdm()) {
    StreamJdmDriveVppOn();
    return;
  }
  if (stream_ || pinPort_) {
    StreamSetMclr(true);
    DelayMicroseconds(row.vppOnWaitUs);
    return;
  }
  if (IsJdm()) {
    JdmDriveVppOn();
    return;
  }
  std::uint8_t mask = VppMask();
  if (mask) ChangeDataBits(mask, VppOnLevels());
  DelayMicroseconds(row.vppOnWaitUs);
}

void LineContext::DriveVppOff() {
  const ProgrammerRow& row = Row();
  if (!row.driven) return;
  if (stream_ || pinPort_) {
    StreamSetMclr(false);
    if (!IsJdm()) DelayMicroseconds(row.vppOffWaitUs);
    return;
  }
  if (IsJdm()) {
    SetJdmBreak(false);
    return;
  }
  std::uint8_t mask = VppMask();
  if (mask) ChangeDataBits(mask, static_cast<std::uint8_t>(~VppOnLevels()));
  DelayMicroseconds(row.vppOffWaitUs);
}

void LineContext::VppOn() {
  if (settings_.InvertMCLR) {
    DriveVppOff();
  } else {
    DriveVppOn();
  }
}

void LineContext::VppOff() {
  if (settings_.InvertMCLR) {
    DriveVppOn();
  } else {
    DriveVppOff();
  }
}

void LineContext::VppOnFast() {
  if (!IsJdm()) {
    VppOn();
    return;
  }
  if (stream_) {
    if (Row().driven) StreamSetMclr(!settings_.InvertMCLR);
    return;
  }
  SetJdmBreak(!settings_.InvertMCLR);
}

// --- supply ---

void LineContext::PowerOn() {
  const ProgrammerRow& row = Row();
  if (!row.driven) return;
  if (IsJdm()) {
    // The JDM takes its supply from the port lines: all of them high starves it.
    if (!settings_.PowerControl) return;
    VppOff();
    SetDataClock(0);
    DelayMicroseconds(lines_.PowerUpDelay);
    VppOnFast();
    SleepMs(150);
    return;
  }
  if (stream_ || pinPort_) {
    StreamPowerOn();
    return;
  }
  std::uint8_t levels = settings_.InvertVCC ? 0 : row.vccBits;
  ChangeDataBits(row.vccBits | row.vccFixedBits, levels | row.vccFixedBits);
}

void LineContext::AllLinesOff() {
  const ProgrammerRow& row = Row();
  if (!row.driven) return;
  if (IsJdm()) {
    if (!settings_.PowerControl) return;
    VppOnFast();
    SetDataClock(3);
    SleepMs(500);
    return;
  }
  if (stream_ || pinPort_) {
    StreamAllLinesOff();
    return;
  }
  std::uint8_t mask = row.idleSetBits | row.idleMclrMask;
  std::uint8_t levels = static_cast<std::uint8_t>(
      row.idleSetBits | (row.idleMclrLevels ^ (settings_.InvertMCLR ? row.idleMclrMask : 0)));
  if (row.idleDataClockVcc) {
    mask |= row.vccBits | row.dataOutBit | row.clockBit;
    levels |= static_cast<std::uint8_t>((settings_.InvertVCC ? row.vccBits : 0) |
                                        (settings_.InvertDataOut ? row.dataOutBit : 0) |
                                        (settings_.InvertSCK ? row.clockBit : 0));
  }
  ChangeDataBits(mask, levels);
}

void LineContext::CardClockPulse() {
  const ProgrammerRow& row = Row();
  if (!row.driven || !row.cardClockBit || stream_ || pinPort_) return;
  ChangeDataBits(row.cardClockBit, row.cardClockBit);
  DelayMicroseconds(0);
  ChangeDataBits(row.cardClockBit, 0);
}

// --- time ---

void LineContext::DelayMicroseconds(std::int64_t us) {
  if (us == 0) return;
  if (stream_) {
    if (us < kHostWaitUs) {
      StreamHoldUs(us);
    } else {
      StreamWaitOnHost(us);
    }
    return;
  }
  clock_->delayUs(us);
}

void LineContext::SleepMs(std::int64_t ms) {
  if (stream_) {
    // The port clocks out what is queued first; the sleep starts from its last step.
    ForgetHeldTime();
    const std::int64_t pendingNs = stream_->Flush();
    clock_->sleepMs(ms);
    clock_->delayUs((pendingNs + 999) / 1000);
    return;
  }
  clock_->sleepMs(ms);
}

// --- streams ---

void LineContext::StreamPut() {
  if (pinPort_) {
    PinsPut();
    return;
  }
  HoldUntil(floorNs_);
  lastStep_ = stream_->Put(static_cast<std::uint8_t>(levels_));
  sinceStepNs_ = stream_->StepNs();
  waitedNs_ = 0;
  floorNs_ = 0;
}

void LineContext::HoldUntil(std::int64_t ns) {
  if (ns <= sinceStepNs_) return;
  const std::int64_t step = stream_->StepNs();
  const std::int64_t steps = (ns - sinceStepNs_ + step - 1) / step;
  stream_->Hold(steps);
  lastStep_ += static_cast<std::uint64_t>(steps);
  sinceStepNs_ += steps * step;
}

void LineContext::PinsPut() {
  pinPort_->Drive(levels_);
}

void LineContext::StreamHoldNs(std::int64_t ns) {
  if (ns <= 0) return;
  waitedNs_ += ns;
  HoldUntil(waitedNs_);
}

// After a wait on the host the levels have held far longer than anything queued asked; what
// follows counts from zero.
void LineContext::ForgetHeldTime() {
  sinceStepNs_ = 0;
  waitedNs_ = 0;
  floorNs_ = 0;
}

void LineContext::StreamHoldUs(std::int64_t us) {
  StreamHoldNs(us * 1000);
}

void LineContext::StreamWaitOnHost(std::int64_t us) {
  ForgetHeldTime();
  const std::int64_t pendingNs = stream_->Flush();
  clock_->delayUs(us + (pendingNs + 999) / 1000);
}

void LineContext::StreamSetDataClock(std::uint8_t logical) {
  levels_ = PinMap::With(levels_, pins_.dataOut, logical & 1);
  levels_ = PinMap::With(levels_, pins_.clock, logical & 2);
  StreamPut();
  // The I/O delay: the levels held at least as long as IODelay + 1 port reads would take.
  // The samples it takes on a register port are the stream's own here, and a wait that
  // follows holds them anyway.
  if (settings_.IODelay >= 0) floorNs_ = (settings_.IODelay + 1) * kPortReadNs;
}

void LineContext::StreamClockBit(std::uint8_t bit, std::uint16_t* target, int targetBit) {
  SetDataClock(static_cast<std::uint8_t>(bit + 2));
  // Clock low with Data Out at the bit itself: a register port reads the line back first and
  // keeps Data Out high only if it read high, which costs a round trip per bit here. During a
  // read the bit is 1 and the chip drives the shared line against the programmer's resistor,
  // so driving the bit is the same on the line. Nor does the JDM's settling after a bit the
  // chip disagreed with apply: Data Out never drives against the chip here.
  SetDataClock(bit);
  // Back to rest; the sample of this step is the line at the falling edge.
  levels_ = PinMap::With(levels_, pins_.dataOut, settings_.InvertDataOut);
  levels_ = PinMap::With(levels_, pins_.clock, settings_.InvertSCK);
  StreamPut();
  if (target) deferred_.push_back({lastStep_, target, targetBit});
  if (deferred_.size() >= kMaxDeferredSamples) ResolveSamples();
}

void LineContext::StreamSetMclr(bool active) {
  levels_ = PinMap::With(levels_, pins_.mclr, active);
  StreamPut();
}

void LineContext::StreamJdmDriveVppOn() {
  // TXD as a pin: space is the break. The three zero bytes of the register sequence become
  // their frames at 115200 baud, 8N2: the start bit and eight zeros at space, two stop bits
  // at mark, one frame after the other.
  constexpr std::int64_t kBitNs = 1000000000 / 115200;
  if (!PinMap::Active(levels_, pins_.mclr)) {
    StreamSetMclr(true);
    SleepMs(350);
  }
  StreamSetMclr(false);
  for (int i = 0; i < 3; ++i) {
    StreamSetMclr(true);
    StreamHoldNs(9 * kBitNs);
    StreamSetMclr(false);
    StreamHoldNs(2 * kBitNs);
  }
  StreamSetMclr(true);
  DelayMicroseconds(100);
}

void LineContext::StreamPowerOn() {
  levels_ = PinMap::With(levels_, pins_.vcc, !settings_.InvertVCC);
  StreamPut();
}

void LineContext::StreamAllLinesOff() {
  levels_ = PinMap::With(levels_, pins_.vcc, settings_.InvertVCC);
  levels_ = PinMap::With(levels_, pins_.dataOut, settings_.InvertDataOut);
  levels_ = PinMap::With(levels_, pins_.clock, settings_.InvertSCK);
  levels_ = PinMap::With(levels_, pins_.mclr, settings_.InvertMCLR);
  StreamPut();
}

}  // namespace kestrum
