// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC family driver.
#include "protocols/pic_driver.hpp"

#include <algorithm>

#include "core/text.hpp"
#include "protocols/texts.hpp"

namespace kestrum {
namespace {

// Whether the configuration controls turn on a protection that blanks reads: of program
// memory, or (a ticked "CPD" box) of data memory.
bool ProtectionSelected(const ConfigBox& box) {
  if (box.CodeProtectSelected()) return true;
  return std::any_of(box.Fuses.begin(), box.Fuses.end(), [](const FuseCheckBox& fuse) {
    return fuse.Visible && fuse.Caption == "CPD" && fuse.Checked;
  });
}

// Every Program All of a PIC ends with the normal programming wait, however it ends; the
// 16F627/628 take the short one for the whole of one run.
class ProgramWaitForRun {
 public:
  ProgramWaitForRun(PicTiming& timing, int variant) : timing_(timing) {
    if (variant == kFastProgramVariant) timing_.ProgramWaitMs = kFastProgramWaitMs;
  }
  ~ProgramWaitForRun() { timing_.ProgramWaitMs = kProgramWaitMs; }
  ProgramWaitForRun(const ProgramWaitForRun&) = delete;
  ProgramWaitForRun& operator=(const ProgramWaitForRun&) = delete;

 private:
  PicTiming& timing_;
};

template <class Convert>
std::vector<std::uint16_t> Converted(const std::vector<std::uint16_t>& words, int count,
                                     Convert convert) {
  std::vector<std::uint16_t> out(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) out[i] = convert(words[i]);
  return out;
}

}  // namespace

PicTiming PicDriver::WorkerTiming(FamilyContext& context) const {
  PicTiming timing = timing_;
  timing.BeginProgramCommand = context.Work().BeginProgramCommand;
  if (const PicFamilyRow* row = PicFamilyRowOf(context.Device().Algorithm)) {
    return PicFlashTiming(timing, *row, context.Lines());
  }
  return timing;
}

void PicDriver::Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  LineContext& lines = context.Lines();

  context.ShowReadPhase(Region::Code, PicCodeCountShown(device));
  auto code = PicCodeReader(device, lines, WorkerTiming(context));
  if (!context.Run(*code)) return;
  context.Store(Region::Code, 0, Converted(code->Words, code->Count, [&](std::uint16_t w) {
                  return PicCodeWord(device, w);
                }));

  if (device.DataSize > 0) {
    context.ShowReadPhase(Region::Data, device.DataSize);
    auto data = PicDataReader(device, lines, WorkerTiming(context));
    if (!context.Run(*data)) return;
    context.Store(Region::Data, 0, Converted(data->Words, data->Count, PicDataByte));
  }

  if (context.Purpose() != ReadPurpose::ReadAll) return;
  context.ShowReadPhase(Region::Config, device.ConfigAreaWords);
  auto config = PicConfigReader(device, lines, WorkerTiming(context));
  if (!context.Run(*config)) return;
  context.Store(Region::Config, 0, Converted(config->Words, config->Count, [&](std::uint16_t w) {
                  return PicConfigAreaWord(device, w);
                }));
}

