// SPDX-License-Identifier: GPL-3.0-or-later
// The TAFE and TAIT Parallel boards at register level.
#include "sim/boards/parallel_board.hpp"

namespace kestrum {
namespace {

constexpr std::uint16_t kDataOffset = 0;
constexpr std::uint16_t kStatusOffset = 1;
constexpr std::uint16_t kControlOffset = 2;
constexpr std::uint16_t kExtendedControlOffset = 0x402;

// Control pins, as levels.
constexpr std::uint8_t kStrobe = 0x01;
constexpr std::uint8_t kAutoFeed = 0x02;
constexpr std::uint8_t kInit = 0x04;
constexpr std::uint8_t kSelectIn = 0x08;

// Status bits: unconnected inputs float high; BUSY reads inverted.
constexpr std::uint8_t kStatusFloating = 0x7F;
constexpr std::uint8_t kStatusError = 0x08;
constexpr std::uint8_t kStatusSelect = 0x10;
constexpr std::uint8_t kStatusPaperOut = 0x20;
constexpr std::uint8_t kStatusAckBit = 0x40;

bool Rose(std::uint8_t before, std::uint8_t after, std::uint8_t mask) {
  return !(before & mask) && (after & mask);
}
bool Fell(std::uint8_t before, std::uint8_t after, std::uint8_t mask) {
  return (before & mask) && !(after & mask);
}

class TafeBoard final : public ParallelBoard {
 public:
  ProgrammerType Type() const override { return ProgrammerType::Tafe; }

 private:
  void Clocked(std::uint8_t, std::uint8_t controlBefore, std::int64_t now) override {
    if (Rose(controlBefore, ControlPins(), kAutoFeed)) mode_ = DataPins(now);
  }

  ParallelPins Socket() const override {
    const std::uint8_t control = ControlPins();
    ParallelPins p;
    p.vcc = !(control & kAutoFeed) || (control & kInit);
    p.vpp = !(control & kSelectIn);
    p.counterClock = control & kStrobe;
    p.program = control & kInit;
    p.mode = mode_ & 0x0F;
    p.bus = data_;
    p.busDriven = DataInput() ? 0 : 0xFF;
    return p;
  }

  std::uint8_t SocketData(std::int64_t now) override {
    return static_cast<std::uint8_t>(BusLevel(Pins(), ChipBus(now)));
  }

  std::uint8_t Status(std::int64_t now) override {
    return static_cast<std::uint8_t>((kStatusFloating & ~kStatusAckBit) |
                                     (ChipReady(now) ? kStatusAckBit : 0));
  }

