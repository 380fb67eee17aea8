// SPDX-License-Identifier: GPL-3.0-or-later
// Device checks for the assembler view and writing the listing for the command line.
#include "disasm/assembler_view.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "disasm/disassembler.hpp"
#include "disasm/texts.hpp"

namespace kestrum {
namespace {

constexpr std::uint16_t kFourteenBitBlank = 0x3FFF;

void ReportWriteFailure(Ui& ui, std::string_view path, int error) {
  ui.Message(MessageKind::Error, std::string(text::kCannotWriteListing) + std::string(path) +
                                     std::string(text::kCannotWriteReasonSeparator) +
                                     std::strerror(error));
}

}  // namespace

DisassemblyCheck CheckDisassembly(const DeviceDescriptor& device) {
  switch (FamilyOf(device)) {
    case DeviceFamily::Pic:
      return device.BlankValue == kFourteenBitBlank ? DisassemblyCheck::Listed
                                                    : DisassemblyCheck::TwelveBitPic;
    case DeviceFamily::FlashMicro:
    case DeviceFamily::SpiMicro89S:
      return DisassemblyCheck::NotOffered;
    default:
      return DisassemblyCheck::NotPic;
  }
}

bool AssemblerViewAllowed(Ui& ui, const DeviceDescriptor& device) {
  switch (CheckDisassembly(device)) {
    case DisassemblyCheck::Listed:
      return true;
    case DisassemblyCheck::NotOffered:
      return false;
    case DisassemblyCheck::NotPic:
      ui.Message(MessageKind::Warning, text::kOnlyPicSupported);
      return false;
    case DisassemblyCheck::TwelveBitPic:
      ui.Message(MessageKind::Warning, text::kTwelveBitPicNotSupported);
      return false;
  }
  return false;
}

bool WriteDisassembly(Ui& ui, const DeviceDescriptor& device, const BufferSlot& slot,
                      std::string_view path, std::ostream& standardOutput) {
  const DisassemblyCheck check = CheckDisassembly(device);
  // A run without a window has nobody to see a view quietly refuse, so every refused device
  // is reported.
  if (check == DisassemblyCheck::NotOffered || check == DisassemblyCheck::NotPic) {
    ui.Message(MessageKind::Warning, text::kOnlyPicSupported);
    return false;
  }
  if (check == DisassemblyCheck::TwelveBitPic) {
    ui.Message(MessageKind::Warning, text::kTwelveBitPicNotSupported);
    return false;
  }
  const std::string listing = DisassemblyText(device, slot);
  if (path.empty()) {
    standardOutput << listing;
    standardOutput.flush();
    return true;
  }
  std::FILE* file = std::fopen(std::string(path).c_str(), "w");
  if (file == nullptr) {
    ReportWriteFailure(ui, path, errno);
    return false;
  }
  const bool written = std::fwrite(listing.data(), 1, listing.size(), file) == listing.size();
  const int writeError = errno;
  if (std::fclose(file) != 0 || !written) {
    ReportWriteFailure(ui, path, written ? errno : writeError);
    return false;
  }
  return true;
}

}  // namespace kestrum
