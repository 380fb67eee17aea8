// SPDX-License-Identifier: GPL-3.0-or-later
// The programmer line layer: what a protocol needs to drive the programmer, in one object.
// It carries a copy of the hardware settings, the line state, the open port, the clock and
// the Ui for messages. A worker thread gets its own copy when it starts (the copy has no port
// open; the worker opens its own) and hands its line state back when it is done.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/ui.hpp"
#include "hardware/clock.hpp"
#include "hardware/hardware_settings.hpp"
#include "hardware/port.hpp"

namespace kestrum {

struct LineState {
  std::uint8_t DataInBit = 0;   // last Data In sample, corrected by InvertDataIn
  std::uint8_t LineShadow = 0;  // bit 0 Data Out, bit 1 Clock, as last set by line
  int CriticalDepth = 0;
  int BusDelay = 20;  // µs between the edges of the bus primitives
  int PowerUpDelay = 3500;
  int SettleRepeats = 5;
};

// On a port that streams, the I/O delay holds each change as long as IODelay + 1 reads of a
// port register take on the hardware the option was made for: about a microsecond each.
inline constexpr std::int64_t kPortReadNs = 1000;
// A wait this long or longer on a port that streams sends what is queued and waits on the host;
// a shorter one becomes steps of the stream.
inline constexpr std::int64_t kHostWaitUs = 1000;
// Deferred samples are brought in at the latest when this many are waiting.
inline constexpr std::size_t kMaxDeferredSamples = 1 << 16;

// How long the JDM VPP sequence waits for a UART that never reports its transmitter empty
// before it goes on, and how often it looks. A 0x00 frame at 300 baud takes 37 ms.
inline constexpr std::int64_t kTransmitterWaitLimitUs = 50000;
inline constexpr std::int64_t kTransmitterPollUs = 10;

class LineContext {
 public:
  LineContext(HardwareSettings settings, Clock& clock, Ui& ui, PortOpener& opener);
  // A copy shares the clock, the Ui and the opener, copies settings and line state, and has
  // no port open.
  LineContext(const LineContext& other);
  LineContext& operator=(const LineContext& other);
  LineContext(LineContext&& other) noexcept = default;
  LineContext& operator=(LineContext&& other) noexcept = default;
  ~LineContext();

  HardwareSettings& Settings() { return settings_; }
  const HardwareSettings& Settings() const { return settings_; }
  LineState& Lines() { return lines_; }
  const LineState& Lines() const { return lines_; }
  Clock& clock() const { return *clock_; }
  Ui& ui() const { return *ui_; }
  PortOpener& opener() const { return *opener_; }

  // Port access. OpenPort reports a port that does not open (unless `report` is false) and
  // returns false; the caller then ends without driving anything. Without an open port the
  // line operations touch nothing and PortIn reads 0xFF, as an empty bus does.
  bool OpenPort(bool report = true);
  void ClosePort();
  bool IsPortOpen() const { return port_ != nullptr; }
  // The open port's base address (the settings' PortBase while none is open).
  std::uint16_t PortBase() const;
  std::uint8_t PortIn(std::uint16_t address);
  void PortOut(std::uint16_t address, std::uint8_t value);
  // The open port, for its serial system calls; null while none is open.
  Port* OpenedPort() const { return port_.get(); }
  // VppOff and AllLinesOff, on the open port or on one opened (quietly) for the purpose:
  // after start-up and after the hardware settings change, so the programmer rests.
  void IdleLines();

