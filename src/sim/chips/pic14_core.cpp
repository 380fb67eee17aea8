// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC 14-bit core: decode table, register file, instruction semantics and timing.
#include "sim/chips/pic14_core.hpp"

#include <algorithm>
#include <limits>

namespace kestrum {

using namespace pic14;

namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint16_t kPcMask = 0x1FFF;
constexpr std::uint8_t kGieT0ieT0if = kGie | kT0ie | kT0if;
// OPTION bits of TMR0: clock source, prescaler assignment, prescaler rate.
constexpr std::uint8_t kT0cs = 0x20;
constexpr std::uint8_t kPsa = 0x08;
constexpr std::uint8_t kPsMask = 0x07;
constexpr std::uint8_t kEecon1Rd = 0x01;

}  // namespace

Pic14Core::Pic14Core(const Pic14CoreShape& shape, PicPortPins& pins)
    : shape_(shape), pins_(pins), program_(static_cast<std::size_t>(shape.programWords)) {
  for (int a = 0; a < 256; ++a) {
    const int f = a & 0x7F;
    const bool bank1 = a & 0x80;
    std::int16_t cell = kUnimplemented;
    if (f >= shape_.firstGpr && f <= shape_.lastGpr) {
      cell = static_cast<std::int16_t>(f);  // the same cell from both banks
    } else {
      switch (f) {
        case 0x00:
          cell = kSIndf;
          break;
        case 0x01:
          cell = bank1 ? kSOption : kSTmr0;
          break;
        case 0x02:
          cell = kSPcl;
          break;
        case 0x03:
          cell = kSStatus;
          break;
        case 0x04:
          cell = kSFsr;
          break;
        case 0x05:
          cell = bank1 ? kSTrisA : kSPortA;
          break;
        case 0x06:
          cell = bank1 ? kSTrisB : kSPortB;
          break;
        case 0x08:
          cell = bank1 ? std::int16_t{kSEecon1} : std::int16_t{kEedata};
          break;
        case 0x09:
          cell = bank1 ? std::int16_t{kSEecon2} : std::int16_t{kEeadr};
          break;
        case 0x0A:
          cell = kSPclath;
          break;
        case 0x0B:
          cell = kSIntcon;
          break;
        default:
          break;
      }
    }
    map_[static_cast<std::size_t>(a)] = cell;
  }
}

// The instruction set's encoding table (14-bit words).
Pic14Core::Instruction Pic14Core::Decode(std::uint16_t word) {
  word &= 0x3FFF;
  Instruction in;
  in.f = static_cast<std::uint8_t>(word & 0x7F);
  in.arg = static_cast<std::uint8_t>((word >> 7) & 1);
  in.k = static_cast<std::uint16_t>(word & 0xFF);
  switch (word >> 12) {
    case 0b00: {
      static constexpr Op kByteOps[16] = {
          Op::Movwf, Op::Clrf, Op::Subwf, Op::Decf,   Op::Iorwf, Op::Andwf, Op::Xorwf, Op::Addwf,
          Op::Movf,  Op::Comf, Op::Incf,  Op::Decfsz, Op::Rrf,   Op::Rlf,   Op::Swapf, Op::Incfsz};
      const int code = (word >> 8) & 0xF;
      in.op = kByteOps[code];
      if (code == 0 && !(word & 0x80)) {
        // 00 0000 0xxx xxxx: the operations without a file register.
        switch (word) {
          case 0x0008:
            in.op = Op::Return;
            break;
          case 0x0009:
            in.op = Op::Retfie;
            break;
          case 0x0062:
            in.op = Op::Option;
            break;
          case 0x0063:
            in.op = Op::Sleep;
            break;
          case 0x0064:
            in.op = Op::Clrwdt;
            break;
          case 0x0065:
          case 0x0066:
          case 0x0067:
            in.op = Op::Tris;
            break;
          default:
            in.op = Op::Nop;
            break;  // NOP, and the codes no part defines
        }
      } else if (code == 1 && !(word & 0x80)) {
        in.op = Op::Clrw;
      }
      break;
    }
    case 0b01: {
      static constexpr Op kBitOps[4] = {Op::Bcf, Op::Bsf, Op::Btfsc, Op::Btfss};
      in.op = kBitOps[(word >> 10) & 3];
      in.arg = static_cast<std::uint8_t>(1u << ((word >> 7) & 7));
      break;
    }
    case 0b10:
      in.op = (word & 0x0800) ? Op::Goto : Op::Call;
      in.k = static_cast<std::uint16_t>(word & 0x07FF);
      break;
    default: {
      const int code = (word >> 8) & 0xF;
      if (code < 4) {
        in.op = Op::Movlw;
      } else if (code < 8) {
        in.op = Op::Retlw;
      } else if (code == 8) {
        in.op = Op::Iorlw;
      } else if (code == 9) {
        in.op = Op::Andlw;
      } else if (code == 10) {
        in.op = Op::Xorlw;
      } else if (code < 14) {
        in.op = code == 11 ? Op::Nop : Op::Sublw;  // 11 1011 is not an instruction
      } else {
        in.op = Op::Addlw;
      }
      break;
    }
  }
  return in;
}

