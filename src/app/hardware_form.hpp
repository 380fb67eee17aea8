// The hardware settings dialog as data: what its controls show, how they are filled from the
// hardware settings each time it opens, how the port buttons follow the programmer type and
// the ports that open, and what OK writes. The dialog mirrors this object.
#pragma once

#include <array>
#include <string>

#include "core/settings_store.hpp"
#include "hardware/hardware_settings.hpp"
#include "hardware/port.hpp"

namespace kestrum {

// The six inversion boxes, in the dialog's order.
enum class InvertBox { DataOut, DataIn, Clock, Mclr, Vcc, Vpp };
inline constexpr int kInvertBoxes = 6;
inline constexpr int kPortButtons = 4;

struct HardwareForm {
  int Programmer = 0;
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

  // "Com" for the JDM, "LPT" for every other type.
  std::string Prefix() const;
  // "Com 1" .. "Com 4", "LPT 1" .. "LPT 4".
  std::string PortCaption(int index) const;
  // The port the button opens: "Com1", "LPT3".
  std::string PortName(int index) const;
  // The device files of the buttons as they are captioned now.
  std::array<std::string, kPortButtons>& ShownFiles();
  const std::array<std::string, kPortButtons>& ShownFiles() const;
  // "I/O Delay (" + value + ")".
  std::string IODelayCaption() const;
};

// Filling, each time the dialog opens: the controls from `settings`, the port buttons tested
// with `opener` (every port is there while "Virtual programmer" is ticked).
HardwareForm FillHardwareForm(const HardwareSettings& settings, PortOpener& opener);
// The programmer list changed: the buttons are relabelled and retested; with none selected
// then, the lowest enabled one is.
void ProgrammerChanged(HardwareForm& form, int programmer, PortOpener& opener);
// "Virtual programmer" or a device file changed: the buttons are retested in the same way.
void RetestPorts(HardwareForm& form, PortOpener& opener);

// What keeps OK from closing the dialog: the message for the pin map or the FTDI device when
// the chosen type uses it and cannot; empty when the form can be applied.
std::string HardwareFormProblem(const HardwareForm& form);
// OK: the settings take the form's values (port, port base, register addresses).
void ApplyHardwareForm(const HardwareForm& form, HardwareSettings& settings);
// OK: the dialog's keys are written ("Programmer", "Api", the six inversions, "IODelay",
// "Port", "Virtual"), and each device file, the FTDI device and the pin map when the user
// changed them (`before` holds the old ones).
void StoreHardwareForm(SettingsStore& store, const HardwareSettings& settings,
                       const HardwareSettings& before);

}  // namespace kestrum
