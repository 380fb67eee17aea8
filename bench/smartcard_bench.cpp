// SPDX-License-Identifier: GPL-3.0-or-later
// The smartcard simulation: the PIC 14-bit instruction-set simulator's speed in simulated
// instructions per processor second (a mixed program without loops it could jump over), and a
// whole 24C16 written through the virtual card reader by our boot loader, in virtual time.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "buffers/buffer_set.hpp"
#include "hardware/line_context.hpp"
#include "protocols/boot_loader.hpp"
#include "protocols/smartcard.hpp"
#include "sim/chips/eeprom24_chip.hpp"
#include "sim/chips/pic14_core.hpp"
#include "sim/boards/sim_port.hpp"
#include "sim/chips/smartcard.hpp"

namespace kestrum {
namespace {

struct NoPins final : PicPortPins {
  std::uint8_t ReadPins(int, std::uint64_t) override { return 0; }
  void Drive(int, std::uint8_t, std::uint8_t, std::uint64_t) override {}
};

// Arithmetic, logic, rotates, bit tests, indirect access, a call and its return, a counted
// loop: what a card program spends its time on.
const std::vector<std::uint16_t> kMixedProgram = {
    0x3020,  // 0  movlw 20h
    0x0084,  // 1  movwf FSR
    0x3037,  // 2  movlw 37h
    0x07A1,  // 3  addwf 21h,f
    0x0DA2,  // 4  rlf 22h,f
    0x06A3,  // 5  xorwf 23h,f
    0x0AA4,  // 6  incf 24h,f
    0x1824,  // 7  btfsc 24h,0
    0x09A5,  // 8  comf 25h,f
    0x0821,  // 9  movf 21h,w
    0x2010,  // 10 call 16
    0x0080,  // 11 movwf INDF
    0x0A84,  // 12 incf FSR,f
    0x0BA6,  // 13 decfsz 26h,f
    0x2802,  // 14 goto 2
    0x2800,  // 15 goto 0
    0x0EA7,  // 16 swapf 27h,f
    0x3E05,  // 17 addlw 5
    0x0008,  // 18 return
};

void BM_InstructionSetSimulator(benchmark::State& state) {
  NoPins pins;
  Pic14Core core({}, pins);
  core.Reset(kMixedProgram, {}, true);
  core.SetLoopSkipping(false);
  constexpr std::uint64_t kBatch = 1'000'000;
  for (auto _ : state) {
    core.RunUntil(core.Cycles() + kBatch);
  }
  state.counters["instructions/s"] =
      benchmark::Counter(static_cast<double>(core.Instructions()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InstructionSetSimulator);

// Keeps nothing and says yes: the bench measures the card, not a recorder.
class QuietUi final : public Ui {
 public:
  void Message(MessageKind, std::string_view, MessageButton) override {}
  bool Question(std::string_view) override { return true; }
};

// The wizard's card write, `ProgramCard`: 2048 random bytes through the virtual reader into
// the 24C16 by the boot loader on the card. Processor time per card, and the virtual time the
// same write takes on the line (reset and the second after it included).
void BM_CardWriteOf24C16(benchmark::State& state) {
  VirtualClock clock;
  QuietUi ui;
  VirtualProgrammer programmer(clock);
  std::unique_ptr<PicChip> pic = PicChip::ForDevice("PIC 16F84");
  std::copy(BootLoaderImage().begin(), BootLoaderImage().end(), pic->Code().begin());
  Eeprom24 eeprom(*Eeprom24For("24C16"));
  Smartcard card(*pic, eeprom);
  programmer.InsertCard(&card);
  HardwareSettings settings;
  settings.Port = "Com1";
  LineContext lines(settings, clock, ui, programmer);
  BufferSlot slot;
  std::mt19937 random(1);
  for (int i = 0; i < 2048; ++i) slot.CodeBuffer[i] = random() & 0xFF;
  std::int64_t virtualUs = 0;
  for (auto _ : state) {
    auto writer = ProgramCard(lines, slot);
    const std::int64_t start = clock.nowUs();
    writer->Run();
    virtualUs += clock.nowUs() - start;
    if (writer->Outcome != CardOutcome::Done) state.SkipWithError("the card write failed");
  }
  state.counters["virtual_s_per_card"] =
      static_cast<double>(virtualUs) / 1e6 / static_cast<double>(state.iterations());
  state.counters["simulated_instructions"] = static_cast<double>(card.Core().Instructions());
}
BENCHMARK(BM_CardWriteOf24C16)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrum
