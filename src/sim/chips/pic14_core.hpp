// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC 14-bit core running a program: the instruction set of the midrange parts (the 35
// instructions, and OPTION and TRIS that the 16x84 still decode), W and STATUS with its flags,
// the two register banks, FSR/INDF, PCL/PCLATH, the eight-level stack, PORTA/PORTB with their
// TRIS registers, TMR0 with its prescaler and interrupt, and reads of the data EEPROM.
// Instruction cycles are counted as the datasheet gives them (two for branches, calls,
// returns, taken skips and writes to PCL). The program is decoded once per reset into a table,
// so a step is one indexed fetch and one dispatch; polling and delay loops whose state cannot
// change before the next event are jumped over in one step, with the cycles they take.
//
// The core knows nothing of what its pins are wired to: it reads and drives them through
// PicPortPins, with the cycle of each access, and the caller turns cycles into time.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrum {

// What the core's port pins are wired to.
class PicPortPins {
 public:
  enum Port : int { kPortA = 0, kPortB = 1 };
  // The pin levels of a port at `cycle`, bit i for pin i.
  virtual std::uint8_t ReadPins(int port, std::uint64_t cycle) = 0;
  // What the core drives on a port changed at `cycle`: the output latch and the direction
  // (TRIS bit 1 = input).
  virtual void Drive(int port, std::uint8_t latch, std::uint8_t tris, std::uint64_t cycle) = 0;

 protected:
  ~PicPortPins() = default;
};

// The part around the core.
struct Pic14CoreShape {
  int programWords = 1024;  // a power of two; the program counter wraps onto it
  int firstGpr = 0x0C;      // general-purpose registers, mapped into both banks
  int lastGpr = 0x4F;       // 0x2F on the 16C84
};

// Register addresses (bank 0, or bank 1 with 0x80 set).
namespace pic14 {
inline constexpr int kIndf = 0x00;
inline constexpr int kTmr0 = 0x01;
inline constexpr int kPcl = 0x02;
inline constexpr int kStatus = 0x03;
inline constexpr int kFsr = 0x04;
inline constexpr int kPortA = 0x05;
inline constexpr int kPortB = 0x06;
inline constexpr int kEedata = 0x08;
inline constexpr int kEeadr = 0x09;
inline constexpr int kPclath = 0x0A;
inline constexpr int kIntcon = 0x0B;
inline constexpr int kOption = 0x81;
inline constexpr int kTrisA = 0x85;
inline constexpr int kTrisB = 0x86;
inline constexpr int kEecon1 = 0x88;
inline constexpr int kEecon2 = 0x89;
// STATUS bits.
inline constexpr std::uint8_t kC = 0x01;
inline constexpr std::uint8_t kDc = 0x02;
inline constexpr std::uint8_t kZ = 0x04;
inline constexpr std::uint8_t kPd = 0x08;
inline constexpr std::uint8_t kTo = 0x10;
inline constexpr std::uint8_t kRp0 = 0x20;
// INTCON bits.
inline constexpr std::uint8_t kT0if = 0x04;
inline constexpr std::uint8_t kT0ie = 0x20;
inline constexpr std::uint8_t kGie = 0x80;
}  // namespace pic14

class Pic14Core {
 public:
  Pic14Core(const Pic14CoreShape& shape, PicPortPins& pins);

  // A reset: power-on (registers the datasheet leaves unknown get a fixed pattern, so a
  // program that relies on them shows it) or MCLR (they keep their values). The program is
  // taken from `code` (14-bit words) and decoded; `eeprom` is the data EEPROM reads see.
  void Reset(std::span<const std::uint16_t> code, std::span<const std::uint8_t> eeprom,
             bool powerOn);
  // Runs until the cycle counter reaches `cycle` (an instruction that started before it
  // finishes, so it may end a cycle later), or until StopAt.
  void RunUntil(std::uint64_t cycle);
  // During RunUntil (from a pin callback): stop once `cycle` is reached.
  void StopAt(std::uint64_t cycle);
  // Loop skipping on or off (on by default); the speed bench runs without it.
  void SetLoopSkipping(bool on) { loopSkipping_ = on; }

  std::uint64_t Cycles() const { return cycles_; }
  std::uint64_t Instructions() const { return instructions_; }
  bool Sleeping() const { return sleeping_; }

