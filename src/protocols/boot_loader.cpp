// SPDX-License-Identifier: GPL-3.0-or-later
// The boot loader's program words, read from the embedded HEX file with the program's own
// reader, in the PIC 16F84's layout.
#include "protocols/boot_loader.hpp"

#include "buffers/device_image.hpp"
#include "device/catalogue.hpp"

namespace kestrum {

extern const std::string_view kBootLoaderHexText;

namespace {

// The embedded file is checked by the tests; nothing is reported while it is read.
class SilentUi final : public Ui {
 public:
  void Message(MessageKind, std::string_view, MessageButton) override {}
  bool Question(std::string_view) override { return false; }
};

std::vector<std::uint16_t> ReadImage() {
  BufferSlot slot;
  slot.Fill(0x3FFF);
  ByteStream in(kBootLoaderHexText);
  SilentUi ui;
  LoadProgramFile(DescriptorFor(*FindDeviceByName("PIC 16F84")), slot, FileType::Ihx8, in, ui);
  std::vector<std::uint16_t> words(slot.CodeBuffer.begin(),
                                   slot.CodeBuffer.begin() + kBootLoaderWords);
  for (std::uint16_t& word : words) word &= 0x3FFF;
  return words;
}

}  // namespace

std::string_view BootLoaderHex() {
  return kBootLoaderHexText;
}

const std::vector<std::uint16_t>& BootLoaderImage() {
  static const std::vector<std::uint16_t> image = ReadImage();
  return image;
}

std::array<std::uint16_t, 8> BootLoaderConfig(bool pic16C84) {
  return {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
          0,      0,      0,      pic16C84 ? kBootLoaderConfig16C84 : kBootLoaderConfig16F84};
}

}  // namespace kestrum