  // Line operations, in logical levels; the invert options are applied here.
  void SetDataClock(std::uint8_t value);
  // A read of Data In whose value decides what happens next: on a port that streams, it sends
  // what is queued and waits for it to come back.
  std::uint8_t ReadDataIn();
  // A read of Data In whose value nothing waits for: bit `bit` of `target` takes the sample
  // (set or cleared) once it is back; a null target drops it. On a port that does not stream
  // it is one ReadDataIn at once. `target` must stay where it is until ResolveSamples (or
  // ClosePort, or a deciding read) has run.
  void DeferDataIn(std::uint16_t* target, int bit);
  // Brings every deferred sample into its target (waits for the stream when samples are out).
  void ResolveSamples();
  // Whether the open port streams.
  bool Streaming() const { return stream_ != nullptr; }
  // One clocked bit with read-back. With a target, bit `targetBit` of it takes the Data In
  // sample at the clock's falling edge, deferred as DeferDataIn does.
  void ClockBit(std::uint8_t bit);
  void ClockBit(std::uint8_t bit, std::uint16_t* target, int targetBit);
  void SetDataLine(std::uint8_t bit);
  void SetClockLine(std::uint8_t bit);
  void DriveVppOn();
  void DriveVppOff();
  void VppOn();
  void VppOff();
  void VppOnFast();
  void PowerOn();
  // Whether the programmer switches the part's supply on a line of its own (so VPP can come
  // before VDD); the JDM and the AN589 take it from the port or from outside.
  bool SwitchesVcc() const { return Row().vccBits != 0; }
  void AllLinesOff();
  // Whether the part's supply is pumped from the line levels (the JDM): with every line high
  // for long, the part runs down, and the lines' first fall powers it up again.
  bool SupplyFromLines() const { return IsJdm(); }
  void CardClockPulse();
  void DelayMicroseconds(std::int64_t us);
  void SleepMs(std::int64_t ms);
  // Linux cannot mask interrupts from user space: these only count.
  void EnterCritical() { ++lines_.CriticalDepth; }
  void LeaveCritical() { --lines_.CriticalDepth; }

 private:
  const ProgrammerRow& Row() const { return RowOf(settings_); }
  bool IsJdm() const { return Row().jdm; }
  // The same operations on a port that streams, on the pins of the type's pin map.
  void StreamPut();
  void StreamHoldUs(std::int64_t us);
  void StreamHoldNs(std::int64_t ns);
  void HoldUntil(std::int64_t ns);
  void ForgetHeldTime();
  void StreamWaitOnHost(std::int64_t us);
  void StreamSetDataClock(std::uint8_t logical);
  void StreamClockBit(std::uint8_t bit, std::uint16_t* target, int targetBit);
  void StreamSetMclr(bool active);
  void StreamJdmDriveVppOn();
  void StreamPowerOn();
  void StreamAllLinesOff();
  // Lines that are pins of a port set one by one: the levels go out at once.
  void PinsPut();
  std::uint8_t DataInLevel();
  void SampleDataIn();
  // Read-modify-write of the parallel data register: the bits of `mask` take `levels`.
  void ChangeDataBits(std::uint8_t mask, std::uint8_t levels);
  void WriteModemLines(std::uint8_t value);
  void SetJdmBreak(bool on);
  void JdmDriveVppOn();
  void WaitTransmitterEmpty();
  std::uint8_t VppMask() const;
  std::uint8_t VppOnLevels() const;

  HardwareSettings settings_;
  LineState lines_;
  Clock* clock_;
  Ui* ui_;
  PortOpener* opener_;
  std::unique_ptr<Port> port_;
  // The open port's stream, its output levels, and the samples waiting for their transfer.
  struct Deferred {
    std::uint64_t step;
    std::uint16_t* target;
    int bit;
  };
  PinStream* stream_ = nullptr;
  // The open port's pins when they are set one by one (the port's own, or its registers seen
  // as connector pins for a programmer wired by its user).
  PinPort* pinPort_ = nullptr;
  std::unique_ptr<PinPort> registerPins_;
  PinMap pins_;
  std::uint64_t levels_ = 0;
  std::uint64_t lastStep_ = 0;
  // Waits run from the last step put: a step holds its levels a whole step time from the
  // moment it is put, so a wait after a change has that time behind it already.
  // `sinceStepNs_`: how long the last step's levels hold as queued; `waitedNs_`: the waits
  // asked since it was put; `floorNs_`: how long they must hold at least before the next step
  // (the I/O delay, a floor under the waits rather than a wait of its own).
  std::int64_t sinceStepNs_ = 0;
  std::int64_t waitedNs_ = 0;
  std::int64_t floorNs_ = 0;
  std::vector<Deferred> deferred_;
};

}  // namespace kestrum