void Pic14Core::Reset(std::span<const std::uint16_t> code, std::span<const std::uint8_t> eeprom,
                      bool powerOn) {
  for (std::size_t i = 0; i < program_.size(); ++i) {
    program_[i] = Decode(i < code.size() ? code[i] : 0x3FFF);
  }
  eeprom_ = eeprom;
  if (powerOn) {
    // What the datasheet leaves unknown after power-on gets a pattern a program must not
    // rely on; port latches come up high, the worst case for lines that are only released.
    for (int i = shape_.firstGpr; i <= shape_.lastGpr; ++i) {
      ram_[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0x5A ^ (i * 37));
    }
    ram_[kEedata] = 0xFF;
    ram_[kEeadr] = 0xFF;
    w_ = 0xFF;
    fsr_ = 0xFF;
    latch_ = {0x1F, 0xFF};
    status_ = kTo | kPd;
    timerBase_ = 0;
    eecon1_ = 0;
    intcon_ = 0;
  } else {
    status_ = static_cast<std::uint8_t>((status_ & (kZ | kDc | kC)) | kTo | kPd);
    intcon_ &= 0x01;
    eecon1_ &= 0x08;
  }
  bank_ = 0;
  pc_ = 0;
  pclath_ = 0;
  option_ = 0xFF;
  tris_ = {0x1F, 0xFF};
  sp_ = 0;
  sleeping_ = false;
  pendingExtra_ = 0;
  timerStart_ = cycles_;
  TimerSettingsChanged();
  pins_.Drive(PicPortPins::kPortA, latch_[0], tris_[0], cycles_);
  pins_.Drive(PicPortPins::kPortB, latch_[1], tris_[1], cycles_);
}

// --- registers ---

std::uint8_t Pic14Core::Peek(int address) const {
  const std::int16_t cell = map_[static_cast<std::size_t>(address & 0xFF)];
  if (cell >= 0) return ram_[static_cast<std::size_t>(cell)];
  switch (cell) {
    case kSIndf:
      return 0;
    case kSTmr0:
      return Timer0();
    case kSPcl:
      return static_cast<std::uint8_t>(pc_);
    case kSStatus:
      return status_;
    case kSFsr:
      return fsr_;
    case kSPortA:
      return latch_[0];
    case kSPortB:
      return latch_[1];
    case kSPclath:
      return pclath_;
    case kSIntcon:
      return intcon_;
    case kSOption:
      return option_;
    case kSTrisA:
      return tris_[0];
    case kSTrisB:
      return tris_[1];
    case kSEecon1:
      return eecon1_;
    default:
      return 0;
  }
}

