// Filling and confirming the hardware settings dialog.
#include "app/hardware_form.hpp"

#include <algorithm>

#include "app/texts.hpp"

namespace kestrum {
namespace {

HardwareSettings ForTesting(const HardwareForm& form) {
  HardwareSettings settings;
  settings.Programmer = static_cast<ProgrammerType>(form.Programmer);
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
  if (form.SelectedPort >= 0) return;
  for (int i = 0; i < kPortButtons; ++i) {
    if (form.PortEnabled[static_cast<std::size_t>(i)]) {
      form.SelectedPort = i;
      return;
    }
  }
}

}  // namespace

std::string HardwareForm::Prefix() const {
  return std::string(PortPrefix(static_cast<ProgrammerType>(Programmer)));
}

std::string HardwareForm::PortCaption(int index) const {
  return Prefix() + " " + std::to_string(index + 1);
}

std::string HardwareForm::PortName(int index) const {
  return Prefix() + std::to_string(index + 1);
}

std::array<std::string, kPortButtons>& HardwareForm::ShownFiles() {
  switch (PortKindOf(static_cast<ProgrammerType>(Programmer))) {
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

HardwareForm FillHardwareForm(const HardwareSettings& settings, PortOpener& opener) {
  HardwareForm form;
  form.Programmer = static_cast<int>(settings.Programmer);
  form.Invert = {settings.InvertDataOut, settings.InvertDataIn, settings.InvertSCK,
                 settings.InvertMCLR,    settings.InvertVCC,    settings.InvertVPP};
  form.Api = settings.Api;
  form.IODelay = std::clamp(settings.IODelay, kMinIODelay, kMaxIODelay);
  form.Virtual = settings.Virtual;
  form.SerialFiles = settings.SerialDevices;
  form.ParallelFiles = settings.ParallelDevices;
  form.FtdiDevice = settings.FtdiDevice;
  form.BitBangPins = FormatPinMap(settings.BitBangPins);

  const std::string& port = settings.Port;
  const bool byDigit = port.size() == 4 && port[3] >= '1' && port[3] <= '4';
  if (byDigit) form.SelectedPort = port[3] - '1';
  TestPortButtons(form, opener);
  // A name that picks no button ("Com 2", the default), or one whose port is not there: the
  // highest port that is.
  if (!byDigit || form.SelectedPort < 0) {
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
  form.Programmer = programmer;
  TestPortButtons(form, opener);
  SelectLowestEnabled(form);
}

void RetestPorts(HardwareForm& form, PortOpener& opener) {
  TestPortButtons(form, opener);
  SelectLowestEnabled(form);
}

std::string HardwareFormProblem(const HardwareForm& form) {
  const auto type = static_cast<ProgrammerType>(form.Programmer);
  if (RowOf(type).pinsFromSettings && !ParsePinMap(form.BitBangPins)) {
    return std::string(text::kBadPinMapBefore) + form.BitBangPins +
           std::string(text::kBadPinMapAfter);
  }
  if (PortKindOf(type) == PortKind::Usb && !ParseFtdiDevice(form.FtdiDevice)) {
    return std::string(text::kBadFtdiDeviceBefore) + form.FtdiDevice +
           std::string(text::kBadFtdiDeviceAfter);
  }
  return {};
}

void ApplyHardwareForm(const HardwareForm& form, HardwareSettings& settings) {
  settings.Programmer = static_cast<ProgrammerType>(form.Programmer);
  settings.Port = form.SelectedPort >= 0 ? form.PortName(form.SelectedPort) : std::string();
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
