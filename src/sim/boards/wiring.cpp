// Look-ups on the board table.
#include "sim/boards/wiring.hpp"

namespace kestrum::sim {

const BoardWiring& BoardFor(ProgrammerType type) {
  int index = static_cast<int>(type);
  return kBoards[index >= 0 && index < static_cast<int>(kBoards.size()) ? index : 0];
}

int ProPic2Socket(int pinCount) {
  if (pinCount == 8 || pinCount == 14 || pinCount == 18 || pinCount == 20) return 1;
  if (pinCount == 28 || pinCount == 40) return 2;
  return 0;
}

}  // namespace kestrum::sim