ProgramOutcome PicDriver::Program(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  if (const PicFamilyRow* row = PicFamilyRowOf(device.Algorithm))
    return ProgramFlash(context, *row);
  const BufferSlot& slot = context.Work().Active();
  const bool verifyDuring = context.Options().VerDurProg;
  ProgramWaitForRun wait(timing_, device.Variant);
  // A protected part reads back as zeros: with protection chosen, the verify comes before
  // the configuration that turns it on.
  ProgramOutcome outcome;
  const bool hold = context.Options().Verify && ProtectionSelected(context.Work().Config);
  auto configuration = [&] {
    if (hold) {
      outcome.Held = true;
      return;
    }
    context.SetText(text::kProgrammingConfiguration);
    ProgramConfiguration(context);
  };

  if (device.IsEprom) {
    if (device.HasOscCal && !CalibrationCheck(context)) return {.VerifyAllowed = false};
    context.SetText(PhaseText(text::kProgrammingCode, PicCodeCountShown(device)));
    auto code =
        PicCodeProgrammer(device, context.Lines(), WorkerTiming(context), slot, verifyDuring);
    if (!context.Run(*code)) return outcome;
    if (code->Failed) {
      context.ProgrammingFailed(Region::Code, code->FailAddress);
      return outcome;
    }
    configuration();
    return outcome;
  }

  context.SetText(
      PhaseText(text::kProgrammingCode, device.HasOscCal ? device.CodeSize - 4 : device.CodeSize));
  if (device.Erasable && !PicErase(context.Lines(), WorkerTiming(context))) {
    context.PortFailed();
    return outcome;
  }
  // The erase cleared program and data memory; the configuration area is written whole.
  const bool skipErased = device.Erasable && !context.Options().ProgramErasedWords;
  auto code = PicCodeProgrammer(device, context.Lines(), WorkerTiming(context), slot, verifyDuring,
                                skipErased);
  if (!context.Run(*code)) return outcome;
  if (code->Failed) {
    context.ProgrammingFailed(Region::Code, code->FailAddress);
    return outcome;
  }
  if (device.DataSize > 0) {
    context.SetText(PhaseText(text::kProgrammingData, device.DataSize));
    auto data = PicDataProgrammer(device, context.Lines(), WorkerTiming(context), slot,
                                  verifyDuring, skipErased);
    if (!context.Run(*data)) return outcome;
    if (data->Failed) {
      context.ProgrammingFailed(Region::Data, data->FailAddress);
      return outcome;
    }
  }
  configuration();
  return outcome;
}

void PicDriver::ProgramHeld(FamilyContext& context) {
  if (PicFamilyRowOf(context.Device().Algorithm) != nullptr) {
    context.SetText(text::kProgrammingConfiguration);
    ProgramFlashConfiguration(context, heldHasCalibration_ ? &heldCalibration_ : nullptr);
    return;
  }
  ProgramWaitForRun wait(timing_, context.Device().Variant);
  context.SetText(text::kProgrammingConfiguration);
  ProgramConfiguration(context);
}

bool PicDriver::CalibrationCheck(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  BufferSlot& slot = context.Work().Active();
  context.SetText(PhaseText(text::kReadingCode, PicCodeCountShown(device)));
  auto reader = PicCodeReader(device, context.Lines(), WorkerTiming(context));
  if (!context.Run(*reader)) return false;
  const int k = PicCalibrationIndex(device);
  // A read cancelled before the calibration word leaves 0 in its place; programming on would
  // write that 0 over the factory value of a one-time part.
  if (reader->TerminateRequested.load() && reader->Index.load() < k) return false;
  const std::uint16_t calibration = PicCodeWord(device, reader->Words[k]);
  std::uint16_t& bufferWord = slot.CodeBuffer[k];
  const std::uint16_t before = bufferWord;
  if (calibration != 0 && calibration != device.BlankValue) {
    bufferWord = calibration;
  } else if (!context.ui().WarningQuestion(std::string(text::kCalibrationQuestionBefore) +
                                           Hex4(bufferWord & device.BlankValue) +
                                           std::string(text::kCalibrationQuestionAfter))) {
    bufferWord = calibration;
  }
  if (bufferWord != before) context.SlotChanged();
  return true;
}

bool PicDriver::ProgramConfiguration(FamilyContext& context) {
  context.Work().CreateConfig();
  auto config = PicConfigProgrammer(context.Device(), context.Lines(), WorkerTiming(context),
                                    context.Work().Active());
  return context.Run(*config);
}

bool PicDriver::Erase(FamilyContext& context) {
  if (const PicFamilyRow* row = PicFamilyRowOf(context.Device().Algorithm)) {
    return EraseFlash(context, *row);
  }
  if (PicErase(context.Lines(), WorkerTiming(context))) return true;
  context.PortFailed();
  return false;
}