std::uint8_t Pic14Core::Read(int address) {
  const std::int16_t cell = map_[static_cast<std::size_t>(address)];
  if (cell >= 0) return ram_[static_cast<std::size_t>(cell)];
  switch (cell) {
    case kSIndf:
      // FSR selects the register, bank bit included; INDF through INDF reads 0.
      return (fsr_ & 0x7F) == 0 ? 0 : Read(fsr_);
    case kSTmr0:
      return Timer0();
    case kSPcl:
      return static_cast<std::uint8_t>(pc_);
    case kSStatus:
      return status_;
    case kSFsr:
      return fsr_;
    case kSPortA:
      return static_cast<std::uint8_t>(pins_.ReadPins(PicPortPins::kPortA, cycles_) & 0x1F);
    case kSPortB:
      return pins_.ReadPins(PicPortPins::kPortB, cycles_);
    case kSPclath:
      return pclath_;
    case kSIntcon:
      UpdateTimerFlag();
      return intcon_;
    case kSOption:
      return option_;
    case kSTrisA:
      return tris_[0];
    case kSTrisB:
      return tris_[1];
    case kSEecon1:
      return eecon1_;
    default:
      return 0;  // unimplemented locations and EECON2 read as 0
  }
}

// `flagsByLogic`: the instruction sets Z, DC or C itself, so a write to STATUS leaves them.
void Pic14Core::Write(int address, std::uint8_t value, bool flagsByLogic) {
  const std::int16_t cell = map_[static_cast<std::size_t>(address)];
  if (cell >= 0) {
    ram_[static_cast<std::size_t>(cell)] = value;
    return;
  }
  switch (cell) {
    case kSIndf:
      if ((fsr_ & 0x7F) != 0) Write(fsr_, value, flagsByLogic);
      break;
    case kSTmr0:
      WriteTimer0(value);
      break;
    case kSPcl:
      // A computed jump: PCLATH supplies the upper bits, and the fetched instruction is
      // discarded, which costs a cycle.
      pc_ = static_cast<std::uint16_t>(((pclath_ & 0x1F) << 8) | value);
      pendingExtra_ = 1;
      break;
    case kSStatus: {
      // TO and PD are read-only.
      const std::uint8_t writable = flagsByLogic ? 0xE0 : 0xE7;
      status_ = static_cast<std::uint8_t>((status_ & ~writable) | (value & writable));
      bank_ = (status_ & kRp0) ? 0x80 : 0;
      break;
    }
    case kSFsr:
      fsr_ = value;
      break;
    case kSPortA:
      latch_[0] = value & 0x1F;
      pins_.Drive(PicPortPins::kPortA, latch_[0], tris_[0], cycles_);
      break;
    case kSPortB:
      latch_[1] = value;
      pins_.Drive(PicPortPins::kPortB, latch_[1], tris_[1], cycles_);
      break;
    case kSPclath:
      pclath_ = value & 0x1F;
      break;
    case kSIntcon:
      UpdateTimerFlag();
      intcon_ = value;
      Recompute();
      break;
    case kSOption:
      option_ = value;
      TimerSettingsChanged();
      break;
    case kSTrisA:
      tris_[0] = value & 0x1F;
      pins_.Drive(PicPortPins::kPortA, latch_[0], tris_[0], cycles_);
      break;
    case kSTrisB:
      tris_[1] = value;
      pins_.Drive(PicPortPins::kPortB, latch_[1], tris_[1], cycles_);
      break;
    case kSEecon1:
      eecon1_ = value & 0x1F;
      if (eecon1_ & kEecon1Rd) {
        if (!eeprom_.empty()) ram_[kEedata] = eeprom_[ram_[kEeadr] % eeprom_.size()];
        eecon1_ &= static_cast<std::uint8_t>(~kEecon1Rd);
      }
      break;
    default:
      break;  // unimplemented; EECON2 (writes to the data EEPROM are not modelled)
  }
}

void Pic14Core::Push(std::uint16_t address) {
  // Eight levels in a circle: a ninth push overwrites the first, with no flag.
  stack_[static_cast<std::size_t>(sp_ & 7)] = address;
  sp_ = (sp_ + 1) & 0xFF;
}

