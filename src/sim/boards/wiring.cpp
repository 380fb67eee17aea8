// Look-ups on the board table.
#include "sim/boards/wiring.hpp"

namespace kestrum::sim {

const BoardWiring& BoardFor(ProgrammerType type) {
  int index = static_cast<int>(type);
  return kBoards[index >= 0 && index < static_cast<int>(kBoards.size()) ? index : 0];
}

BoardWiring BoardFromPinMap(ProgrammerType type, const PinMap& map) {
  auto wire = [](PinAssignment line) {
    return line.Connected()
               ? OutputWire{kP, line.Bit(), line.activeLow ? std::uint8_t{0} : line.Bit()}
               : OutputWire{};
  };
  BoardWiring board{.type = type};
  board.vcc = map.vcc.Connected() ? wire(map.vcc) : OutputWire{Source::Always};
  board.mclr = wire(map.mclr);
  board.data = wire(map.dataOut);
  board.clock = wire(map.clock);
  board.dataIn = InputPin::Pin;
  board.inputPin = map.dataIn.Bit();
  board.inputLow = map.dataIn.activeLow;
  return board;
}

int ProPic2Socket(int pinCount) {
  if (pinCount == 8 || pinCount == 14 || pinCount == 18 || pinCount == 20) return 1;
  if (pinCount == 28 || pinCount == 40) return 2;
  return 0;
}

}  // namespace kestrum::sim