bool PicDriver::ProgramConfig(FamilyContext& context) {
  if (const PicFamilyRow* row = PicFamilyRowOf(context.Device().Algorithm)) {
    Calibration calibration;
    if (row->Calibration && !TakeCalibration(context, false, calibration)) return false;
    return ProgramFlashConfiguration(context, row->Calibration ? &calibration : nullptr);
  }
  return ProgramConfiguration(context);
}

// ---- the mid-range flash parts ----

bool PicDriver::TakeCalibration(FamilyContext& context, bool intoSlot, Calibration& calibration) {
  const DeviceDescriptor& device = context.Device();
  BufferSlot& slot = context.Work().Active();
  const auto last = static_cast<std::size_t>(device.CodeSize - 1);
  const auto configIndex = static_cast<std::size_t>(device.ConfigWordIndex);
  if (context.Options().OverwriteCalibration) {
    calibration = {static_cast<std::uint16_t>(slot.CodeBuffer[last] & 0x3FFF),
                   static_cast<std::uint16_t>(slot.ConfigArea[configIndex] & kBandgapBits)};
    return true;
  }
  auto reader = PicCalibrationReader(device, context.Lines(), WorkerTiming(context));
  if (!context.Run(*reader) || context.Cancelled()) return false;
  calibration = {reader->Words[0], static_cast<std::uint16_t>(reader->Words[1] & kBandgapBits)};
  if (!IsRetlw(calibration.Osccal)) {
    // Erasing now would lose the only record of the oscillator's calibration for ever.
    context.ui().Message(MessageKind::Error, std::string(text::kOsccalInvalidBefore) +
                                                 Hex4(static_cast<std::uint32_t>(last)) +
                                                 std::string(text::kOsccalInvalidReads) +
                                                 Hex4(calibration.Osccal) +
                                                 std::string(text::kOsccalInvalidAfter));
    context.Failed();
    return false;
  }
  if (intoSlot) {
    // The buffer shows what the part keeps, and the verify compares it.
    const std::uint16_t before = slot.CodeBuffer[last];
    const std::uint16_t config = slot.ConfigArea[configIndex];
    slot.CodeBuffer[last] = calibration.Osccal;
    slot.ConfigArea[configIndex] =
        static_cast<std::uint16_t>((config & ~kBandgapBits) | calibration.Bandgap);
    if (slot.CodeBuffer[last] != before || slot.ConfigArea[configIndex] != config) {
      context.Work().ShowStoredConfigWord();
      context.SlotChanged();
    }
  }
  return true;
}

bool PicDriver::ProgramFlashConfiguration(FamilyContext& context, const Calibration* calibration) {
  const DeviceDescriptor& device = context.Device();
  context.Work().CreateConfig();
  std::vector<std::uint16_t> area(
      context.Work().Active().ConfigArea.begin(),
      context.Work().Active().ConfigArea.begin() + device.ConfigAreaWords);
  // Whatever the buffer holds, the part's bandgap bits go back where they were.
  if (calibration != nullptr) {
    std::uint16_t& word = area[static_cast<std::size_t>(device.ConfigWordIndex)];
    word = static_cast<std::uint16_t>((word & ~kBandgapBits) | calibration->Bandgap);
  }
  auto writer = PicFlashConfigWriter(device, context.Lines(), WorkerTiming(context), area);
  return context.Run(*writer);
}

