// The virtual programmer for a whole run (`--simulate[=DIR]`): a simulated board in virtual
// time with the model of the selected device in its socket. The chip's memory persists in a
// folder, one 8-bit Intel HEX file per device in the program's own layout for that device, so
// the next run finds the part as this one left it and a user can open its contents. Cells the
// program's file of a device does not carry (the status register or lock bits of the families
// other than PIC) are kept beside it in "<name>.config.hex".
#pragma once

#include <memory>
#include <string>

#include "core/ui.hpp"
#include "device/device_descriptor.hpp"
#include "hardware/clock.hpp"
#include "sim/chip.hpp"
#include "sim/sim_port.hpp"

namespace kestrum {

class SimulatedProgrammer {
 public:
  // `folder` empty: no persistence.
  explicit SimulatedProgrammer(std::string folder);

  VirtualClock& Clock() { return clock_; }
  VirtualProgrammer& Programmer() { return programmer_; }

  // Puts the model of `device` in the socket, loaded from the folder when a file exists;
  // the socket stays empty for a device without a model. Problems reading the file go to `ui`.
  void InsertChipFor(const DeviceDescriptor& device, Ui& ui);
  // Writes the chip's memory back to the folder; false (and the reason to `ui`) on failure.
  bool SaveChip(Ui& ui);
  bool HasChip() const { return chip_ != nullptr; }
  ChipModel* Model() { return chip_.get(); }

  // The image file of a device in `folder`: its name with blanks and slashes as '_', ".hex".
  static std::string ImagePath(const std::string& folder, const std::string& deviceName);
  // $XDG_DATA_HOME/kestrum/chips, or ~/.local/share/kestrum/chips.
  static std::string DefaultFolder();

 private:
  std::string folder_;
  VirtualClock clock_;
  VirtualProgrammer programmer_{clock_};
  std::unique_ptr<ChipModel> chip_;
  DeviceDescriptor device_;
};

}  // namespace kestrum