  // State, for tests and the card's wiring.
  std::uint8_t W() const { return w_; }
  std::uint16_t Pc() const { return pc_; }
  std::uint8_t Status() const { return status_; }
  // A register as the program would read it at absolute address 0x00..0xFF, without side
  // effects (ports give their latch).
  std::uint8_t Peek(int address) const;
  std::uint8_t Latch(int port) const { return latch_[port]; }
  std::uint8_t Tris(int port) const { return tris_[port]; }
  std::uint8_t Option() const { return option_; }
  int StackDepth() const { return sp_; }

 private:
  enum class Op : std::uint8_t {
    Nop,
    Movwf,
    Clrw,
    Clrf,
    Subwf,
    Decf,
    Iorwf,
    Andwf,
    Xorwf,
    Addwf,
    Movf,
    Comf,
    Incf,
    Decfsz,
    Rrf,
    Rlf,
    Swapf,
    Incfsz,
    Bcf,
    Bsf,
    Btfsc,
    Btfss,
    Call,
    Goto,
    Movlw,
    Retlw,
    Iorlw,
    Andlw,
    Xorlw,
    Sublw,
    Addlw,
    Return,
    Retfie,
    Sleep,
    Clrwdt,
    Option,
    Tris,
  };
  struct Instruction {
    Op op = Op::Nop;
    std::uint8_t f = 0;    // file register (7 bits)
    std::uint8_t arg = 0;  // bit mask of bit operations, 1 when the result goes to f
    std::uint16_t k = 0;   // literal or branch target
  };
  // Where each of the 256 bank-resolved addresses lands: a plain register (its index in
  // ram_) or one with side effects.
  enum Special : std::int16_t {
    kUnimplemented = -1,
    kSIndf = -2,
    kSTmr0 = -3,
    kSPcl = -4,
    kSStatus = -5,
    kSFsr = -6,
    kSPortA = -7,
    kSPortB = -8,
    kSPclath = -9,
    kSIntcon = -10,
    kSOption = -11,
    kSTrisA = -12,
    kSTrisB = -13,
    kSEecon1 = -14,
    kSEecon2 = -15,
  };

  static Instruction Decode(std::uint16_t word);
  int Resolve(std::uint8_t f) const { return bank_ | f; }
  std::uint8_t Read(int address);
  void Write(int address, std::uint8_t value, bool flagsByLogic);
  void SetZ(std::uint8_t result) {
    status_ = static_cast<std::uint8_t>((status_ & ~pic14::kZ) | (result == 0 ? pic14::kZ : 0));
  }
  void Push(std::uint16_t address);
  std::uint16_t Pop();
  void Interrupt();
  void Recompute();
  // TMR0, counted lazily from the cycle of its last write.
  std::uint8_t Timer0() const;
  void WriteTimer0(std::uint8_t value);
  void TimerSettingsChanged();
  void UpdateTimerFlag();
  std::uint64_t NextOverflowCycle() const;
  void Step();

  Pic14CoreShape shape_;
  PicPortPins& pins_;
  std::vector<Instruction> program_;
  std::span<const std::uint8_t> eeprom_;
  std::array<std::int16_t, 256> map_{};
  std::array<std::uint8_t, 256> ram_{};

  std::uint8_t w_ = 0;
  std::uint16_t pc_ = 0;
  std::uint8_t status_ = 0x18;
  int bank_ = 0;
  std::uint8_t fsr_ = 0;
  std::uint8_t pclath_ = 0;
  std::uint8_t intcon_ = 0;
  std::uint8_t option_ = 0xFF;
  std::array<std::uint8_t, 2> latch_{};
  std::array<std::uint8_t, 2> tris_{0x1F, 0xFF};
  std::uint8_t eecon1_ = 0;
  std::array<std::uint16_t, 8> stack_{};
  int sp_ = 0;  // pushes since reset, modulo 8 when used
  bool sleeping_ = false;

  // TMR0: its value at timerBase_, counting one per (1 << timerShift_) cycles from
  // timerStart_ (none before, after a write's two-cycle hold), or stopped.
  std::uint8_t timerBase_ = 0;
  std::uint64_t timerStart_ = 0;
  int timerShift_ = 0;
  bool timerStopped_ = false;
  std::uint64_t overflowCycle_ = 0;  // the next T0IF, while the timer runs

  std::uint64_t cycles_ = 0;
  std::uint64_t instructions_ = 0;
  std::uint64_t runUntil_ = 0;
  std::uint64_t stopAt_ = 0;
  std::uint64_t limit_ = 0;  // min(runUntil_, stopAt_, the next timer event when it matters)
  int pendingExtra_ = 0;     // a cycle lost to a write to PCL
  bool loopSkipping_ = true;
};

}  // namespace kestrum
