// SPDX-License-Identifier: GPL-3.0-or-later
// The hardware settings dialog as data: what its controls show, how they are filled from the
// hardware settings each time it opens, how the port buttons follow the programmer type and
// the ports that open, and what OK writes. The dialog mirrors this object.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/settings_store.hpp"
#include "hardware/hardware_settings.hpp"
#include "hardware/port.hpp"

namespace kestrum {

// The six inversion boxes, in the dialog's order.
enum class InvertBox { DataOut, DataIn, Clock, Mclr, Vcc, Vpp };
inline constexpr int kInvertBoxes = 6;
inline constexpr int kPortButtons = 4;

struct HardwareForm {
  // The list's index: the types in their order, then the programmers of `User`.
  int Programmer = 0;
  ProgrammerDefinitions User;
  std::array<bool, kPortButtons> PortEnabled{};
  int SelectedPort = -1;  // 0..3, or -1 for none
  bool Api = false;
  std::array<bool, kInvertBoxes> Invert{};
  int IODelay = kMinIODelay;
  bool Virtual = false;
  // The device file beside each port button, for the serial and the parallel ports.
  std::array<std::string, kPortButtons> SerialFiles;
  std::array<std::string, kPortButtons> ParallelFiles;
  // The USB ports have no device files (their buttons show none); the FTDI chip they open
  // and the pins of a board wired by hand, in their settings' text forms.
  std::array<std::string, kPortButtons> UsbFiles;
  std::string FtdiDevice;
  std::string BitBangPins;
  // The GPIO header's lines, as offsets of the chip, in the same text form.
  std::string GpioPins;
  // The ports of the chosen programmer's kind found on this machine, and the port chosen
  // among them (or kept from the settings) when it is none of the four buttons: a device file,
  // an FTDI chip's serial number, a GPIO chip. Empty: the buttons choose.
  std::vector<FoundPort> Found;
  std::string OtherPort;

  // Settings with the chosen programmer, for its row and its kind of port.
  HardwareSettings Chosen() const;
  // The pin map the chosen type takes from the settings: the GPIO header's or the bit-bang
  // board's.
  std::string& Pins();

  // "Com" for the serial programmers, "LPT" for the parallel ones, "USB", "gpiochip".
  std::string Prefix() const;
  // "Com 1" .. "Com 4", "LPT 1" .. "LPT 4", "gpiochip0" .. "gpiochip3".
  std::string PortCaption(int index) const;
  // The port the button opens: "Com1", "LPT3", "gpiochip2".
  std::string PortName(int index) const;
  // The device files of the buttons as they are captioned now.
  std::array<std::string, kPortButtons>& ShownFiles();
  const std::array<std::string, kPortButtons>& ShownFiles() const;
  // "I/O Delay (" + value + ")".
  std::string IODelayCaption() const;
};

// Filling, each time the dialog opens: the controls from `settings`, the port buttons tested
// with `opener` (every port is there while "Virtual programmer" is ticked), the ports found
// listed, the user's programmers after the types.
HardwareForm FillHardwareForm(const HardwareSettings& settings, PortOpener& opener,
                              const ProgrammerDefinitions& user = {});
// The programmer list changed: the buttons are relabelled and retested; with none selected
// then, the lowest enabled one is.
void ProgrammerChanged(HardwareForm& form, int programmer, PortOpener& opener);
// "Virtual programmer" or a device file changed: the buttons are retested in the same way.
void RetestPorts(HardwareForm& form, PortOpener& opener);

// What keeps OK from closing the dialog: the message for the pin map, the FTDI device or the
// port when the chosen type uses it and cannot; empty when the form can be applied.
std::string HardwareFormProblem(const HardwareForm& form);
// OK: the settings take the form's values (port, port base, register addresses).
void ApplyHardwareForm(const HardwareForm& form, HardwareSettings& settings);
// OK: the dialog's keys are written ("Programmer", "Api", the six inversions, "IODelay",
// "Port", "Virtual"), and each device file, the FTDI device and the pin maps when the user
// changed them (`before` holds the old ones).
void StoreHardwareForm(SettingsStore& store, const HardwareSettings& settings,
                       const HardwareSettings& before);

}  // namespace kestrum
