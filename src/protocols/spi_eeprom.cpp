// SPI EEPROM workers and driver.
#include "protocols/spi_eeprom.hpp"

#include <algorithm>

#include "hardware/bus.hpp"
#include "protocols/texts.hpp"

namespace kestrum {
namespace {

// /CS follows the MCLR pin: low selects.
void Select(LineContext& lines) {
  lines.VppOff();
}
void Deselect(LineContext& lines) {
  lines.VppOnFast();
}

// Supply on with /CS high (the part takes no instruction after a power-up with /CS low),
// then one select pulse.
void PowerUp(LineContext& lines) {
  lines.AllLinesOff();
  lines.DelayMicroseconds(100);
  lines.PowerOn();
  Deselect(lines);
  lines.SleepMs(300);
  Select(lines);
  lines.SleepMs(1);
  Deselect(lines);
  lines.SleepMs(1);
}

// Programmers without a supply switch (the JDM without power control, the AN589) keep the
// part powered: data and clock go low and /CS to the idle level themselves.
void PowerDown(LineContext& lines) {
  lines.SleepMs(500);
  lines.SetDataLine(0);
  lines.SetClockLine(0);
  lines.VppOff();
  lines.AllLinesOff();
  lines.ClosePort();
}

// Status register bytes are clocked in while /CS stays low until the write-in-progress bit
// reads 0, for kSpiBusyLimitUs at most, or until `stop`. The last status byte read; the
// verdict is always taken from a byte read after the limit had passed, so a thread that was
// held up past it still sees a part that finished meanwhile.
template <class Stop>
std::uint8_t PollWhileBusy(LineContext& lines, Stop stop) {
  ShiftOutByte(lines, spi::kReadStatus);
  const std::int64_t start = lines.clock().nowUs();
  std::uint8_t status = ShiftInByte(lines);
  while ((status & 1) != 0 && !stop()) {
    const bool late = lines.clock().nowUs() - start >= kSpiBusyLimitUs;
    status = ShiftInByte(lines);
    if (late) break;
  }
  return status;
}

}  // namespace

TSpiRead::TSpiRead(const LineContext& lines, int count, std::uint16_t blankValue)
    : OperationWorker(lines, count),
      Bytes(static_cast<std::size_t>(std::max(count, 0))),
      mask_(blankValue) {}

void TSpiRead::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  PowerUp(lines_);
  Select(lines_);
  lines_.SleepMs(1);
  StatusRegister = PollWhileBusy(lines_, [this] { return StopRequested(); });
  NoAnswer = (StatusRegister & 1) != 0 && !StopRequested();
  lines_.SleepMs(1);
  Deselect(lines_);
  lines_.SleepMs(1);
  if (!NoAnswer) {
    const int blockLength = std::min(Count, 256);
    int index = 0;
    for (int block = 0; block < Count / 512 + 1 && !StopRequested(); ++block) {
      Select(lines_);
      lines_.SleepMs(1);
      ShiftOutByte(lines_, SpiInstruction(spi::kRead, block << 8));
      ShiftOutByte(lines_, 0x00);
      lines_.SleepMs(1);
      for (int i = 0; i < blockLength && index < Count; ++i) {
        ShiftInByte(lines_, Bytes[static_cast<std::size_t>(index)]);
        lines_.SetDataLine(0);
        ProgressAt(index);
        ++index;
        if (StopRequested()) break;
      }
      lines_.SleepMs(1);
      Deselect(lines_);
      lines_.DelayMicroseconds(100);
    }
  }
  ProgressDone();
  PowerDown(lines_);
  // The bytes are all in once the port has closed.
  for (std::uint16_t& byte : Bytes) byte &= mask_;
}

TSpiProgThread::TSpiProgThread(const LineContext& lines, int count)
    : OperationWorker(lines, count), Bytes(static_cast<std::size_t>(std::max(count, 0))) {}

void TSpiProgThread::Body() {
  Failed = false;
  ProgressRange();
  if (!OpenPort()) return;
  PowerUp(lines_);
  for (int a = 0; a < Count; ++a) {
    ProgressAt(a);
    Select(lines_);
    lines_.SleepMs(1);
    ShiftOutByte(lines_, spi::kWriteEnable);
    Deselect(lines_);
    lines_.SleepMs(1);
    Select(lines_);
    lines_.SleepMs(1);
    ShiftOutByte(lines_, SpiInstruction(spi::kWrite, a));
    ShiftOutByte(lines_, static_cast<std::uint8_t>(a & 0xFF));
    ShiftOutByte(lines_, static_cast<std::uint8_t>(Bytes[static_cast<std::size_t>(a)]));
    Deselect(lines_);
    lines_.SleepMs(1);
    Select(lines_);
    const std::uint8_t status = PollWhileBusy(lines_, [this] { return StopRequested(); });
    Deselect(lines_);
    if (StopRequested()) break;
    if ((status & 1) != 0) {
      Failed = true;
      FailAddress = a;
      break;
    }
  }
  // After Cancel the status register, whose block protection may lock the part, is not written.
  if (!Failed && !StopRequested()) {
    lines_.SleepMs(1);
    Select(lines_);
    lines_.SleepMs(1);
    ShiftOutByte(lines_, spi::kWriteEnable);
    Deselect(lines_);
    lines_.SleepMs(1);
    Select(lines_);
    lines_.SleepMs(1);
    ShiftOutByte(lines_, spi::kWriteStatus);
    ShiftOutByte(lines_, StatusRegister);
    lines_.SetDataLine(0);
    Deselect(lines_);
  }
  ProgressDone();
  PowerDown(lines_);
}

// ---- driver ----

void SpiEepromDriver::Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  context.ShowReadPhase(Region::Code, device.CodeSize);
  TSpiRead reader(context.Lines(), device.CodeSize, device.BlankValue);
  if (!context.Run(reader)) return;
  if (reader.NoAnswer) {
    context.ui().Message(MessageKind::Error, text::kNoAnswer);
    context.Failed();
    return;
  }
  context.Store(Region::Code, 0, reader.Bytes);
  const std::uint16_t status = reader.StatusRegister;
  context.Store(Region::Config, device.ConfigWordIndex, std::span(&status, 1));
}

ProgramOutcome SpiEepromDriver::Program(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  // The status register gets the block protection the configuration box shows.
  context.Work().CreateConfig();
  const BufferSlot& slot = context.Work().Active();
  TSpiProgThread writer(context.Lines(), device.CodeSize);
  std::copy_n(slot.CodeBuffer.begin(), writer.Bytes.size(), writer.Bytes.begin());
  writer.StatusRegister = static_cast<std::uint8_t>(slot.ConfigWord(device));
  if (!context.Run(writer)) return {};
  if (writer.Failed) {
    context.ui().Message(MessageKind::Error,
                         AddressText(text::kWriteNotFinished, writer.FailAddress));
    context.Failed();
  }
  return {};
}

// Neither is offered for these parts.
bool SpiEepromDriver::Erase(FamilyContext& /*context*/) {
  return false;
}
bool SpiEepromDriver::ProgramConfig(FamilyContext& /*context*/) {
  return false;
}

}  // namespace kestrum
