// SPDX-License-Identifier: GPL-3.0-or-later
// Filling and confirming the hardware settings dialog.
#include "app/hardware_form.hpp"

#include <algorithm>

#include "app/command_line.hpp"
#include "app/texts.hpp"
#include "core/text.hpp"
#include "hardware/programmer_file.hpp"

namespace kestrum {
namespace {

HardwareSettings ForTesting(const HardwareForm& form) {
  HardwareSettings settings = form.Chosen();
  settings.SerialDevices = form.SerialFiles;
  settings.ParallelDevices = form.ParallelFiles;
  settings.FtdiDevice = form.FtdiDevice;
  settings.Api = form.Api;
  return settings;
}

// Steps 3 and 4 of the filling: a port that does not open is disabled and cleared.
void TestPortButtons(HardwareForm& form, PortOpener& opener) {
  const HardwareSettings settings = ForTesting(form);
  for (int i = 0; i < kPortButtons; ++i) {
    const bool enabled = form.Virtual || opener.Available(settings, form.PortName(i));
    form.PortEnabled[static_cast<std::size_t>(i)] = enabled;
    if (!enabled && form.SelectedPort == i) form.SelectedPort = -1;
  }
}

void SelectLowestEnabled(HardwareForm& form) {
  if (form.SelectedPort >= 0 || !form.OtherPort.empty()) return;
  for (int i = 0; i < kPortButtons; ++i) {
    if (form.PortEnabled[static_cast<std::size_t>(i)]) {
      form.SelectedPort = i;
      return;
    }
  }
}

// The kind's ports found, for the list beside the buttons.
void ListFound(HardwareForm& form, PortOpener& opener) {
  form.Found = opener.ListPorts(ForTesting(form));
}

// A GPIO line is any offset of the chip; a bit-bang board has eight pins.
int PinCount(const HardwareSettings& settings) {
  return PortKindOf(settings) == PortKind::Gpio ? PinAssignment::kMaxPins : 8;
}

}  // namespace

HardwareSettings HardwareForm::Chosen() const {
  HardwareSettings settings;
  if (Programmer >= 0 && Programmer < kProgrammerTypeCount + static_cast<int>(User.size())) {
    SelectProgrammer(settings, User, Programmer);
  }
  return settings;
}

std::string& HardwareForm::Pins() {
  return PortKindOf(Chosen()) == PortKind::Gpio ? GpioPins : BitBangPins;
}

std::string HardwareForm::Prefix() const {
  return std::string(PortPrefix(PortKindOf(Chosen())));
}

std::string HardwareForm::PortCaption(int index) const {
  if (PortKindOf(Chosen()) == PortKind::Gpio) return PortName(index);
  return Prefix() + " " + std::to_string(index + 1);
}

std::string HardwareForm::PortName(int index) const {
  return PortForNumber(PortKindOf(Chosen()), index + 1);
}

std::array<std::string, kPortButtons>& HardwareForm::ShownFiles() {
  switch (PortKindOf(Chosen())) {
    case PortKind::Serial:
      return SerialFiles;
    case PortKind::Usb:
    case PortKind::Gpio:
      return UsbFiles;
    case PortKind::Parallel:
      break;
  }
  return ParallelFiles;
}

const std::array<std::string, kPortButtons>& HardwareForm::ShownFiles() const {
  return const_cast<HardwareForm*>(this)->ShownFiles();
}

std::string HardwareForm::IODelayCaption() const {
  return std::string(text::kIODelayBefore) + std::to_string(IODelay) +
         std::string(text::kIODelayAfter);
}

HardwareForm FillHardwareForm(const HardwareSettings& settings, PortOpener& opener,
                              const ProgrammerDefinitions& user) {
  HardwareForm form;
  form.User = user;
  form.Programmer = static_cast<int>(settings.Programmer);
  if (settings.Programmer == ProgrammerType::User) {
    // A user's programmer no longer in the file: the first type.
    form.Programmer = 0;
    for (std::size_t i = 0; i < user.size(); ++i) {
      if (settings.User && user[i]->name == settings.User->name) {
        form.Programmer = kProgrammerTypeCount + static_cast<int>(i);
      }
    }
  }
  form.Invert = {settings.InvertDataOut, settings.InvertDataIn, settings.InvertSCK,
                 settings.InvertMCLR,    settings.InvertVCC,    settings.InvertVPP};
  form.Api = settings.Api;
  form.IODelay = std::clamp(settings.IODelay, kMinIODelay, kMaxIODelay);
  form.Virtual = settings.Virtual;
  form.SerialFiles = settings.SerialDevices;
  form.ParallelFiles = settings.ParallelDevices;
  form.FtdiDevice = settings.FtdiDevice;
  form.BitBangPins = FormatPinMap(settings.BitBangPins);
  form.GpioPins = FormatPinMap(settings.GpioPins);

  const std::string& port = settings.Port;
  bool byButton = false;
  for (int i = 0; i < kPortButtons; ++i) {
    if (EqualsIgnoreCase(port, form.PortName(i))) {
      form.SelectedPort = i;
      byButton = true;
    }
  }
  // A device file, a serial number or a chip the buttons do not name stays the port.
  if (!byButton && ResolvePort(ForTesting(form), port)) form.OtherPort = port;
  TestPortButtons(form, opener);
  ListFound(form, opener);
  // A name that picks no button ("Com 2", the default), or one whose port is not there: the
  // highest port that is.
  if ((!byButton || form.SelectedPort < 0) && form.OtherPort.empty()) {
    form.SelectedPort = -1;
    for (int i = kPortButtons - 1; i >= 0; --i) {
      if (form.PortEnabled[static_cast<std::size_t>(i)]) {
        form.SelectedPort = i;
        break;
      }
    }
  }
  return form;
}

void ProgrammerChanged(HardwareForm& form, int programmer, PortOpener& opener) {
  const PortKind before = PortKindOf(form.Chosen());
  form.Programmer = programmer;
  // Another kind of port: what the list chose is not one of its ports.
  if (PortKindOf(form.Chosen()) != before) form.OtherPort.clear();
  TestPortButtons(form, opener);
  ListFound(form, opener);
  SelectLowestEnabled(form);
}

void RetestPorts(HardwareForm& form, PortOpener& opener) {
  TestPortButtons(form, opener);
  SelectLowestEnabled(form);
}

std::string HardwareFormProblem(const HardwareForm& form) {
  const HardwareSettings chosen = form.Chosen();
  const PortKind kind = PortKindOf(chosen);
  const std::string& pins = const_cast<HardwareForm&>(form).Pins();
  if (RowOf(chosen).pinsFromSettings && !ParsePinMap(pins, PinCount(chosen))) {
    return std::string(text::kBadPinMapBefore) + pins +
           std::string(kind == PortKind::Gpio ? text::kBadGpioPinMapAfter : text::kBadPinMapAfter);
  }
  if (!form.OtherPort.empty() && !ResolvePort(ForTesting(form), form.OtherPort)) {
    return std::string(text::kBadPortBefore) + form.OtherPort + std::string(text::kBadPortAfter);
  }
  if (kind == PortKind::Usb && !ParseFtdiDevice(form.FtdiDevice)) {
    return std::string(text::kBadFtdiDeviceBefore) + form.FtdiDevice +
           std::string(text::kBadFtdiDeviceAfter);
  }
  return {};
}

void ApplyHardwareForm(const HardwareForm& form, HardwareSettings& settings) {
  const HardwareSettings chosen = form.Chosen();
  settings.Programmer = chosen.Programmer;
  settings.User = chosen.User;
  settings.Port = !form.OtherPort.empty()  ? form.OtherPort
                  : form.SelectedPort >= 0 ? form.PortName(form.SelectedPort)
                                           : std::string();
  settings.Api = form.Api;
  settings.InvertDataOut = form.Invert[0];
  settings.InvertDataIn = form.Invert[1];
  settings.InvertSCK = form.Invert[2];
  settings.InvertMCLR = form.Invert[3];
  settings.InvertVCC = form.Invert[4];
  settings.InvertVPP = form.Invert[5];
  settings.IODelay = form.IODelay;
  settings.Virtual = form.Virtual;
  settings.SerialDevices = form.SerialFiles;
  settings.ParallelDevices = form.ParallelFiles;
  if (ParseFtdiDevice(form.FtdiDevice)) settings.FtdiDevice = form.FtdiDevice;
  // A map that does not parse leaves the one that did.
  if (std::optional<PinMap> pins = ParsePinMap(form.BitBangPins)) settings.BitBangPins = *pins;
  if (std::optional<PinMap> pins = ParsePinMap(form.GpioPins, PinAssignment::kMaxPins)) {
    settings.GpioPins = *pins;
  }
  // No port selected: the port base keeps its value; the registers follow it either way.
  DerivePortBase(settings);
}

void StoreHardwareForm(SettingsStore& store, const HardwareSettings& settings,
                       const HardwareSettings& before) {
  SaveHardwareSettings(store, settings);
  if (settings.FtdiDevice != before.FtdiDevice) {
    store.WriteString(kFtdiDeviceKey, settings.FtdiDevice);
  }
  if (settings.BitBangPins != before.BitBangPins) {
    store.WriteString(kBitBangPinsKey, FormatPinMap(settings.BitBangPins));
  }
  if (settings.GpioPins != before.GpioPins) {
    store.WriteString(kGpioPinsKey, FormatPinMap(settings.GpioPins));
  }
  for (int i = 0; i < kPortButtons; ++i) {
    const auto n = static_cast<std::size_t>(i);
    if (settings.SerialDevices[n] != before.SerialDevices[n]) {
      store.WriteString(DeviceFileKey(text::kSerialPortPrefix, i + 1), settings.SerialDevices[n]);
    }
    if (settings.ParallelDevices[n] != before.ParallelDevices[n]) {
      store.WriteString(DeviceFileKey(text::kParallelPortPrefix, i + 1),
                        settings.ParallelDevices[n]);
    }
  }
}

}  // namespace kestrum
