// SPDX-License-Identifier: GPL-3.0-or-later
// The pin-level interface between the virtual programmer and a chip in its socket. A chip
// model is written from the chip's side: it is told every change of its input pins with the
// virtual time, and asked what it drives on its data output.
#pragma once

#include <cstdint>

namespace kestrum {

// Levels at the socket; true is high (supply on, MCLR raised to VPP or select level).
struct ChipPins {
  bool vcc = false;
  bool mclr = false;       // VPP on PIC sockets; chip select, reset or IDENT on the others
  bool data = false;       // the programmer's Data Out as it reaches the chip
  bool clock = false;      // SCL, SCK, the PIC's clock
  bool cardClock = false;  // the Fun-Card smartcard's clock
  // Select lines beyond MCLR, bit i = select i. No programmer type drives them yet.
  std::uint8_t selects = 0;

  bool operator==(const ChipPins&) const = default;
};

enum class ChipPin { Vcc, Mclr, Data, Clock, CardClock, Select };

// What the chip does to the shared data line. The programmer drives its Data Out through a
// resistor, so a chip that drives wins; a released line shows the programmer's own level.
enum class DataDrive { Released, Low, High };

class Chip {
 public:
  virtual ~Chip() = default;
  // Pin count of the part: decides the socket on programmers with more than one.
  virtual int PinCount() const = 0;
  // Called on every change of any input pin, in time order.
  virtual void OnPins(const ChipPins& pins, std::int64_t timeUs) = 0;
  // The chip's data output at `timeUs`; asked whenever the programmer looks at Data In.
  virtual DataDrive DataOut(std::int64_t timeUs) = 0;
};

// The regions of a part's memory, as the program's buffers lay them out.
enum class ChipRegion { Code, Data, Config };

// A chip model whose memory the virtual programmer keeps between runs and tests look into.
// Elements are what reading the whole part gives the program's buffers (a code word, a data
// byte, a configuration-area word), whatever cells the part keeps them in: a model whose cells
// carry more than the element (parity bits, say) derives them again when an element is set,
// so every cell the program can write comes back whole.
class ChipModel : public Chip {
 public:
  virtual int RegionSize(ChipRegion region) const = 0;
  virtual std::uint16_t Element(ChipRegion region, int index) const = 0;
  // As if the element had been programmed, without timing; factory-set cells (a device ID)
  // keep their value.
  virtual void SetElement(ChipRegion region, int index, std::uint16_t value) = 0;
};

// The level on the data line: the chip's drive, or the programmer's when the chip lets go.
inline bool DataLineLevel(DataDrive drive, bool programmerLevel) {
  return drive == DataDrive::Released ? programmerLevel : drive == DataDrive::High;
}

}  // namespace kestrum
