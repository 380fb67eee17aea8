// SPDX-License-Identifier: GPL-3.0-or-later
// Builds the listing: the code section with labels and ORG lines at gaps, then the ID,
// configuration and data EEPROM sections, between a fixed header and the END line.
#include "disasm/disassembler.hpp"

#include <algorithm>
#include <map>

#include "core/text.hpp"
#include "device/texts.hpp"
#include "disasm/pic14_decoder.hpp"
#include "disasm/texts.hpp"

namespace kestrum {
namespace {

constexpr unsigned kIdAddress = 0x2000;
constexpr unsigned kConfigAddress = 0x2007;
constexpr unsigned kDataAddress = 0x2100;
// On 14-bit parts the configuration word sits at configuration-area element 7.
constexpr int kConfigElement = 7;
constexpr std::uint8_t kErasedByte = 0xFF;
// An ID or data byte of 0x7F counts as unused too when deciding whether a section is listed
// and where it ends.
constexpr std::uint8_t kErasedByte7Bit = 0x7F;

bool IsBlankByte(std::uint8_t value) {
  return value == kErasedByte || value == kErasedByte7Bit;
}

ListingLine Directive(std::string_view mnemonic, std::string operand) {
  return ListingLine{.Mnemonic = std::string(mnemonic), .Operand = std::move(operand)};
}

ListingLine SpaceLine() {
  return ListingLine{.Mnemonic = std::string(text::kAsmSpaceLine)};
}

std::string Indented(std::string_view text) {
  return std::string(text::kListingIndent) + std::string(text);
}

struct CodeSection {
  std::vector<ListingLine> Lines = std::vector<ListingLine>(kListedCodeWords);  // one per word
  std::vector<ListingLine> Equates;
  bool Present = false;
};

// Program words in address order, with an ORG line in the slot of the blank word before each
// run that follows a gap, and a label on every jump target.
CodeSection ListCode(const std::array<std::uint16_t, kListedCodeWords>& code) {
  CodeSection section;
  int lastCode = -1;
  for (int a = 0; a < kListedCodeWords; ++a) {
    if (code[a] != kBlankCodeWord) lastCode = a;
  }
  section.Present = lastCode >= 0;
  std::map<unsigned, std::string> labels;  // jump target -> label, numbered by first use
  Pic14Decoder decoder;
  bool gap = false;
  for (int a = 0; a <= lastCode; ++a) {
    if (code[a] == kBlankCodeWord) {
      gap = true;
      continue;
    }
    if (gap) {
      section.Lines[a - 1] = Directive(text::kAsmOrg, WordText(a));
      gap = false;
    }
    DecodedWord decoded = decoder.Decode(code[a]);
    if (decoded.Target) {
      auto [entry, added] = labels.try_emplace(*decoded.Target);
      if (added) entry->second = std::string(text::kAsmLabelPrefix) + Hex4(labels.size());
      decoded.Line.Operand = entry->second;
    }
    section.Lines[a] = std::move(decoded.Line);
  }

  // A label can sit in the label column only where an instruction is assembled; a target in
  // a gap, past the code or past program memory would otherwise take the address of whatever
  // line follows it, so it is defined by value instead.
  for (const auto& [target, label] : labels) {
    if (target < kListedCodeWords && code[target] != kBlankCodeWord) {
      section.Lines[target].Label = label;
    } else {
      section.Equates.push_back(Directive(text::kAsmEqu, WordText(target)));
      section.Equates.back().Label = label;
    }
  }
  return section;
}

// The lines after the code: ID locations, the configuration word (only with both code and
// IDs) and the data EEPROM bytes, separated by lines holding one space.
std::vector<ListingLine> ListSections(const DisasmImage& image, bool hasCode) {
  std::vector<ListingLine> lines;
  if (hasCode) lines.insert(lines.end(), 2, SpaceLine());

  const bool hasId = std::ranges::any_of(image.IdImage, [](auto b) { return !IsBlankByte(b); });
  if (hasId) {
    // After code the ORG takes the place of the second space line.
    if (hasCode) lines.pop_back();
    lines.push_back(Directive(text::kAsmOrg, WordText(kIdAddress)));
    for (std::uint8_t id : image.IdImage) lines.push_back(Directive(text::kAsmData, ByteText(id)));
    lines.insert(lines.end(), 2, SpaceLine());
  }
  if (hasCode && hasId) {
    lines.pop_back();
    lines.push_back(Directive(text::kAsmOrg, WordText(kConfigAddress)));
    lines.push_back(Directive(text::kAsmData, WordText(image.ConfigImage)));
    lines.push_back(SpaceLine());
  }

  int lastData = -1;
  for (int b = 0; b < kListedDataBytes; ++b) {
    if (!IsBlankByte(image.DataImage[b])) lastData = b;
  }
  if (lastData < 0) return lines;
  // One byte past the last used one is listed too unless it is erased, so a 0x7F there still
  // shows.
  int end = std::min(lastData + 1, kListedDataBytes - 1);
  if (image.DataImage[end] == kErasedByte) end = lastData;
  // One run from the first byte with the gaps written as erased bytes: gpasm places an ORG
  // inside the data EEPROM in bytes from its start rather than in words, so any run after a
  // gap would land at the wrong address.
  lines.push_back(Directive(text::kAsmOrg, WordText(kDataAddress)));
  for (int b = 0; b <= end; ++b) {
    lines.push_back(Directive(text::kAsmData, ByteText(image.DataImage[b])));
  }
  return lines;
}

}  // namespace

DisasmImage MakeDisasmImage(const DeviceDescriptor& device, const BufferSlot& slot) {
  DisasmImage image;
  for (int i = 0; i < kListedCodeWords; ++i) {
    image.CodeImage[i] = i < device.CodeSize ? slot.CodeBuffer[i] & kBlankCodeWord : kBlankCodeWord;
  }
  for (int i = 0; i < kListedIdBytes; ++i) image.IdImage[i] = slot.ConfigArea[i] & 0xFF;
  // The whole word is listed: its low five bits alone would assemble with the upper bits
  // cleared, which on the 16F84 turns code protection on. Bits the part does not implement
  // are listed erased.
  const std::uint16_t implemented = device.ConfigMask & kBlankCodeWord;
  image.ConfigImage = (slot.ConfigArea[kConfigElement] & implemented) |
                      (kBlankCodeWord & static_cast<std::uint16_t>(~implemented));
  for (int i = 0; i < kListedDataBytes; ++i) {
    image.DataImage[i] = i < device.DataSize ? slot.DataBuffer[i] & 0xFF : kErasedByte;
  }
  return image;
}

std::vector<std::string> Disassemble(const DisasmImage& image) {
  const CodeSection code = ListCode(image.CodeImage);
  const std::vector<ListingLine> sections = ListSections(image, code.Present);

  std::vector<std::string> lines;
  lines.push_back(std::string(text::kListingCommentPrefix) + std::string(text::kListingGenerator) +
                  std::string(text::kProgramTitle));
  lines.emplace_back();
  lines.push_back(Indented(text::kListingProcessor));
  lines.push_back(Indented(text::kListingInclude));
  lines.push_back(Indented(text::kListingOrigin));
  lines.emplace_back();
  if (!code.Equates.empty()) {
    for (const ListingLine& line : code.Equates) lines.push_back(FormatListingLine(line));
    lines.emplace_back();
  }
  for (const auto* part : {&code.Lines, &sections}) {
    for (const ListingLine& line : *part) {
      if (line.Printed()) lines.push_back(FormatListingLine(line));
    }
  }
  lines.emplace_back();
  lines.push_back(Indented(text::kListingEnd));
  return lines;
}

std::vector<std::string> Disassemble(const DeviceDescriptor& device, const BufferSlot& slot) {
  return Disassemble(MakeDisasmImage(device, slot));
}

std::string DisassemblyText(const DeviceDescriptor& device, const BufferSlot& slot) {
  std::string text;
  for (const std::string& line : Disassemble(device, slot)) {
    text += line;
    text += '\n';
  }
  return text;
}

}  // namespace kestrum