ProgramOutcome PicDriver::ProgramFlash(FamilyContext& context, const PicFamilyRow& row) {
  const DeviceDescriptor& device = context.Device();
  const bool verifyDuring = context.Options().VerDurProg;
  const PicTiming timing = WorkerTiming(context);
  ProgramOutcome outcome;
  const bool hold = context.Options().Verify && ProtectionSelected(context.Work().Config);

  Calibration calibration;
  heldHasCalibration_ = row.Calibration;
  if (row.Calibration && !TakeCalibration(context, true, calibration)) {
    return {.VerifyAllowed = false};
  }
  heldCalibration_ = calibration;
  const BufferSlot& slot = context.Work().Active();

  context.SetText(PhaseText(text::kProgrammingCode, device.CodeSize));
  auto eraser = PicFlashEraser(device, context.Lines(), timing);
  if (!context.Run(*eraser)) return outcome;
  std::vector<std::uint16_t> code(slot.CodeBuffer.begin(),
                                  slot.CodeBuffer.begin() + device.CodeSize);
  if (row.Calibration) code.back() = calibration.Osccal;
  // The erase above cleared program and data memory: words of the erased value need no cycle.
  const bool skipErased = !context.Options().ProgramErasedWords;
  auto writer = PicFlashCodeWriter(device, context.Lines(), timing, code, verifyDuring, skipErased);
  if (!context.Run(*writer)) return outcome;
  if (writer->Failed) {
    context.ProgrammingFailed(Region::Code, writer->FailAddress);
    return outcome;
  }
  if (device.DataSize > 0) {
    context.SetText(PhaseText(text::kProgrammingData, device.DataSize));
    auto data = PicFlashDataWriter(
        device, context.Lines(), timing,
        std::span(slot.DataBuffer).first(static_cast<std::size_t>(device.DataSize)), verifyDuring,
        skipErased);
    if (!context.Run(*data)) return outcome;
    if (data->Failed) {
      context.ProgrammingFailed(Region::Data, data->FailAddress);
      return outcome;
    }
  }
  if (hold) {
    outcome.Held = true;
    return outcome;
  }
  context.SetText(text::kProgrammingConfiguration);
  ProgramFlashConfiguration(context, row.Calibration ? &calibration : nullptr);
  return outcome;
}

bool PicDriver::EraseFlash(FamilyContext& context, const PicFamilyRow& row) {
  const DeviceDescriptor& device = context.Device();
  Calibration calibration;
  if (row.Calibration && !TakeCalibration(context, false, calibration)) return false;
  auto eraser = PicFlashEraser(device, context.Lines(), WorkerTiming(context));
  if (!context.Run(*eraser)) return false;
  if (!row.Calibration) return true;
  // A new session after the erase, as the part asks, to put the calibration back.
  auto writer = PicCalibrationWriter(device, context.Lines(), WorkerTiming(context),
                                     calibration.Osccal, calibration.Bandgap);
  return context.Run(*writer);
}

bool PicDriver::HasId(const DeviceDescriptor& device) const {
  // The 14-bit flash parts keep their device ID at 2006h; on the EPROM and 12-bit parts there
  // is nothing there to read.
  return !device.Is12Bit && device.Erasable;
}

IdReading PicDriver::ReadId(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  TProgthread reader(context.Lines(), WorkerTiming(context), kPicDeviceIdIndex + 1);
  reader.StartCommand = device.ConfigEntryCommand;
  reader.ReadCommand = device.HasParity ? pic::kReadProgramParity : pic::kReadProgram;
  if (!context.Run(reader) || context.Cancelled()) return {IdReading::Outcome::PortFailed};
  const std::uint16_t id = PicConfigAreaWord(device, reader.Words[kPicDeviceIdIndex]) & 0x3FFF;
  // An empty socket reads all ones (or all zeros where the programmer pulls the line low), as
  // does a part without an ID.
  if (id == 0x3FFF || id == 0) return {IdReading::Outcome::Nothing};
  return {IdReading::Outcome::Read, id};
}

int PicDriver::CodeCheckCount(const DeviceDescriptor& device) const {
  // Not the factory calibration word, nor the four ID words after a 12-bit part's program
  // memory.
  return device.CodeSize - (device.HasOscCal ? 1 : 0) - (device.Is12Bit ? 4 : 0);
}

}  // namespace kestrum
