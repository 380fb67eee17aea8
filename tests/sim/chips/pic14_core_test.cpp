// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC 14-bit core against the instruction set's datasheet: flags, skips, calls and the
// stack, banks, PCLATH, cycle counts, TMR0, the read-modify-write of port bits, the loop
// skipping that must change nothing but speed, and a gpasm-built program whose results are
// computed here too.
#include "sim/chips/pic14_core.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "buffers/device_image.hpp"
#include "core/recording_ui.hpp"
#include "device/catalogue.hpp"

namespace kestrum {
namespace {

using namespace pic14;

// Instruction words, from the instruction set's encoding table.
constexpr std::uint16_t Byte(int op, int f, int d) {
  return static_cast<std::uint16_t>((op << 8) | (d << 7) | f);
}
constexpr std::uint16_t kNop = 0x0000;
constexpr std::uint16_t Movwf(int f) {
  return Byte(0x0, f, 1);
}
constexpr std::uint16_t Clrf(int f) {
  return Byte(0x1, f, 1);
}
constexpr std::uint16_t Subwf(int f, int d) {
  return Byte(0x2, f, d);
}
constexpr std::uint16_t Addwf(int f, int d) {
  return Byte(0x7, f, d);
}
constexpr std::uint16_t Movf(int f, int d) {
  return Byte(0x8, f, d);
}
constexpr std::uint16_t Decfsz(int f, int d) {
  return Byte(0xB, f, d);
}
constexpr std::uint16_t Incfsz(int f, int d) {
  return Byte(0xF, f, d);
}
constexpr std::uint16_t Bcf(int f, int b) {
  return static_cast<std::uint16_t>(0x1000 | (b << 7) | f);
}
constexpr std::uint16_t Bsf(int f, int b) {
  return static_cast<std::uint16_t>(0x1400 | (b << 7) | f);
}
constexpr std::uint16_t Btfsc(int f, int b) {
  return static_cast<std::uint16_t>(0x1800 | (b << 7) | f);
}
constexpr std::uint16_t Btfss(int f, int b) {
  return static_cast<std::uint16_t>(0x1C00 | (b << 7) | f);
}
constexpr std::uint16_t Call(int k) {
  return static_cast<std::uint16_t>(0x2000 | k);
}
constexpr std::uint16_t Goto(int k) {
  return static_cast<std::uint16_t>(0x2800 | k);
}
constexpr std::uint16_t Movlw(int k) {
  return static_cast<std::uint16_t>(0x3000 | k);
}
constexpr std::uint16_t Retlw(int k) {
  return static_cast<std::uint16_t>(0x3400 | k);
}
constexpr std::uint16_t Sublw(int k) {
  return static_cast<std::uint16_t>(0x3C00 | k);
}
constexpr std::uint16_t Addlw(int k) {
  return static_cast<std::uint16_t>(0x3E00 | k);
}
constexpr std::uint16_t kReturn = 0x0008;
constexpr std::uint16_t kRetfie = 0x0009;
constexpr std::uint16_t kOptionInstruction = 0x0062;

constexpr int kF = 1;  // destination f
constexpr int kW = 0;  // destination W
constexpr int kRam = 0x20;

// Pins that read as the test sets them and remember what the core drove.
struct Pins final : PicPortPins {
  std::uint8_t levels[2] = {0, 0};
  std::uint8_t latch[2] = {0, 0};
  std::uint8_t tris[2] = {0x1F, 0xFF};
  int reads = 0;
  std::uint8_t ReadPins(int port, std::uint64_t) override {
    ++reads;
    return levels[port];
  }
  void Drive(int port, std::uint8_t l, std::uint8_t t, std::uint64_t) override {
    latch[port] = l;
    tris[port] = t;
  }
};

struct Core {
  explicit Core(std::vector<std::uint16_t> program, Pic14CoreShape shape = {})
      : words(std::move(program)), core(shape, pins) {
    core.Reset(words, eeprom, true);
  }
  // One instruction (no loop of the program is long enough to be jumped over here).
  void Step(int n = 1) {
    for (int i = 0; i < n; ++i) core.RunUntil(core.Cycles() + 1);
  }
  std::vector<std::uint16_t> words;
  std::vector<std::uint8_t> eeprom = {0x11, 0x22, 0x33};
  Pins pins;
  Pic14Core core;
};

struct Arithmetic {
  const char* name;
  std::uint16_t op;  // on register kRam (holding f) with W = w, result to W
  int f, w;
  int result;
  std::uint8_t flags;  // C, DC, Z
};
void PrintTo(const Arithmetic& a, std::ostream* out) {
  *out << a.name;
}

class Flags : public ::testing::TestWithParam<Arithmetic> {};

TEST_P(Flags, AsTheDatasheetGivesThem) {
  const Arithmetic& a = GetParam();
  Core c({Movlw(a.f), Movwf(kRam), Movlw(a.w), a.op});
  c.Step(4);
  EXPECT_EQ(c.core.W(), a.result);
  EXPECT_EQ(c.core.Status() & (kC | kDc | kZ), a.flags);
}

INSTANTIATE_TEST_SUITE_P(
    AddAndSubtract, Flags,
    ::testing::Values(Arithmetic{"add_plain", Addwf(kRam, kW), 0x12, 0x34, 0x46, 0},
                      Arithmetic{"add_digit_carry", Addwf(kRam, kW), 0x0F, 0x01, 0x10, kDc},
                      Arithmetic{"add_wraps_to_zero", Addwf(kRam, kW), 0xFF, 0x01, 0x00,
                                 kC | kDc | kZ},
                      Arithmetic{"add_carry_only", Addwf(kRam, kW), 0x80, 0x80, 0x00, kC | kZ},
                      Arithmetic{"sub_no_borrow", Subwf(kRam, kW), 0x05, 0x03, 0x02, kC | kDc},
                      Arithmetic{"sub_borrow", Subwf(kRam, kW), 0x03, 0x05, 0xFE, 0},
                      Arithmetic{"sub_digit_borrow", Subwf(kRam, kW), 0x10, 0x01, 0x0F, kC},
                      Arithmetic{"sub_equal", Subwf(kRam, kW), 0x42, 0x42, 0x00, kC | kDc | kZ},
                      // The literal forms compute k + W and k - W.
                      Arithmetic{"addlw", Addlw(0xF8), 0, 0x08, 0x00, kC | kDc | kZ},
                      Arithmetic{"sublw_no_borrow", Sublw(0x02), 0, 0x01, 0x01, kC | kDc},
                      Arithmetic{"sublw_borrow", Sublw(0x01), 0, 0x02, 0xFF, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct Timing {
  const char* name;
  std::vector<std::uint16_t> program;
  int before;  // instructions run before the one measured
  int pc;      // where the measured one goes
  int cycles;  // and what it takes
};
void PrintTo(const Timing& t, std::ostream* out) {
  *out << t.name;
}

class Cycles : public ::testing::TestWithParam<Timing> {};

TEST_P(Cycles, OfSkipsBranchesAndComputedJumps) {
  const Timing& t = GetParam();
  Core c(t.program);
  c.Step(t.before);
  const std::uint64_t before = c.core.Cycles();
  c.Step();
  EXPECT_EQ(c.core.Pc(), t.pc);
  EXPECT_EQ(c.core.Cycles() - before, static_cast<std::uint64_t>(t.cycles));
}

INSTANTIATE_TEST_SUITE_P(
    Instructions, Cycles,
    ::testing::Values(
        Timing{"nop", {kNop}, 0, 1, 1},
        Timing{"decfsz_to_zero_skips", {Movlw(1), Movwf(kRam), Decfsz(kRam, kF)}, 2, 4, 2},
        Timing{"decfsz_not_zero", {Movlw(2), Movwf(kRam), Decfsz(kRam, kF)}, 2, 3, 1},
        Timing{"incfsz_wraps_and_skips", {Movlw(0xFF), Movwf(kRam), Incfsz(kRam, kF)}, 2, 4, 2},
        Timing{"incfsz_not_zero", {Movlw(0xFE), Movwf(kRam), Incfsz(kRam, kF)}, 2, 3, 1},
        Timing{"btfsc_clear_skips", {Clrf(kRam), Btfsc(kRam, 3)}, 1, 3, 2},
        Timing{"btfss_clear_goes_on", {Clrf(kRam), Btfss(kRam, 3)}, 1, 2, 1},
        Timing{"goto", {Goto(0x123)}, 0, 0x123, 2}, Timing{"call", {Call(0x045)}, 0, 0x045, 2},
        Timing{"return", {Call(2), kNop, kReturn}, 1, 1, 2},
        Timing{"retlw", {Call(2), kNop, Retlw(0x5A)}, 1, 1, 2},
        // PCL written: PCLATH gives the upper bits, and the jump costs a cycle.
        Timing{"movwf_pcl", {Movlw(0x01), Movwf(kPclath), Movlw(0x05), Movwf(kPcl)}, 3, 0x105, 2},
        // PCL reads as the address after the instruction: a computed jump over a table.
        Timing{"addwf_pcl", {Movlw(0x02), Addwf(kPcl, kF)}, 1, 0x004, 2},
        // GOTO and CALL take PC<12:11> from PCLATH<4:3>, not its lower bits.
        Timing{"goto_pclath", {Movlw(0x0F), Movwf(kPclath), Goto(0x010)}, 2, 0x810, 2},
        Timing{"call_pclath", {Movlw(0x18), Movwf(kPclath), Call(0x7FF)}, 2, 0x1FFF, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Pic14Core, StackUnwindsInOrderAndWrapsAfterEight) {
  // Routines at 0x40, 0x42, ... each CALL the next; the tenth returns with a literal, and
  // every level returns in turn.
  std::vector<std::uint16_t> program(0x60, kNop);
  program[0] = Call(0x40);
  for (int level = 0; level < 9; ++level) {
    program[static_cast<std::size_t>(0x40 + 2 * level)] = Call(0x40 + 2 * (level + 1));
    program[static_cast<std::size_t>(0x40 + 2 * level + 1)] = kReturn;
  }
  program[0x40 + 2 * 9] = Retlw(0x77);  // the tenth routine returns at once
  Core c(program);
  c.Step(10);  // CALL 0x40 and nine more: ten pushes, two of them wrapped
  std::vector<int> landed;
  for (int i = 0; i < 10; ++i) {
    c.Step();  // RETURN
    landed.push_back(c.core.Pc());
  }
  // Ten pushes of 1, 0x41, 0x43, ..., 0x51 onto eight levels: the first two are lost, so
  // after eight good returns the next two come back from the newest levels again.
  const std::vector<int> expected = {0x51, 0x4F, 0x4D, 0x4B, 0x49, 0x47, 0x45, 0x43, 0x51, 0x4F};
  EXPECT_EQ(landed, expected);
  EXPECT_EQ(c.core.W(), 0x77);
}

TEST(Pic14Core, BanksIndirectAccessAndStatusAsDestination) {
  Core c({
      Movlw(0x3C), Movwf(kRam),                      // 0x20 = 3Ch
      Bsf(kStatus, 5),                               // bank 1
      Movlw(0xF0), Movwf(kPortB),                    // in bank 1, 06h is TRISB
      Movf(kRam, kW),                                // 0xA0 is the same register as 0x20
      Bcf(kStatus, 5), Movlw(0x86), Movwf(kFsr),     // INDF reaches TRISB from bank 0
      Movf(kIndf, kW), Clrf(kFsr), Movf(kIndf, kW),  // INDF through INDF reads 0 ...
      Movlw(0xFF), Addlw(0x01),                      // C, DC, Z set
      Clrf(kStatus),  // Z set by the logic, C and DC kept, bank bits cleared
  });
  c.Step(6);
  EXPECT_EQ(c.pins.tris[1], 0xF0);
  EXPECT_EQ(c.core.W(), 0x3C);
  c.Step(4);
  EXPECT_EQ(c.core.W(), 0xF0);
  c.Step(2);
  EXPECT_EQ(c.core.W(), 0);
  c.Step(3);
  EXPECT_EQ(c.core.Status() & 0xE7, kC | kDc | kZ);
}

TEST(Pic14Core, PortBitOperationsReadThePinsNotTheLatch) {
  // RB7 is an input held high from outside: BSF PORTB,0 writes that 1 into RB7's latch, which
  // a later TRISB bit cleared would drive.
  Core c({Clrf(kPortB), Bsf(kPortB, 0)});
  c.pins.levels[1] = 0x80;
  c.Step(2);
  EXPECT_EQ(c.core.Latch(1), 0x81);
}

TEST(Pic14Core, Timer0CountsAndEachOverflowRunsTheInterrupt) {
  std::vector<std::uint16_t> program(16, kNop);
  program[0] = Goto(8);
  program[4] = Byte(0xA, kRam, kF);  // incf 20h,f: count the interrupts
  program[5] = Bcf(kIntcon, 2);      // T0IF
  program[6] = kRetfie;
  program[8] = Clrf(kRam);
  program[9] = Movlw(0x08);  // TMR0 on the instruction clock, no prescaler
  program[10] = kOptionInstruction;
  program[11] = Movlw(0xFD);
  program[12] = Movwf(kTmr0);  // at cycle 6: held two cycles, overflow three later
  program[13] = Movlw(kGie | kT0ie);
  program[14] = Movwf(kIntcon);
  program[15] = Goto(15);
  Core c(program);
  c.core.RunUntil(600);
  // Overflows at cycles 11, 267 and 523.
  EXPECT_EQ(c.core.Peek(kRam), 3);
  EXPECT_EQ(c.core.Peek(kTmr0), (0xFD + (c.core.Cycles() - 8)) & 0xFF);
  EXPECT_EQ(c.core.StackDepth(), 0);
  EXPECT_TRUE(c.core.Peek(kIntcon) & kGie);
}

TEST(Pic14Core, EepromReadThroughEecon1) {
  Core c(
      {Movlw(2), Movwf(kEeadr), Bsf(kStatus, 5), Bsf(0x08, 0), Bcf(kStatus, 5), Movf(kEedata, kW)});
  c.Step(6);
  EXPECT_EQ(c.core.W(), 0x33);
}

// The same loops with and without skipping: the same cycles, instructions and registers.
TEST(Pic14Core, LoopSkippingChangesNothingButSpeed) {
  const std::vector<std::uint16_t> program = {
      Movlw(200),       Movwf(kRam),     Decfsz(kRam, kF),     Goto(2),  // count down
      Movlw(3),         Movwf(kRam + 1), Incfsz(kRam + 1, kF), Goto(6),  // count up through 0
      Btfss(kPortB, 7), Goto(8),  // poll a pin that stays low
  };
  Core skipping(program), stepping(program);
  stepping.core.SetLoopSkipping(false);
  for (Core* c : {&skipping, &stepping}) c->core.RunUntil(5000);
  EXPECT_EQ(skipping.core.Cycles(), stepping.core.Cycles());
  EXPECT_EQ(skipping.core.Instructions(), stepping.core.Instructions());
  EXPECT_EQ(skipping.core.Pc(), stepping.core.Pc());
  EXPECT_EQ(skipping.core.Peek(kRam), stepping.core.Peek(kRam));
  EXPECT_EQ(skipping.core.Peek(kRam + 1), stepping.core.Peek(kRam + 1));
  EXPECT_LT(skipping.pins.reads, stepping.pins.reads / 100);
}

// ---- a program assembled by gpasm ----

namespace fs = std::filesystem;

TEST(Pic14Core, RunsAGpasmProgramToTheResultsComputedHere) {
  if (std::system("command -v gpasm >/dev/null 2>&1") != 0) GTEST_SKIP() << "no gpasm (gputils)";
  const fs::path work = fs::path(KESTRUM_SIM_WORK_DIR) / "iss";
  fs::create_directories(work);
  const fs::path hex = work / "iss_check.hex";
  const std::string command = "gpasm -q -o '" + hex.string() +
                              "' '" KESTRUM_SIM_DATA_DIR "/iss_check.asm' >'" +
                              (work / "gpasm.log").string() + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::stringstream stream;
  stream << std::ifstream(hex).rdbuf();
  const std::string text = stream.str();
  BufferSlot slot;
  slot.Fill(0x3FFF);
  ByteStream in(text);
  RecordingUi ui;
  LoadProgramFile(DescriptorFor(*FindDeviceByName("PIC 16F84")), slot, FileType::Ihx8, in, ui);
  ASSERT_TRUE(ui.Entries().empty());

  Core c(std::vector<std::uint16_t>(slot.CodeBuffer.begin(), slot.CodeBuffer.begin() + 1024));
  c.core.RunUntil(100000);
  // The program ends in a loop on itself at the label "done" (address in 0x2F).
  ASSERT_EQ(c.core.Pc(), c.core.Peek(0x2F));

  // What it computes, computed here: the product 0xB7 * 0x5D by shift-and-add, the sum of the
  // eight-byte RETLW table, the bits set in 0xB7, and a buffer filled through FSR and summed.
  const int product = 0xB7 * 0x5D;
  EXPECT_EQ(c.core.Peek(0x20), product & 0xFF);
  EXPECT_EQ(c.core.Peek(0x21), product >> 8);
  const int table[] = {3, 1, 4, 1, 5, 9, 2, 6};
  int sum = 0;
  for (int v : table) sum += v;
  EXPECT_EQ(c.core.Peek(0x22), sum);
  EXPECT_EQ(c.core.Peek(0x23), 6);  // ones in 10110111
  int bufferSum = 0;
  for (int i = 0; i < 10; ++i) bufferSum += (i * 7) ^ 0x55;
  EXPECT_EQ(c.core.Peek(0x24), bufferSum & 0xFF);
  EXPECT_EQ(c.core.Peek(0x25), 0x7B);  // SWAPF of B7
}

}  // namespace
}  // namespace kestrum
