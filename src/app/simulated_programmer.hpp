// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual programmer for a whole run (`--simulate[=DIR]`): a simulated board in virtual
// time with the model of the selected device in its socket. The chip's memory persists in a
// folder, one 8-bit Intel HEX file per device in the program's own layout for that device, so
// the next run finds the part as this one left it and a user can open its contents. Cells the
// program's file of a device does not carry (the status register or lock bits of the families
// other than PIC) are kept beside it in "<name>.config.hex". In smartcard mode the virtual
// programmer holds a smartcard instead: its PIC in the socket (the card's programming
// contacts) and the whole card in the card reader on the same port; the card's PIC and 24C16
// persist as the images of those two devices.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/ui.hpp"
#include "device/device_descriptor.hpp"
#include "hardware/clock.hpp"
#include "sim/boards/sim_port.hpp"
#include "sim/chips/chip.hpp"
#include "sim/chips/smartcard.hpp"

namespace kestrum {

class SimulatedProgrammer {
 public:
  // `folder` empty: no persistence.
  explicit SimulatedProgrammer(std::string folder);
  ~SimulatedProgrammer();
  SimulatedProgrammer(const SimulatedProgrammer&) = delete;
  SimulatedProgrammer& operator=(const SimulatedProgrammer&) = delete;

  VirtualClock& Clock() { return clock_; }
  VirtualProgrammer& Programmer() { return programmer_; }

  // Puts the model of `device` in the socket, loaded from the folder when a file exists;
  // the socket stays empty for a device without a model. The chip's file is locked while the
  // chip is in (a second run on the same folder waits for it, and says so), so no run writes
  // back contents another has replaced. A file that cannot be read or does not load cleanly
  // is told with its path and left as it is: the socket stays empty and false is returned,
  // and nothing may run on the chip.
  bool InsertChipFor(const DeviceDescriptor& device, Ui& ui);
  // The smartcard, its PIC a PIC 16C84 when `pic16C84` ("SmartWiz"), else a PIC 16F84, and a
  // 24C16, both loaded from the folder: the PIC in the socket, the card in the reader.
  bool InsertCard(bool pic16C84, Ui& ui);
  // What the smartcard serves in smartcard mode: the I2C EEPROMs (through the reader) and
  // its own PIC (through the socket).
  static bool CardServes(const DeviceDescriptor& device, bool pic16C84);
  // What the socket holds for the selected `device`: in smartcard mode (`smart`) the card, when
  // it serves the device (kept as it is when it is in already), else the device's own model.
  bool InsertFor(const DeviceDescriptor& device, bool smart, bool pic16C84, Ui& ui);
  // `--socket`: the socket holds this device's part whatever device is selected; false (and
  // the reason to `ui`) when no device of that name has a model.
  bool SetSocketPart(const std::string& deviceName, Ui& ui);
  // Writes the chips' memory back to the folder; false (and the reason to `ui`) on failure.
  bool SaveChip(Ui& ui);
  bool HasChip() const { return !parts_.empty(); }
  // The chip in the socket.
  ChipModel* Model() { return parts_.empty() ? nullptr : parts_.front().model.get(); }
  Smartcard* Card() { return card_.get(); }

  // The image file of a device in `folder`: its name with blanks and slashes as '_', ".hex".
  static std::string ImagePath(const std::string& folder, const std::string& deviceName);
  // $XDG_DATA_HOME/kestrum/chips, or ~/.local/share/kestrum/chips.
  static std::string DefaultFolder();

 private:
  std::string folder_;
  VirtualClock clock_;
  VirtualProgrammer programmer_{clock_};
  // An exclusive lock on a chip's file, held while the chip is in.
  class FileLock {
   public:
    FileLock() = default;
    explicit FileLock(int fd) : fd_(fd) {}
    FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileLock& operator=(FileLock&& other) noexcept;
    ~FileLock();

   private:
    int fd_ = -1;
  };
  // A chip and the device whose image it persists as.
  struct Part {
    DeviceDescriptor device;
    std::unique_ptr<ChipModel> model;
    FileLock lock;
  };
  void Remove();
  // Takes the lock of the part's file and loads it; false (the user told why) when the file
  // cannot be locked, read or loaded cleanly.
  bool Load(Part& part, Ui& ui);
  bool Save(const Part& part, Ui& ui);

  std::vector<Part> parts_;  // the socket's chip first
  std::string socketPart_;
  std::unique_ptr<Smartcard> card_;
  bool cardPic16C84_ = false;
};

}  // namespace kestrum