std::uint16_t Pic14Core::Pop() {
  sp_ = (sp_ - 1) & 0xFF;
  return stack_[static_cast<std::size_t>(sp_ & 7)];
}

// --- TMR0 ---

std::uint8_t Pic14Core::Timer0() const {
  if (timerStopped_ || cycles_ < timerStart_) return timerBase_;
  return static_cast<std::uint8_t>(timerBase_ + ((cycles_ - timerStart_) >> timerShift_));
}

std::uint64_t Pic14Core::NextOverflowCycle() const {
  return timerStart_ + (static_cast<std::uint64_t>(256 - timerBase_) << timerShift_);
}

void Pic14Core::WriteTimer0(std::uint8_t value) {
  // The increment is held off for the two cycles after a write, and the prescaler restarts.
  timerBase_ = value;
  timerStart_ = cycles_ + 2;
  overflowCycle_ = NextOverflowCycle();
  Recompute();
}

void Pic14Core::TimerSettingsChanged() {
  // The count so far is kept; the prescaler's phase starts again.
  timerBase_ = Timer0();
  timerStart_ = std::max(timerStart_, cycles_);
  timerStopped_ = (option_ & kT0cs) != 0 || sleeping_;  // RA4 counting is not modelled
  timerShift_ = (option_ & kPsa) ? 0 : (option_ & kPsMask) + 1;
  overflowCycle_ = timerStopped_ ? kNever : NextOverflowCycle();
  Recompute();
}

void Pic14Core::UpdateTimerFlag() {
  if (timerStopped_ || cycles_ < overflowCycle_) return;
  intcon_ |= kT0if;
  const std::uint64_t period = std::uint64_t{256} << timerShift_;
  overflowCycle_ += ((cycles_ - overflowCycle_) / period + 1) * period;
}

// --- running ---

void Pic14Core::Recompute() {
  limit_ = std::min(runUntil_, stopAt_);
  if ((intcon_ & (kGie | kT0ie)) == (kGie | kT0ie)) {
    if (intcon_ & kT0if) {
      limit_ = cycles_;  // taken at the next instruction boundary
    } else if (!timerStopped_) {
      limit_ = std::min(limit_, overflowCycle_);
    }
  }
}

void Pic14Core::Interrupt() {
  Push(pc_);
  pc_ = 4;
  intcon_ &= static_cast<std::uint8_t>(~kGie);
  cycles_ += 2;
}

void Pic14Core::StopAt(std::uint64_t cycle) {
  stopAt_ = std::min(stopAt_, cycle);
  limit_ = std::min(limit_, cycle);
}

void Pic14Core::RunUntil(std::uint64_t cycle) {
  runUntil_ = cycle;
  stopAt_ = kNever;
  while (cycles_ < runUntil_ && cycles_ < stopAt_) {
    if (sleeping_) {
      // Nothing modelled wakes the part but a reset (no watchdog, no pin interrupts).
      cycles_ = std::min(runUntil_, stopAt_);
      break;
    }
    UpdateTimerFlag();
    if ((intcon_ & kGieT0ieT0if) == kGieT0ieT0if) Interrupt();
    Recompute();
    while (cycles_ < limit_) Step();
  }
}

