// Verify and Blank Check: the device is read into scratch arrays (the buffers are never
// touched) and compared with the active slot or with the blank value; the first difference
// is reported.
#include <vector>

#include "operations/operations.hpp"
#include "operations/texts.hpp"

namespace kestrum {

OperationResult Operations::Verify() {
  return Check(CheckKind::Verify);
}

OperationResult Operations::BlankCheck() {
  return Check(CheckKind::BlankCheck);
}

namespace {

// Program memory that is compared: not the factory calibration word, nor the four ID words
// after a 12-bit part's program memory.
int CodeCheckCount(const DeviceDescriptor& device) {
  return device.CodeSize - (device.HasOscCal ? 1 : 0) - (device.Is12Bit ? 4 : 0);
}

}  // namespace

bool Operations::PicCheckRead(CheckKind kind, std::vector<std::uint16_t>& code,
                              std::vector<std::uint16_t>& data, OperationResult& result) {
  const DeviceDescriptor& device = Device();
  auto codeReader = PicCodeReader(device, lines_, WorkerTiming());
  if (!Run(*codeReader, result)) return false;
  for (int i = 0; i < codeReader->Count; ++i) code[i] = PicCodeWord(device, codeReader->Words[i]);
  if (device.DataSize > 0) {
    SetText(PhaseText(kind == CheckKind::Verify ? text::kVerifyingData : text::kReadingData,
                      device.DataSize));
    auto dataReader = PicDataReader(device, lines_, WorkerTiming());
    if (!Run(*dataReader, result)) return false;
    for (int i = 0; i < dataReader->Count; ++i) data[i] = dataReader->Words[i];
  }
  return true;
}

OperationResult Operations::Check(CheckKind kind) {
  OperationResult result;
  PrepareLines();
  const DeviceDescriptor& device = Device();
  const bool verify = kind == CheckKind::Verify;
  const int shown = device.Is12Bit ? device.CodeSize - 4 : device.CodeSize;
  ShowProgressWith(verify ? text::kStatusVerifying : text::kStatusBlankCheck,
                   PhaseText(verify ? text::kVerifyingCode : text::kReadingCode, shown));

  const DispatchRow row = DispatchRowOf(device);
  // The smartcard read does not depend on the programmer type.
  const bool checkGroup = !(row == DispatchRow::I2cEeprom && options_.Smart);
  bool refused = false;
  if (checkGroup && !ProgrammerSupports(lines_.Settings().Programmer, GroupOf(row))) {
    ReportNotSupported();
    refused = true;
  } else if (row == DispatchRow::PicParallel) {
    ui().Message(MessageKind::Information,
                 verify ? text::kVerifyNotSupported : text::kBlankCheckNotSupported);
    refused = true;
  } else {
    refused = Refuse(row, false, result);
  }
  if (refused) {
    result.Refused = true;
    HideProgress();
    return result;
  }

  // Elements after a cancelled read's last unit stay 0, as a worker's output does.
  std::vector<std::uint16_t> code(kBufferElements, 0);
  std::vector<std::uint16_t> data(kBufferElements, 0);
  const bool read = PicCheckRead(kind, code, data, result);
  HideProgress();
  result.Cancelled = progress_.Cancelled.load(std::memory_order_acquire);
  if (!read) return result;  // the port did not open: nothing to compare

  const BufferSlot& slot = workspace_.Active();
  bool ok = true;
  for (int i = 0, n = CodeCheckCount(device); i < n && ok; ++i) {
    const bool differs =
        verify ? slot.CodeBuffer[i] != (code[i] & device.BlankValue) : code[i] != device.BlankValue;
    if (differs) {
      ok = false;
      result.FailIndex = i;
    }
  }
  for (int i = 0; ok && i < device.DataSize; ++i) {
    const int expected = verify ? (slot.DataBuffer[i] & 0xFF) : 0xFF;
    if ((data[i] & 0xFF) != expected) {
      ok = false;
      result.FailIndex = i;
      result.InData = true;
    }
  }

  Ui& u = ui();
  if (verify) {
    result.Verified = true;
    result.VerifyPassed = ok;
    if (ok) {
      u.ResetCodeViewMarking();
      u.Message(MessageKind::Information, text::kVerifyOk);
    } else {
      u.Beep();
      u.Message(MessageKind::Error,
                AddressText(result.InData ? text::kVerifyFailedData : text::kVerifyFailed,
                            result.FailIndex));
    }
  } else {
    result.Blank = ok;
    if (ok) {
      u.Message(MessageKind::Information, text::kDeviceBlank);
    } else {
      u.Beep();
      u.Message(
          MessageKind::Warning,
          AddressText(result.InData ? text::kNotBlankData : text::kNotBlank, result.FailIndex));
    }
  }
  result.Failed = !ok;
  return result;
}

}  // namespace kestrum
