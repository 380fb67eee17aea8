// Port opening and its failure messages.
#include "hardware/port_opener.hpp"

#include <cerrno>
#include <system_error>

#include "core/text.hpp"
#include "hardware/texts.hpp"

namespace kestrum {

const BackendRow& BackendFor(const HardwareSettings& settings) {
  PortKind kind = PortKindOf(settings);
  // The serial system calls (and the card reader's timed reads) only the tty has.
  PortAccess access = (settings.Api || settings.CardReader) && kind == PortKind::Serial
                          ? PortAccess::DeviceFile
                          : settings.Access;
  for (const BackendRow& row : kBackends) {
    if (row.access == access && row.kind == kind) return row;
  }
  return kBackends.front();
}

FtdiRequest FtdiRequestFor(const HardwareSettings& settings, std::string_view portName) {
  FtdiRequest request;
  const FtdiDeviceId id = ParseFtdiDevice(settings.FtdiDevice).value_or(FtdiDeviceId{});
  request.vendor = id.vendor ? id.vendor : kFtdiVendorId;
  request.product = id.product;
  request.serial = id.serial;
  request.index = PortDigit(PortKind::Usb, portName).value_or(1) - 1;
  request.outputs = PinMapOf(settings).OutputMask();
  request.resting = RestingPinLevels(settings);
  request.releaseToSerial = !RowOf(settings.Programmer).pinsFromSettings;
  return request;
}

namespace {

std::string FtdiOpenFailureText(const HardwareSettings& settings, std::string_view portName,
                                int error) {
  std::string message(text::kCannotOpenFtdi);
  message.append(settings.FtdiDevice.empty() ? text::kAnyFtdi : settings.FtdiDevice)
      .append(text::kPortNameBefore)
      .append(portName)
      .append(text::kPortNameAfter)
      .append(std::generic_category().message(error))
      .append(text::kReasonEnd);
  if (error == EACCES || error == EPERM) {
    message.append(text::kJoinGroupBefore).append(text::kUsbGroup).append(text::kUsbGroupAfter);
  } else if (error == EBUSY) {
    message.append(text::kFtdiBusy);
  } else if (error == ENODEV) {
    message.append(text::kFtdiNotFound);
  }
  return message;
}

}  // namespace

std::string PortCallFailedText(std::string_view call, std::string_view device, int error) {
  return std::string(call) + std::string(text::kCallOn) + std::string(device) +
         std::string(text::kCallReason) + std::generic_category().message(error);
}

std::string PortOpenFailureText(const HardwareSettings& settings, std::string_view portName,
                                int error) {
  if (PortKindOf(settings) == PortKind::Usb) {
    return FtdiOpenFailureText(settings, portName, error);
  }
  const BackendRow& backend = BackendFor(settings);
  PortKind kind = PortKindOf(settings);
  std::string message;
  if (backend.usesDeviceFile) {
    message.append(text::kCannotOpenPort).append(DeviceFileFor(settings, portName));
  } else {
    std::optional<int> digit = PortDigit(kind, portName);
    message.append(text::kCannotAccessPorts)
        .append(Hex4(PortBaseFor(kind, digit.value_or(0))))
        .append(text::kHexSuffix);
  }
  message.append(text::kPortNameBefore).append(portName).append(text::kPortNameAfter);
  // generic_category() is thread-safe, unlike strerror(); workers open ports too.
  message.append(std::generic_category().message(error)).append(text::kReasonEnd);
  if (error == EACCES || error == EPERM) {
    if (backend.usesDeviceFile) {
      message.append(text::kJoinGroupBefore)
          .append(kind == PortKind::Serial ? text::kSerialGroup : text::kParallelGroup)
          .append(text::kJoinGroupAfter);
    } else {
      message.append(text::kRawAccessHint);
    }
  }
  return message;
}

BackendResult SystemPortOpener::OpenNamed(const HardwareSettings& settings,
                                          std::string_view portName) {
  std::optional<int> digit = PortDigit(PortKindOf(settings), portName);
  if (!digit) return {nullptr, ENODEV};
  if (PortKindOf(settings) == PortKind::Usb) {
    return OpenFtdiPort(ftdi_(), FtdiRequestFor(settings, portName));
  }
  const BackendRow& backend = BackendFor(settings);
  return backend.open(os_, DeviceFileFor(settings, portName), backend.kind,
                      PortBaseFor(backend.kind, *digit));
}

std::unique_ptr<Port> SystemPortOpener::Open(const HardwareSettings& settings, Ui& ui,
                                             bool report) {
  if (!PortDigit(settings)) {
    if (report) {
      ui.Message(MessageKind::Error,
                 settings.CardReader ? text::kNoReaderPort : text::kNoPortSelected);
    }
    return nullptr;
  }
  BackendResult result = OpenNamed(settings, settings.Port);
  if (!result.port && report) {
    ui.Message(MessageKind::Error, PortOpenFailureText(settings, settings.Port, result.error));
  }
  return std::move(result.port);
}

bool SystemPortOpener::Available(const HardwareSettings& settings, std::string_view portName) {
  if (PortKindOf(settings) == PortKind::Usb) {
    // Only whether the chip is there and free: its pins are left alone.
    if (!PortDigit(PortKind::Usb, portName)) return false;
    const FtdiRequest request = FtdiRequestFor(settings, portName);
    std::unique_ptr<FtdiInterface> ftdi = ftdi_();
    if (OpenFtdiDevice(*ftdi, request) < 0) return false;
    ftdi->Close();
    return true;
  }
  return OpenNamed(settings, portName).port != nullptr;
}

}  // namespace kestrum