void Pic14Core::Step() {
  const Instruction in = program_[pc_ & (shape_.programWords - 1)];
  const std::uint16_t at = pc_;
  pc_ = static_cast<std::uint16_t>((pc_ + 1) & kPcMask);
  int cycles = 1;
  const int address = Resolve(in.f);
  // Result of a byte operation: to f when `arg` is 1, else to W.
  const auto store = [&](std::uint8_t r, bool flags) {
    if (in.arg) {
      Write(address, r, flags);
    } else {
      w_ = r;
    }
  };
  const auto setFlag = [&](std::uint8_t flag, bool on) {
    status_ = static_cast<std::uint8_t>(on ? (status_ | flag) : (status_ & ~flag));
  };
  const auto add = [&](std::uint8_t a, std::uint8_t b) {
    const int r = a + b;
    setFlag(kC, r > 0xFF);
    setFlag(kDc, (a & 0xF) + (b & 0xF) > 0xF);
    SetZ(static_cast<std::uint8_t>(r));
    return static_cast<std::uint8_t>(r);
  };
  // a - b: C and DC are "no borrow".
  const auto subtract = [&](std::uint8_t a, std::uint8_t b) {
    setFlag(kC, a >= b);
    setFlag(kDc, (a & 0xF) >= (b & 0xF));
    const auto r = static_cast<std::uint8_t>(a - b);
    SetZ(r);
    return r;
  };
  const auto skip = [&] {
    pc_ = static_cast<std::uint16_t>((pc_ + 1) & kPcMask);
    ++cycles;
  };
  const auto logic = [&](std::uint8_t r) {
    SetZ(r);
    store(r, true);
  };

  switch (in.op) {
    case Op::Nop:
      break;
    case Op::Movwf:
      Write(address, w_, false);
      break;
    case Op::Clrw:
      w_ = 0;
      status_ |= kZ;
      break;
    case Op::Clrf:
      status_ |= kZ;
      Write(address, 0, true);
      break;
    case Op::Subwf: {
      const std::uint8_t v = Read(address);
      store(subtract(v, w_), true);
      break;
    }
    case Op::Decf:
      logic(static_cast<std::uint8_t>(Read(address) - 1));
      break;
    case Op::Iorwf:
      logic(static_cast<std::uint8_t>(Read(address) | w_));
      break;
    case Op::Andwf:
      logic(static_cast<std::uint8_t>(Read(address) & w_));
      break;
    case Op::Xorwf:
      logic(static_cast<std::uint8_t>(Read(address) ^ w_));
      break;
    case Op::Addwf: {
      const std::uint8_t v = Read(address);
      store(add(v, w_), true);
      break;
    }
    case Op::Movf:
      logic(Read(address));
      break;
    case Op::Comf:
      logic(static_cast<std::uint8_t>(~Read(address)));
      break;
    case Op::Incf:
      logic(static_cast<std::uint8_t>(Read(address) + 1));
      break;
    case Op::Decfsz:
    case Op::Incfsz: {
      const auto r = static_cast<std::uint8_t>(Read(address) + (in.op == Op::Decfsz ? -1 : 1));
      store(r, false);
      if (r == 0) skip();
      break;
    }
    case Op::Rrf: {
      const std::uint8_t v = Read(address);
      const auto r = static_cast<std::uint8_t>((v >> 1) | ((status_ & kC) << 7));
      setFlag(kC, v & 1);
      store(r, true);
      break;
    }
    case Op::Rlf: {
      const std::uint8_t v = Read(address);
      const auto r = static_cast<std::uint8_t>((v << 1) | (status_ & kC));
      setFlag(kC, v & 0x80);
      store(r, true);
      break;
    }
    case Op::Swapf: {
      const std::uint8_t v = Read(address);
      store(static_cast<std::uint8_t>((v << 4) | (v >> 4)), false);
      break;
    }
    case Op::Bcf:
      // Read-modify-write: a port bit is read from its pin, not from its latch.
      Write(address, static_cast<std::uint8_t>(Read(address) & ~in.arg), false);
      break;
    case Op::Bsf:
      Write(address, static_cast<std::uint8_t>(Read(address) | in.arg), false);
      break;
    case Op::Btfsc:
      if (!(Read(address) & in.arg)) skip();
      break;
    case Op::Btfss:
      if (Read(address) & in.arg) skip();
      break;
    case Op::Call:
      Push(pc_);
      pc_ = static_cast<std::uint16_t>(((pclath_ & 0x18) << 8) | in.k);
      ++cycles;
      break;
    case Op::Goto:
      pc_ = static_cast<std::uint16_t>(((pclath_ & 0x18) << 8) | in.k);
      ++cycles;
      break;
    case Op::Movlw:
      w_ = static_cast<std::uint8_t>(in.k);
      break;
    case Op::Retlw:
      w_ = static_cast<std::uint8_t>(in.k);
      pc_ = Pop();
      ++cycles;
      break;
    case Op::Iorlw:
      w_ |= static_cast<std::uint8_t>(in.k);
      SetZ(w_);
      break;
    case Op::Andlw:
      w_ &= static_cast<std::uint8_t>(in.k);
      SetZ(w_);
      break;
    case Op::Xorlw:
      w_ ^= static_cast<std::uint8_t>(in.k);
      SetZ(w_);
      break;
    case Op::Sublw:
      w_ = subtract(static_cast<std::uint8_t>(in.k), w_);
      break;
    case Op::Addlw:
      w_ = add(static_cast<std::uint8_t>(in.k), w_);
      break;
    case Op::Return:
      pc_ = Pop();
      ++cycles;
      break;
    case Op::Retfie:
      pc_ = Pop();
      ++cycles;
      intcon_ |= kGie;
      Recompute();
      break;
    case Op::Sleep:
      status_ = static_cast<std::uint8_t>((status_ | kTo) & ~kPd);
      sleeping_ = true;
      TimerSettingsChanged();  // the oscillator stops, and TMR0 with it
      limit_ = cycles_;
      break;
    case Op::Clrwdt:
      status_ |= kTo | kPd;
      break;
    case Op::Option:
      option_ = w_;
      TimerSettingsChanged();
      break;
    case Op::Tris:
      if (in.f == 5 || in.f == 6) {
        const int port = in.f - 5;
        tris_[static_cast<std::size_t>(port)] = port == 0 ? (w_ & 0x1F) : w_;
        pins_.Drive(port, latch_[static_cast<std::size_t>(port)],
                    tris_[static_cast<std::size_t>(port)], cycles_);
      }
      break;
  }
  cycles_ += static_cast<std::uint64_t>(cycles + pendingExtra_);
  pendingExtra_ = 0;
  ++instructions_;

  // A loop of a skip test and a GOTO back to it, 3 cycles a turn, changes nothing but the
  // cycle count while its register does not: a poll of a port (whose pins change only
  // between runs or through the core's own writes) or of a plain register, or a count down
  // or up of a plain register to zero. Jump over the turns up to the limit at once.
  if (in.op != Op::Goto || !loopSkipping_ || pc_ != ((at - 1) & kPcMask) || cycles_ >= limit_) {
    return;
  }
  const Instruction& test = program_[pc_ & (shape_.programWords - 1)];
  const int testAddress = Resolve(test.f);
  const std::int16_t cell = map_[static_cast<std::size_t>(testAddress)];
  const bool plain = cell >= 0;
  std::uint64_t turns = (limit_ - cycles_) / 3;
  if (turns == 0) return;
  switch (test.op) {
    case Op::Btfsc:
    case Op::Btfss: {
      if (!plain && cell != kSPortA && cell != kSPortB) return;
      const bool set = (Read(testAddress) & test.arg) != 0;
      if (set == (test.op == Op::Btfss)) return;  // the next test leaves the loop
      break;
    }
    case Op::Decfsz:
    case Op::Incfsz: {
      if (!plain || !test.arg) return;
      std::uint8_t& counter = ram_[static_cast<std::size_t>(cell)];
      // Turns whose result is not yet zero.
      const int left = test.op == Op::Decfsz ? (counter == 0 ? 255 : counter - 1)
                                             : (counter == 0 ? 255 : 255 - counter);
      turns = std::min<std::uint64_t>(turns, static_cast<std::uint64_t>(left));
      counter =
          static_cast<std::uint8_t>(test.op == Op::Decfsz ? counter - turns : counter + turns);
      break;
    }
    default:
      return;
  }
  cycles_ += 3 * turns;
  instructions_ += 2 * turns;
}

}  // namespace kestrum
