// SPDX-License-Identifier: GPL-3.0-or-later
// Port opening and its failure messages.
#include "hardware/port_opener.hpp"

#include <cerrno>
#include <system_error>

#include "core/text.hpp"
#include "hardware/port_discovery.hpp"
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
  // A port named by its serial number is the one chip with that number.
  if (const auto target = ResolvePort(settings, portName); target && !target->ftdiSerial.empty()) {
    request.serial = target->ftdiSerial;
    request.index = 0;
  }
  request.outputs = PinMapOf(settings).OutputMask();
  request.resting = RestingPinLevels(settings);
  const ProgrammerRow& row = RowOf(settings);
  request.releaseToSerial = !row.pinsFromSettings && row.type != ProgrammerType::User;
  return request;
}

GpioRequest GpioRequestFor(const HardwareSettings& settings, std::string_view portName) {
  return GpioRequestFor(PinMapOf(settings), RestingLevels(settings),
                        DeviceFileFor(settings, portName));
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

std::string GpioOpenFailureText(const HardwareSettings& settings, std::string_view portName,
                                int error) {
  std::string message(text::kCannotOpenGpio);
  message.append(DeviceFileFor(settings, portName))
      .append(text::kPortNameBefore)
      .append(portName)
      .append(text::kPortNameAfter)
      .append(std::generic_category().message(error))
      .append(text::kReasonEnd);
  if (error == EACCES || error == EPERM) {
    message.append(text::kJoinGroupBefore).append(text::kGpioGroup).append(text::kGpioGroupAfter);
  } else if (error == EBUSY) {
    message.append(text::kGpioBusy);
  } else if (error == ENOENT || error == ENODEV) {
    message.append(text::kGpioNoSuchChip);
  } else if (error == ERANGE) {
    message.append(text::kGpioLineBeyond);
  }
  return message;
}

}  // namespace

std::optional<std::string> UsbSerialNotice(OsInterface& os, const std::string& deviceFile) {
  const std::optional<UsbSerialAdapter> adapter = UsbAdapterOf(os, deviceFile);
  if (!adapter) return std::nullopt;
  std::string notice =
      std::string(text::kUsbSerialJdmBefore) + deviceFile + std::string(text::kUsbSerialJdmAfter);
  if (adapter->Ftdi()) notice += text::kUsbSerialFtdi;
  return notice;
}

std::string PortCallFailedText(std::string_view call, std::string_view device, int error) {
  return std::string(call) + std::string(text::kCallOn) + std::string(device) +
         std::string(text::kCallReason) + std::generic_category().message(error);
}

std::string PortOpenFailureText(const HardwareSettings& settings, std::string_view portName,
                                int error) {
  if (PortKindOf(settings) == PortKind::Usb) {
    return FtdiOpenFailureText(settings, portName, error);
  }
  if (PortKindOf(settings) == PortKind::Gpio) {
    return GpioOpenFailureText(settings, portName, error);
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
  const std::optional<PortTarget> target = ResolvePort(settings, portName);
  if (!target) return {nullptr, ENODEV};
  const PortKind kind = PortKindOf(settings);
  if (kind == PortKind::Usb) return OpenFtdiPort(ftdi_(), FtdiRequestFor(settings, portName));
  if (kind == PortKind::Gpio) return OpenGpioPort(gpio_(), GpioRequestFor(settings, portName));
  BackendRow backend = BackendFor(settings);
  // A device file without a port number has no I/O addresses: only its file can reach it.
  if (target->digit == 0 && !backend.usesDeviceFile) {
    for (const BackendRow& row : kBackends) {
      if (row.kind == kind && row.usesDeviceFile) backend = row;
    }
  }
  return backend.open(os_, target->deviceFile, backend.kind,
                      PortBaseFor(backend.kind, target->digit));
}

std::unique_ptr<Port> SystemPortOpener::Open(const HardwareSettings& settings, Ui& ui,
                                             bool report) {
  if (!ResolvePort(settings, settings.Port)) {
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
  // Once for the life of the opener: the JDM on a USB-serial adapter works, but slowly.
  if (result.port && report && !toldUsbSerial_ && RowOf(settings).jdm && !settings.CardReader &&
      PortKindOf(settings) == PortKind::Serial) {
    if (const auto notice = UsbSerialNotice(os_, DeviceFileFor(settings, settings.Port))) {
      toldUsbSerial_ = true;
      ui.Message(MessageKind::Information, *notice);
    }
  }
  return std::move(result.port);
}

std::vector<FoundPort> SystemPortOpener::ListPorts(const HardwareSettings& settings) {
  return FindPorts(os_, settings, PortKindOf(settings));
}

bool SystemPortOpener::Available(const HardwareSettings& settings, std::string_view portName) {
  if (PortKindOf(settings) == PortKind::Usb) {
    // Only whether the chip is there and free: its pins are left alone.
    if (!ResolvePort(settings, portName)) return false;
    const FtdiRequest request = FtdiRequestFor(settings, portName);
    std::unique_ptr<FtdiInterface> ftdi = ftdi_();
    if (OpenFtdiDevice(*ftdi, request) < 0) return false;
    ftdi->Close();
    return true;
  }
  return OpenNamed(settings, portName).port != nullptr;
}

}  // namespace kestrum
