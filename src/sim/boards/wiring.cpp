// SPDX-License-Identifier: GPL-3.0-or-later
// Look-ups on the board table.
#include "sim/boards/wiring.hpp"

#include "hardware/register_pins.hpp"

namespace kestrum::sim {

const BoardWiring& BoardFor(ProgrammerType type) {
  int index = static_cast<int>(type);
  return kBoards[index >= 0 && index < static_cast<int>(kBoards.size()) ? index : 0];
}

BoardWiring BoardFromPinMap(PortKind kind, const PinMap& map) {
  auto wire = [kind](PinAssignment line) -> OutputWire {
    if (!line.Connected()) return {};
    std::uint64_t bit = line.Mask();
    Source source = kP;
    if (kind == PortKind::Parallel || kind == PortKind::Serial) {
      const ConnectorPin* pin = FindConnectorPin(kind, line.pin);
      if (!pin || !pin->output) return {};
      bit = pin->bit;
      for (int more = 0; more < PinAssignment::kMaxPins; ++more) {
        const ConnectorPin* extra =
            (line.also >> more) & 1 ? FindConnectorPin(kind, more) : nullptr;
        if (extra && extra->output) bit |= extra->bit;
      }
      source = kind == PortKind::Parallel ? kD : Source::ModemControl;
      if (kind == PortKind::Serial && line.pin == kTxdPin) {
        return {Source::TxdSpace, 1, line.activeLow ? 0u : 1u};
      }
    }
    return {source, bit, line.activeLow ? 0 : bit};
  };
  BoardWiring board{.type = ProgrammerType::User};
  board.vcc = map.vcc.Connected() ? wire(map.vcc) : OutputWire{Source::Always};
  board.mclr = wire(map.mclr);
  board.data = wire(map.dataOut);
  board.clock = wire(map.clock);
  board.inputLow = map.dataIn.activeLow;
  if (kind == PortKind::Parallel || kind == PortKind::Serial) {
    const ConnectorPin* pin = FindConnectorPin(kind, map.dataIn.pin);
    board.dataIn = kind == PortKind::Parallel ? InputPin::Status : InputPin::Modem;
    board.inputPin = pin && !pin->output ? pin->bit : 0;
  } else {
    board.dataIn = InputPin::Pin;
    board.inputPin = map.dataIn.PinMask();
  }
  return board;
}

int ProPic2Socket(int pinCount) {
  if (pinCount == 8 || pinCount == 14 || pinCount == 18 || pinCount == 20) return 1;
  if (pinCount == 28 || pinCount == 40) return 2;
  return 0;
}

}  // namespace kestrum::sim
