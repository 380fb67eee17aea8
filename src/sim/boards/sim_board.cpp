// SPDX-License-Identifier: GPL-3.0-or-later
// Register-to-pin model of the virtual programmer.
#include "sim/boards/sim_board.hpp"

namespace kestrum {

namespace {

constexpr std::uint8_t kLcrParity = 0x08;
constexpr std::uint8_t kLcrEvenParity = 0x10;
constexpr std::uint8_t kLcrTwoStops = 0x04;
constexpr std::int64_t kUartClockBaud = 115200;

}  // namespace

SimBoard::SimBoard(Clock& clock) : clock_(clock), lastUs_(clock.nowUs()) {}

void SimBoard::Configure(ProgrammerType type, std::uint16_t base) {
  Configure(RowOf(type), pinMap_, base);
}

void SimBoard::Configure(const ProgrammerRow& row, const PinMap& map, std::uint16_t base) {
  const ProgrammerType type = row.type;
  kind_ = row.portKind;
  if (row.pinsFromSettings || type == ProgrammerType::User) pinMap_ = map;
  std::int64_t now = clock_.nowUs();
  AdvanceTo(now);
  if (type != type_ || !parallel_) {
    parallel_ = ParallelBoard::For(type);
    if (parallel_) {
      parallel_->SetInvertedInput(inversions_.dataIn);
      parallel_->SetObserver(observer_);
      parallel_->Insert(chip_, now);
    }
  }
  type_ = type;
  base_ = base;
  wiring_ = sim::BoardFor(type);
  if (row.pinsFromSettings || type == ProgrammerType::User) {
    wiring_ = sim::BoardFromPinMap(kind_, pinMap_);
  }
  Recompute(now);
}

void SimBoard::SetPinMap(const PinMap& map) {
  pinMap_ = map;
  if (RowOf(type_).pinsFromSettings) wiring_ = sim::BoardFromPinMap(kind_, map);
  Recompute(clock_.nowUs());
}

void SimBoard::DrivePins(std::uint64_t levels, std::int64_t now) {
  AdvanceTo(now);
  pinLevels_ = levels;
  Recompute(now);
}

std::uint64_t SimBoard::SamplePins(std::int64_t now) {
  AdvanceTo(now);
  Recompute(now);
  ++dataInReads_;
  const bool line = ChipDataLine(now) != inversions_.dataIn;
  // Inputs nothing drives float high.
  const std::uint64_t others = ~wiring_.inputPin;
  return others | (line != wiring_.inputLow ? wiring_.inputPin : 0);
}

void SimBoard::Insert(Chip* chip) {
  std::int64_t now = clock_.nowUs();
  AdvanceTo(now);
  chip_ = chip;
  if (parallel_) parallel_->Insert(chip_, now);
  if (chip_) chip_->OnPins(pins_, now);
  Recompute(now);
}

void SimBoard::SetInversions(const BoardInversions& inversions) {
  inversions_ = inversions;
  if (parallel_) parallel_->SetInvertedInput(inversions.dataIn);
  Recompute(clock_.nowUs());
}

void SimBoard::SetTrace(PinTrace* trace) {
  trace_ = trace;
  Recompute(clock_.nowUs());
}

// --- time ---

std::int64_t SimBoard::BeginAccess() {
  std::int64_t now = clock_.nowUs();
  AdvanceTo(now);
  return now;
}

void SimBoard::EndAccess() {
  clock_.delayUs(accessTimeUs_);
}

void SimBoard::EndLineCall() {
  EndAccess();
  clock_.delayUs(lineCallUs_);
}

void SimBoard::Record(PortAccessRecord::Kind kind, std::uint16_t address, std::uint8_t value,
                      std::int64_t now) {
  if (keepLog_) log_.push_back({now, kind, address, value});
}

int SimBoard::FrameBits() const {
  int dataBits = 5 + (lcr_ & 3);
  return 1 + dataBits + ((lcr_ & kLcrParity) ? 1 : 0) + ((lcr_ & kLcrTwoStops) ? 2 : 1);
}

std::int64_t SimBoard::BitNs() const {
  std::int64_t divisor = divisor_ ? divisor_ : 0x10000;
  return divisor * 1000000000 / kUartClockBaud;
}

void SimBoard::PopFinishedFrames(std::int64_t now) {
  std::int64_t frameNs = FrameBits() * BitNs();
  while (!txQueue_.empty() && frameStartNs_ + frameNs <= now * 1000) {
    txQueue_.pop_front();
    frameStartNs_ += frameNs;
  }
}

bool SimBoard::TxdSpace(std::int64_t now) const {
  if (lcr_ & kLcrBreak) return true;
  if (txQueue_.empty()) return false;
  std::int64_t bit = (now * 1000 - frameStartNs_) / BitNs();
  if (bit <= 0) return true;  // start bit
  int dataBits = 5 + (lcr_ & 3);
  std::uint8_t value = txQueue_.front();
  if (bit <= dataBits) return ((value >> (bit - 1)) & 1) == 0;
  if ((lcr_ & kLcrParity) && bit == dataBits + 1) {
    int ones = 0;
    for (int i = 0; i < dataBits; ++i) ones += (value >> i) & 1;
    bool parityBit = (lcr_ & kLcrEvenParity) ? (ones & 1) : !(ones & 1);
    return !parityBit;
  }
  return false;  // stop bits
}

std::int64_t SimBoard::NextEventUs() const {
  std::int64_t next = -1;
  if (!txQueue_.empty()) {
    // The next bit boundary of the frame on the line, rounded up to whole microseconds.
    std::int64_t bitNs = BitNs();
    std::int64_t k = (lastUs_ * 1000 - frameStartNs_) / bitNs + 1;
    std::int64_t boundaryNs = frameStartNs_ + k * bitNs;
    next = (boundaryNs + 999) / 1000;
  }
  if (wiring_.vcc.source == sim::Source::JdmSupply && allHighSinceUs_ >= 0 && pins_.vcc) {
    std::int64_t collapse = allHighSinceUs_ + kJdmSupplyHoldUs;
    if (collapse > lastUs_ && (next < 0 || collapse < next)) next = collapse;
  }
  return next;
}

void SimBoard::AdvanceTo(std::int64_t now) {
  for (;;) {
    std::int64_t next = NextEventUs();
    if (next < 0 || next > now) break;
    lastUs_ = next;
    Recompute(next);
  }
  if (now > lastUs_) lastUs_ = now;
}

// --- pins ---

bool SimBoard::Eval(const sim::OutputWire& wire, std::uint8_t data, std::int64_t now) const {
  switch (wire.source) {
    case sim::Source::ParallelData:
      return (data & wire.mask) == wire.match;
    case sim::Source::ModemControl:
      return (mcr_ & wire.mask) == wire.match;
    case sim::Source::Pins:
      return (pinLevels_ & wire.mask) == wire.match;
    case sim::Source::TxdSpace:
      return TxdSpace(now) == (wire.match != 0 || wire.mask == 0);
    case sim::Source::Always:
      return true;
    case sim::Source::JdmSupply:
    case sim::Source::None:
      break;
  }
  return false;
}

int SimBoard::SocketPinCount() const {
  return chip_ ? chip_->PinCount() : defaultPinCount_;
}

void SimBoard::Recompute(std::int64_t now) {
  if (parallel_) {
    if (trace_) trace_->Record(parallel_->TracePins(now), now);
    return;
  }
  PopFinishedFrames(now);
  const sim::BoardWiring& w = wiring_;
  // An inverter only sits on a line the port drives.
  auto drive = [&](const sim::OutputWire& wire, std::uint8_t data, bool inverted) {
    bool level = Eval(wire, data, now);
    bool driven = wire.source == sim::Source::ParallelData ||
                  wire.source == sim::Source::ModemControl ||
                  wire.source == sim::Source::TxdSpace || wire.source == sim::Source::Pins;
    return driven ? level != inverted : level;
  };
  std::uint8_t dataClockSource = w.latchOpen.source == sim::Source::None ? data_ : latched_;
  ChipPins p;
  p.data = drive(w.data, dataClockSource, inversions_.dataOut);
  p.clock = drive(w.clock, dataClockSource, inversions_.clock);
  p.cardClock = drive(w.cardClock, data_, false);
  const sim::OutputWire* mclr = &w.mclr;
  if (w.mclrLargeSocket.source != sim::Source::None) {
    static constexpr sim::OutputWire kNoSocket{};
    int socket = sim::ProPic2Socket(SocketPinCount());
    mclr = socket == 1 ? &w.mclr : socket == 2 ? &w.mclrLargeSocket : &kNoSocket;
  }
  p.mclr = drive(*mclr, data_, inversions_.mclr);
  if (w.vcc.source == sim::Source::JdmSupply) {
    // The JDM's chip sits between the lines' high level and a rail pumped from their low
    // levels: with every line high, the rail's capacitor runs down.
    if (p.data && p.clock && p.mclr) {
      if (allHighSinceUs_ < 0) allHighSinceUs_ = now;
      p.vcc = now - allHighSinceUs_ < kJdmSupplyHoldUs;
    } else {
      allHighSinceUs_ = -1;
      p.vcc = true;
    }
  } else {
    p.vcc = drive(w.vcc, data_, inversions_.vcc);
  }
  if (!pinsValid_ || p != pins_) {
    pins_ = p;
    pinsValid_ = true;
    if (chip_) chip_->OnPins(p, now);
  }
  if (trace_) {
    bool line = observer_ ? observedDataIn_ : ChipDataLine(now);
    trace_->Record(TracePins{p.vcc, p.mclr, p.data, p.clock, line, p.cardClock}, now);
  }
}

bool SimBoard::ChipDataLine(std::int64_t now) {
  return DataLineLevel(chip_ ? chip_->DataOut(now) : DataDrive::Released, pins_.data);
}

const ChipPins& SimBoard::Pins() {
  std::int64_t now = clock_.nowUs();
  AdvanceTo(now);
  Recompute(now);
  return pins_;
}

bool SimBoard::DataLine() {
  Pins();
  return ChipDataLine(clock_.nowUs());
}

// --- registers ---

bool SimBoard::ReadsDataIn(std::uint16_t address) const {
  switch (wiring_.dataIn) {
    case sim::InputPin::Cts:
      return address == base_ + reg::kMsr;
    case sim::InputPin::Modem:
      return address == base_ + reg::kMsr;
    case sim::InputPin::Ack:
    case sim::InputPin::Busy:
    case sim::InputPin::Status:
      return address == base_ + reg::kStatus;
    case sim::InputPin::None:
    case sim::InputPin::Pin:
      break;
  }
  return false;
}

std::uint8_t SimBoard::StatusRegister(bool line) const {
  // Unconnected inputs float high; BUSY reads inverted.
  bool ack = true;
  bool busy = true;
  sim::InputPin input = wiring_.dataIn;
  if (input == sim::InputPin::Ack) ack = line;
  if (input == sim::InputPin::Busy) busy = line;
  auto status = static_cast<std::uint8_t>(0x3F | (ack ? 0x40 : 0) | (busy ? 0 : 0x80));
  if (input == sim::InputPin::Status) {
    // A user's wiring: the pin reads the line (or its opposite); BUSY reads inverted.
    const auto bit = static_cast<std::uint8_t>(wiring_.inputPin);
    const bool high = line != wiring_.inputLow;
    status = static_cast<std::uint8_t>(0x78 | 0x07);
    const bool set = bit == kStatusBusy ? !high : high;
    status = static_cast<std::uint8_t>(set ? (status | bit) : (status & ~bit));
  }
  return status;
}

std::uint8_t SimBoard::ModemStatus(bool line) const {
  if (wiring_.dataIn == sim::InputPin::Modem) {
    return line != wiring_.inputLow ? static_cast<std::uint8_t>(wiring_.inputPin) : 0;
  }
  return wiring_.dataIn == sim::InputPin::Cts && line ? 0x10 : 0;
}

bool SimBoard::ParallelRegister(std::uint16_t address) const {
  return parallel_ && address >= base_ &&
         (address <= base_ + reg::kControl || address == base_ + reg::kExtendedControl);
}

std::uint8_t SimBoard::In(std::uint16_t address) {
  std::int64_t now = BeginAccess();
  if (ParallelRegister(address)) {
    const std::uint8_t value = parallel_->In(static_cast<std::uint16_t>(address - base_), now);
    Record(PortAccessRecord::Kind::In, address, value, now);
    EndAccess();
    return value;
  }
  if (ReadsDataIn(address)) ++dataInReads_;
  Recompute(now);
  bool line = ChipDataLine(now) != inversions_.dataIn;
  std::uint8_t value = kFloatingBus;
  if (kind_ == PortKind::Serial) {
    bool dlab = lcr_ & kLcrDlab;
    if (address >= base_ && address <= base_ + 7) {
      switch (address - base_) {
        case reg::kThr:
          value = dlab ? static_cast<std::uint8_t>(divisor_) : 0;
          break;
        case reg::kDivisorHigh:
          value = dlab ? static_cast<std::uint8_t>(divisor_ >> 8) : ier_;
          break;
        case 2:
          value = 0x01;
          break;
        case reg::kLcr:
          value = lcr_;
          break;
        case reg::kMcr:
          value = mcr_;
          break;
        case reg::kLsr:
          value = (txQueue_.empty() && !transmitterStuck_) ? (kLsrThre | kLsrTemt) : 0;
          break;
        case reg::kMsr:
          value = ModemStatus(line);
          break;
        default:
          value = scratch_;
          break;
      }
    }
  } else if (address == base_ + reg::kData) {
    value = data_;
  } else if (address == base_ + reg::kStatus) {
    value = StatusRegister(line);
  } else if (address == base_ + reg::kControl) {
    value = control_;
  } else if (address == base_ + reg::kExtendedControl) {
    value = extendedControl_;
  }
  Record(PortAccessRecord::Kind::In, address, value, now);
  EndAccess();
  return value;
}

void SimBoard::WriteByte(std::uint8_t value) {
  if (!Serial()) return;
  std::int64_t now = BeginAccess();
  Record(PortAccessRecord::Kind::WriteByte, 0, value, now);
  if (txQueue_.empty()) frameStartNs_ = now * 1000;
  txQueue_.push_back(value);
  Recompute(now);
  EndAccess();
}

void SimBoard::Out(std::uint16_t address, std::uint8_t value) {
  std::int64_t now = BeginAccess();
  Record(PortAccessRecord::Kind::Out, address, value, now);
  if (ParallelRegister(address)) {
    parallel_->Out(static_cast<std::uint16_t>(address - base_), value, now);
    Recompute(now);
    EndAccess();
    return;
  }
  if (kind_ == PortKind::Serial) {
    bool dlab = lcr_ & kLcrDlab;
    if (address >= base_ && address <= base_ + 7) {
      switch (address - base_) {
        case reg::kThr:
          if (dlab) {
            divisor_ = static_cast<std::uint16_t>((divisor_ & 0xFF00) | value);
          } else {
            if (txQueue_.empty()) frameStartNs_ = now * 1000;
            txQueue_.push_back(value);
          }
          break;
        case reg::kDivisorHigh:
          if (dlab) {
            divisor_ = static_cast<std::uint16_t>((divisor_ & 0x00FF) | (value << 8));
          } else {
            ier_ = value;
          }
          break;
        case reg::kLcr:
          lcr_ = value;
          break;
        case reg::kMcr:
          mcr_ = value;
          break;
        case 7:
          scratch_ = value;
          break;
        default:
          break;
      }
    }
  } else if (address == base_ + reg::kData) {
    data_ = value;
    if (Eval(wiring_.latchOpen, data_, now)) latched_ = data_;
  } else if (address == base_ + reg::kControl) {
    control_ = value;
  } else if (address == base_ + reg::kExtendedControl) {
    extendedControl_ = value;
  }
  Recompute(now);
  EndAccess();
}

// --- serial system calls ---

// A parallel port has no serial system calls, as the ppdev backend has none.
bool SimBoard::Serial() const {
  return kind_ == PortKind::Serial;
}

void SimBoard::SetDtr(bool on) {
  if (!Serial()) return;
  std::int64_t now = BeginAccess();
  Record(PortAccessRecord::Kind::SetDtr, 0, on, now);
  mcr_ = static_cast<std::uint8_t>(on ? (mcr_ | kMcrDtr) : (mcr_ & ~kMcrDtr));
  Recompute(now);
  EndLineCall();
}

void SimBoard::SetRts(bool on) {
  if (!Serial()) return;
  std::int64_t now = BeginAccess();
  Record(PortAccessRecord::Kind::SetRts, 0, on, now);
  mcr_ = static_cast<std::uint8_t>(on ? (mcr_ | kMcrRts) : (mcr_ & ~kMcrRts));
  Recompute(now);
  EndLineCall();
}

void SimBoard::SetBreak(bool on) {
  if (!Serial()) return;
  std::int64_t now = BeginAccess();
  Record(PortAccessRecord::Kind::SetBreak, 0, on, now);
  lcr_ = static_cast<std::uint8_t>(on ? (lcr_ | kLcrBreak) : (lcr_ & ~kLcrBreak));
  Recompute(now);
  EndLineCall();
}

bool SimBoard::Cts() {
  if (!Serial()) return false;
  std::int64_t now = BeginAccess();
  if (wiring_.dataIn == sim::InputPin::Cts) ++dataInReads_;
  Recompute(now);
  bool line = ChipDataLine(now) != inversions_.dataIn;
  bool cts = ModemStatus(line) != 0;
  Record(PortAccessRecord::Kind::Cts, 0, cts, now);
  EndLineCall();
  return cts;
}

void SimBoard::SetLineFormat(const LineFormat& format) {
  if (!Serial()) return;
  std::int64_t now = BeginAccess();
  Record(PortAccessRecord::Kind::LineFormat, 0, 0, now);
  int dataBits = format.dataBits >= 5 && format.dataBits <= 8 ? format.dataBits : 8;
  std::uint8_t bits =
      static_cast<std::uint8_t>((dataBits - 5) | (format.stopBits == 2 ? kLcrTwoStops : 0) |
                                (format.parity != Parity::None ? kLcrParity : 0) |
                                (format.parity == Parity::Even ? kLcrEvenParity : 0));
  lcr_ = static_cast<std::uint8_t>((lcr_ & (kLcrBreak | kLcrDlab)) | bits);
  if (format.baud > 0) {
    std::int64_t divisor = kUartClockBaud / format.baud;
    divisor_ = static_cast<std::uint16_t>(divisor < 1 ? 1 : divisor);
  }
  Recompute(now);
  EndAccess();
}

void SimBoard::PortClosed() {
  std::int64_t now = clock_.nowUs();
  AdvanceTo(now);
  if (kind_ == PortKind::Serial) lcr_ &= static_cast<std::uint8_t>(~kLcrBreak);
  Recompute(now);
}

void SimBoard::ObserveRead(std::uint16_t address, std::uint8_t value) {
  std::int64_t now = clock_.nowUs();
  AdvanceTo(now);
  if (ParallelRegister(address)) {
    parallel_->Observe(static_cast<std::uint16_t>(address - base_), value);
    Recompute(now);
    return;
  }
  if (kind_ == PortKind::Parallel && address == base_ + reg::kData) {
    data_ = value;
  }
  if (ReadsDataIn(address)) {
    switch (wiring_.dataIn) {
      case sim::InputPin::Cts:
        observedDataIn_ = value & 0x10;
        break;
      case sim::InputPin::Ack:
        observedDataIn_ = value & 0x40;
        break;
      case sim::InputPin::Busy:
        observedDataIn_ = !(value & 0x80);
        break;
      case sim::InputPin::Status:
        observedDataIn_ = (((value & wiring_.inputPin) != 0) !=
                           (wiring_.inputPin == kStatusBusy)) != wiring_.inputLow;
        break;
      case sim::InputPin::Modem:
        observedDataIn_ = ((value & wiring_.inputPin) != 0) != wiring_.inputLow;
        break;
      case sim::InputPin::None:
      case sim::InputPin::Pin:
        break;
    }
  }
  Recompute(now);
}

void SimBoard::ObservePins(std::uint64_t levels) {
  std::int64_t now = clock_.nowUs();
  AdvanceTo(now);
  if (wiring_.dataIn == sim::InputPin::Pin) {
    observedDataIn_ = ((levels & wiring_.inputPin) != 0) != wiring_.inputLow;
  }
  Recompute(now);
}

void SimBoard::ObserveCts(bool cts) {
  std::int64_t now = clock_.nowUs();
  AdvanceTo(now);
  if (wiring_.dataIn == sim::InputPin::Cts) observedDataIn_ = cts;
  Recompute(now);
}

}  // namespace kestrum
