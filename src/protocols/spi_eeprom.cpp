// SPDX-License-Identifier: GPL-3.0-or-later
// SPI EEPROM workers and driver.
#include "protocols/spi_eeprom.hpp"

#include <algorithm>

#include "core/text.hpp"
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
// part powered: data and clock go low and /CS to the idle level themselves. The wait before
// gives a write cycle still running time to end; a run that saw its last cycle end by the
// write-in-progress bit needs none.
void PowerDown(LineContext& lines, int settleMs = 500) {
  lines.SleepMs(settleMs);
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

// Reads [first, end) with the instruction and address bytes `head` and compares it with
// `bytes`: true when the part holds them already. The run is read whole before it is looked at.
bool Holds(LineContext& lines, std::initializer_list<std::uint8_t> head,
           const std::vector<std::uint16_t>& bytes, int first, int end) {
  std::vector<std::uint16_t> held(static_cast<std::size_t>(end - first));
  Select(lines);
  for (std::uint8_t b : head) ShiftOutByte(lines, b);
  for (std::uint16_t& b : held) ShiftInByte(lines, b);
  Deselect(lines);
  lines.ResolveSamples();
  for (int i = first; i < end; ++i) {
    if ((held[static_cast<std::size_t>(i - first)] & 0xFF) !=
        (bytes[static_cast<std::size_t>(i)] & 0xFF)) {
      return false;
    }
  }
  return true;
}

void WriteEnable(LineContext& lines) {
  Select(lines);
  ShiftOutByte(lines, spi::kWriteEnable);
  Deselect(lines);
}

// True when the part finished the cycle the deselect before started.
template <class Stop>
bool Finished(LineContext& lines, Stop stop) {
  Select(lines);
  const std::uint8_t status = PollWhileBusy(lines, stop);
  Deselect(lines);
  return (status & 1) == 0;
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
  if (!NoAnswer && AddressBytes == 2) {
    Select(lines_);
    ShiftOutByte(lines_, spi::kRead);
    ShiftOutByte(lines_, 0x00);
    ShiftOutByte(lines_, 0x00);
    for (int i = 0; i < Count; ++i) {
      ShiftInByte(lines_, Bytes[static_cast<std::size_t>(i)]);
      ProgressAt(i);
      if (StopRequested()) break;
    }
    Deselect(lines_);
  } else if (!NoAnswer) {
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
  const int page = std::max(PageSize, 1);
  // Byte by byte the sequence keeps its millisecond gaps around /CS; page writes need none
  // (the part asks for well under a microsecond) and end each cycle on the status register.
  const bool paged = page > 1;
  const auto gap = [this, paged] {
    if (!paged) lines_.SleepMs(1);
  };
  const auto stop = [this] { return StopRequested(); };
  for (int a = 0; a < Count;) {
    // One write enable, one write and one write cycle per page: the bytes stay inside the page
    // the address is in, whose counter would otherwise wrap to the page's start.
    const int end = std::min((a | (page - 1)) + 1, Count);
    ProgressAt(a);
    if (WriteOnlyDiffers &&
        Holds(lines_, {SpiInstruction(spi::kRead, a), static_cast<std::uint8_t>(a & 0xFF)}, Bytes,
              a, end)) {
      a = end;
      if (StopRequested()) break;
      continue;
    }
    Select(lines_);
    gap();
    ShiftOutByte(lines_, spi::kWriteEnable);
    Deselect(lines_);
    gap();
    Select(lines_);
    gap();
    ShiftOutByte(lines_, SpiInstruction(spi::kWrite, a));
    ShiftOutByte(lines_, static_cast<std::uint8_t>(a & 0xFF));
    for (int i = a; i < end; ++i) {
      ProgressAt(i);
      ShiftOutByte(lines_, static_cast<std::uint8_t>(Bytes[static_cast<std::size_t>(i)]));
    }
    Deselect(lines_);
    gap();
    Select(lines_);
    const std::uint8_t status = PollWhileBusy(lines_, stop);
    Deselect(lines_);
    if (StopRequested()) break;
    if ((status & 1) != 0) {
      Failed = true;
      FailAddress = a;
      break;
    }
    a = end;
  }
  // After Cancel the status register, whose block protection may lock the part, is not written.
  bool settled = false;
  if (!Failed && !StopRequested()) {
    gap();
    Select(lines_);
    gap();
    ShiftOutByte(lines_, spi::kWriteEnable);
    Deselect(lines_);
    gap();
    Select(lines_);
    gap();
    ShiftOutByte(lines_, spi::kWriteStatus);
    ShiftOutByte(lines_, StatusRegister);
    lines_.SetDataLine(0);
    Deselect(lines_);
    // The status register is a non-volatile write of its own: its end is polled like a page's.
    settled = paged && Finished(lines_, stop);
  }
  ProgressDone();
  PowerDown(lines_, settled ? 0 : 500);
}

// ---- the parts with 16-bit addresses ----

TSpiPageThread::TSpiPageThread(const LineContext& lines, Step step, int count, int pageSize)
    : OperationWorker(lines, count),
      Bytes(static_cast<std::size_t>(std::max(count, 0))),
      step_(step),
      pageSize_(std::max(pageSize, 1)) {}

bool TSpiPageThread::WriteStatus(std::uint8_t value) {
  WriteEnable(lines_);
  Select(lines_);
  ShiftOutByte(lines_, spi::kWriteStatus);
  ShiftOutByte(lines_, value);
  Deselect(lines_);
  return Finished(lines_, [this] { return StopRequested(); });
}

bool TSpiPageThread::Unprotect() {
  Select(lines_);
  const std::uint8_t status = PollWhileBusy(lines_, [this] { return StopRequested(); });
  Deselect(lines_);
  return (status & spi::kProtectionBits) == 0 || WriteStatus(0x00);
}

void TSpiPageThread::Body() {
  Failed = false;
  ProgressRange();
  if (!OpenPort()) return;
  PowerUp(lines_);
  const auto stop = [this] { return StopRequested(); };
  // Set where the run saw its last write cycle end on the write-in-progress bit.
  bool settled = false;
  switch (step_) {
    case Step::Program:
      if (!Unprotect()) {
        Failed = true;
        break;
      }
      // One page per write enable, write and deselect: the part's address counter wraps
      // inside its page.
      for (int a = 0; a < Count && !StopRequested();) {
        const int end = std::min((a | (pageSize_ - 1)) + 1, Count);
        if (WriteOnlyDiffers && Holds(lines_,
                                      {spi::kRead, static_cast<std::uint8_t>(a >> 8),
                                       static_cast<std::uint8_t>(a & 0xFF)},
                                      Bytes, a, end)) {
          a = end;
          continue;
        }
        WriteEnable(lines_);
        Select(lines_);
        ShiftOutByte(lines_, spi::kWrite);
        ShiftOutByte(lines_, static_cast<std::uint8_t>(a >> 8));
        ShiftOutByte(lines_, static_cast<std::uint8_t>(a & 0xFF));
        for (int i = a; i < end; ++i) {
          ProgressAt(i);
          ShiftOutByte(lines_, static_cast<std::uint8_t>(Bytes[static_cast<std::size_t>(i)]));
        }
        Deselect(lines_);
        if (!Finished(lines_, stop) && !StopRequested()) {
          Failed = true;
          FailAddress = a;
          break;
        }
        a = end;
      }
      if (!Failed && !StopRequested() && (StatusRegister & spi::kProtectionBits) != 0 &&
          !WriteStatus(StatusRegister & spi::kProtectionBits)) {
        Failed = true;
        FailAddress = Count;
      }
      settled = !Failed && !StopRequested();
      break;
    case Step::Erase:
      if (!Unprotect()) {
        Failed = true;
        break;
      }
      WriteEnable(lines_);
      Select(lines_);
      ShiftOutByte(lines_, spi::kChipErase);
      Deselect(lines_);
      Failed = !Finished(lines_, stop);
      settled = !Failed;
      break;
    case Step::ReadId:
      // A dummy address of two bytes before the signature; RDID also wakes a sleeping part.
      Select(lines_);
      ShiftOutByte(lines_, spi::kReadId);
      ShiftOutByte(lines_, 0x00);
      ShiftOutByte(lines_, 0x00);
      StatusRegister = ShiftInByte(lines_);
      Deselect(lines_);
      break;
  }
  lines_.SetDataLine(0);
  ProgressDone();
  PowerDown(lines_, settled ? 0 : 500);
}

// ---- driver ----

void SpiEepromDriver::Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  context.ShowReadPhase(Region::Code, device.CodeSize);
  TSpiRead reader(context.Lines(), device.CodeSize, device.BlankValue);
  reader.AddressBytes = device.AddressBytes == 2 ? 2 : 1;
  if (!context.Run(reader)) return;
  if (reader.NoAnswer) {
    context.ui().Message(MessageKind::Error, text::kNoAnswer);
    context.Failed();
    return;
  }
  context.Store(Region::Code, 0, reader.Bytes);
  // What the part keeps: the write-enable and write-in-progress bits come and go.
  const std::uint16_t status = reader.StatusRegister & device.ConfigMask;
  context.Store(Region::Config, device.ConfigWordIndex, std::span(&status, 1));
}

ProgramOutcome SpiEepromDriver::Program(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  if (device.AddressBytes == 2) {
    const BufferSlot& slot = context.Work().Active();
    TSpiPageThread writer(context.Lines(), TSpiPageThread::Step::Program, device.CodeSize,
                          device.PageSize);
    std::copy_n(slot.CodeBuffer.begin(), writer.Bytes.size(), writer.Bytes.begin());
    writer.StatusRegister = static_cast<std::uint8_t>(slot.ConfigWord(device));
    writer.WriteOnlyDiffers = context.Options().WriteOnlyDiffers;
    if (!context.Run(writer)) return {};
    if (writer.Failed) {
      context.ui().Message(MessageKind::Error,
                           AddressText(text::kWriteNotFinished, writer.FailAddress));
      context.Failed();
    }
    return {};
  }
  // The status register gets the block protection the configuration box shows.
  context.Work().CreateConfig();
  const BufferSlot& slot = context.Work().Active();
  TSpiProgThread writer(context.Lines(), device.CodeSize);
  writer.PageSize = device.PageSize;
  writer.WriteOnlyDiffers = context.Options().WriteOnlyDiffers;
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

// Offered only for the 25xx512, which erases by instruction.
bool SpiEepromDriver::Erase(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  if (!device.HasEraseInstructions) return false;
  TSpiPageThread eraser(context.Lines(), TSpiPageThread::Step::Erase, 0, device.PageSize);
  if (!context.Run(eraser)) return false;
  if (eraser.Failed) {
    context.ui().Message(MessageKind::Error, text::kEraseNotFinished);
    context.Failed();
    return false;
  }
  return true;
}

// Not offered for these parts.
bool SpiEepromDriver::ProgramConfig(FamilyContext& /*context*/) {
  return false;
}

bool SpiEepromDriver::HasId(const DeviceDescriptor& device) const {
  return device.HasEraseInstructions;
}

IdReading SpiEepromDriver::ReadId(FamilyContext& context) {
  TSpiPageThread reader(context.Lines(), TSpiPageThread::Step::ReadId, 0,
                        context.Device().PageSize);
  if (!context.Run(reader)) return {.Result = IdReading::Outcome::PortFailed};
  // Nothing drives the data line of an empty socket.
  const std::uint8_t id = reader.StatusRegister;
  if (id == 0xFF || id == 0x00) return {};
  return {.Result = IdReading::Outcome::Present, .Value = id};
}

std::string SpiEepromDriver::IdText(std::uint32_t id) const {
  return Hex2(id) + "h";
}

}  // namespace kestrum