  std::uint8_t mode_ = 0;
};

}  // namespace

std::unique_ptr<ParallelBoard> ParallelBoard::For(ProgrammerType type) {
  switch (type) {
    case ProgrammerType::Tafe:
      return std::make_unique<TafeBoard>();
    case ProgrammerType::TaitParallel:
      return std::make_unique<TaitParallelBoard>();
    default:
      return nullptr;
  }
}

void ParallelBoard::Insert(Chip* chip, std::int64_t now) {
  chip_ = dynamic_cast<ParallelChip*>(chip);
  if (chip_) chip_->OnParallelPins(pins_, now);
  Update(now);
}

std::uint8_t ParallelBoard::DataPins(std::int64_t now) {
  if (!DataInput()) return data_;
  return observer_ ? observedData_ : SocketData(now);
}

std::uint8_t ParallelBoard::In(std::uint16_t offset, std::int64_t now) {
  switch (offset) {
    case kDataOffset:
      // The board's inverter sits between the socket and the port's input.
      return DataInput() ? static_cast<std::uint8_t>(SocketData(now) ^ (invertedInput_ ? 0xFF : 0))
                         : data_;
    case kStatusOffset:
      return Status(now);
    case kControlOffset:
      return control_;
    case kExtendedControlOffset:
      return extendedControl_;
    default:
      return 0xFF;
  }
}

void ParallelBoard::Out(std::uint16_t offset, std::uint8_t value, std::int64_t now) {
  const std::uint8_t dataBefore = DataPins(now);
  const std::uint8_t controlBefore = ControlPins();
  switch (offset) {
    case kDataOffset:
      data_ = value;
      break;
    case kControlOffset:
      control_ = value;
      break;
    case kExtendedControlOffset:
      extendedControl_ = value;
      return;
    default:
      return;
  }
  Clocked(dataBefore, controlBefore, now);
  Update(now);
}

void ParallelBoard::Observe(std::uint16_t offset, std::uint8_t value) {
  if (offset == kDataOffset && DataInput()) observedData_ = value;
  if (offset == kStatusOffset) observedStatus_ = value;
}

void ParallelBoard::Update(std::int64_t now) {
  const ParallelPins pins = Socket();
  if (pins == pins_) return;
  pins_ = pins;
  if (chip_) chip_->OnParallelPins(pins_, now);
}

ParallelTracePins ParallelBoard::TracePins(std::int64_t now) {
  ParallelTracePins t;
  t.vcc = pins_.vcc;
  t.vpp = pins_.vpp;
  t.data = DataPins(now);
  t.dataInput = DataInput();
  t.control = ControlPins();
  // The BUSY pin is high when its status bit reads 0.
  t.status = static_cast<std::uint8_t>(((observer_ ? observedStatus_ : Status(now)) ^ 0x80) & 0xF8);
  return t;
}

// ---- TAIT Parallel ----

std::uint16_t TaitSocketOrder(std::uint16_t r) {
  return static_cast<std::uint16_t>(((r & 0x3) << 2) | ((r >> 2) & 0x3) | ((r & 0x10) << 7) |
                                    ((r >> 1) & 0x7F0));
}

std::uint16_t TaitRegisterOrder(std::uint16_t p) {
  return static_cast<std::uint16_t>(((p >> 2) & 0x3) | ((p & 0x3) << 2) | ((p >> 7) & 0x10) |
                                    ((p & 0x7F0) << 1));
}

namespace {

constexpr std::uint8_t kOsc1 = 0x01;
constexpr std::uint8_t kT0cki = 0x02;
constexpr std::uint8_t kSerialLow = 0x04;
constexpr std::uint8_t kSerialHigh = 0x08;
constexpr std::uint8_t kShiftClock = 0x10;
constexpr std::uint8_t kWriteDisable = 0x20;
constexpr std::int64_t kCountedPulseUs = 90;

}  // namespace

ParallelPins TaitParallelBoard::Socket() const {
  const std::uint8_t control = ControlPins();
  ParallelPins p;
  p.vcc = control & kInit;
  p.vpp = control & kSelectIn;
  p.program = data_ & kOsc1;
  p.counterClock = data_ & kT0cki;
  const auto registers = static_cast<std::uint16_t>((writeHigh_ << 4) | (writeLow_ & 0x0F));
  p.bus = pin18_ ? TaitSocketOrder(registers) : registers;
  p.busDriven = (data_ & kWriteDisable) ? 0 : 0xFFF;
  return p;
}

std::uint16_t TaitParallelBoard::PortWord(std::int64_t now) {
  const std::uint16_t level = BusLevel(Pins(), ChipBus(now)) & 0xFFF;
  return pin18_ ? TaitRegisterOrder(level) : level;
}

void TaitParallelBoard::Clocked(std::uint8_t before, std::uint8_t, std::int64_t now) {
  const std::uint8_t after = data_;
  if (Rose(before, after, kShiftClock)) {
    if ((after & kT0cki) || !(after & kOsc1)) {
      const std::uint16_t word = PortWord(now);
      readHigh_ = static_cast<std::uint8_t>(word >> 4);
      readLow_ = static_cast<std::uint8_t>(0xF0 | (word & 0x0F));
    } else {
      readHigh_ = static_cast<std::uint8_t>((readHigh_ << 1) | 1);
      readLow_ = static_cast<std::uint8_t>((readLow_ << 1) | 1);
    }
    writeHigh_ = static_cast<std::uint8_t>((writeHigh_ << 1) | ((after & kSerialHigh) ? 1 : 0));
    writeLow_ = static_cast<std::uint8_t>((writeLow_ << 1) | ((after & kSerialLow) ? 1 : 0));
  }
  const bool driving = !(after & kWriteDisable) && (ControlPins() & kSelectIn);
  if (Fell(before, after, kOsc1)) pulseStartUs_ = driving ? now : -1;
  if (Rose(before, after, kOsc1)) {
    if (pulseStartUs_ >= 0 && driving && now - pulseStartUs_ >= kCountedPulseUs) ++drivenPulses_;
    pulseStartUs_ = -1;
  }
}

std::uint8_t TaitParallelBoard::Status(std::int64_t) {
  std::uint8_t status = kStatusFloating & ~(kStatusError | kStatusSelect | kStatusPaperOut);
  if (!pin18_) status |= kStatusError;
  if (readHigh_ & 0x80) status |= kStatusSelect;
  if (readLow_ & 0x80) status |= kStatusPaperOut;
  return status;
}

}  // namespace kestrum
