// SPDX-License-Identifier: GPL-3.0-or-later
// Configuration word layouts. Each layout is the bit map of one PIC configuration word as the
// parts define it (oscillator select, watchdog, power-up timer, code protection replicated over
// several bit pairs, ...), plus the SPI EEPROM status register and the AVR lock bits.
#include "device/config_word.hpp"

#include <algorithm>

#include "core/text.hpp"
#include "device/texts.hpp"

namespace kestrum {
namespace {

// The fuse polarity: a box is ticked when its bit differs from its active-low flag.
bool BitOf(std::uint16_t word, int bit) {
  return ((word >> bit) & 1) != 0;
}

class FuseDecoder {
 public:
  FuseDecoder(const DeviceDescriptor& d, std::uint16_t w, ConfigControls& c)
      : device_(d), word_(w), controls_(c) {}
  void operator()(int box, int bit) const {
    controls_.Fuses[box - 1] = BitOf(word_, bit) != device_.FuseActiveLow[box - 1];
  }

 private:
  const DeviceDescriptor& device_;
  std::uint16_t word_;
  ConfigControls& controls_;
};

class WordBuilder {
 public:
  WordBuilder(const DeviceDescriptor& d, const ConfigControls& c) : device_(d), controls_(c) {}
  // The bit value box `box` asks for.
  bool FuseBit(int box) const { return controls_.Fuses[box - 1] != device_.FuseActiveLow[box - 1]; }
  void Put(int box, int bit) {
    if (FuseBit(box)) {
      word |= static_cast<std::uint16_t>(1u << bit);
    } else {
      word &= static_cast<std::uint16_t>(~(1u << bit));
    }
  }
  std::uint16_t word = 0x3FFF;

 private:
  const DeviceDescriptor& device_;
  const ConfigControls& controls_;
};

// Code protection replicated over bits 13:12, 11:10, 9:8 and 5:4 (mid-range EPROM parts).
void ApplyCodeProtect4(std::uint16_t& w, int cp) {
  switch (cp) {
    case 0:
      w &= 0xCF;
      break;
    case 1:
      w = static_cast<std::uint16_t>((w & 0xCF) | 0x1510);
      break;
    case 2:
      w = static_cast<std::uint16_t>((w & 0xCF) | 0x2A20);
      break;
    case 3:
      w |= 0x3F30;
      break;
    default:
      break;
  }
}

// The oscillator and code-protect lists take their names from the descriptor (at most eight);
// a further list has as many items as names.
int ListIndex(const ConfigField& f, std::uint16_t word) {
  const bool more = f.Target == ConfigTarget::MoreList;
  for (std::size_t i = 0; i < (more ? f.Items.size() : 8); ++i) {
    const bool named = more ? !f.Names[i].empty() : true;
    if (named && (word & f.Mask) == f.Items[i]) return static_cast<int>(i);
  }
  return -1;
}

void DecodeLayout(const DeviceDescriptor& d, std::span<const std::uint16_t> words,
                  ConfigControls& c) {
  const std::vector<const ConfigField*> more = MoreFields(d);
  c.More.resize(more.size(), 0);
  int k = 0;
  for (const ConfigField& f : d.Layout->Fields) {
    const std::uint16_t w = f.Word < static_cast<int>(words.size()) ? words[f.Word] : 0xFFFF;
    switch (f.Target) {
      case ConfigTarget::Oscillator:
        c.Oscillator = ListIndex(f, w);
        break;
      case ConfigTarget::CodeProtect:
        c.CodeProtect = ListIndex(f, w);
        break;
      case ConfigTarget::Fuse:
        c.Fuses[f.Box] = ((w & f.Mask) != 0) != d.FuseActiveLow[f.Box];
        break;
      case ConfigTarget::MoreList:
        c.More[k++] = ListIndex(f, w);
        break;
      case ConfigTarget::MoreBox:
        c.More[k++] = ((w & f.Mask) != 0) != f.ActiveLow ? 1 : 0;
        break;
    }
  }
}

// Every word starts as the part's default (the erased word, unless the part has factory values
// such as an AVR's fuses or an EEPROM's open status register); each control puts its bits in.
// A list with nothing selected leaves its bits as they started.
std::array<std::uint16_t, kMaxConfigWords> EncodeLayout(const DeviceDescriptor& d,
                                                        const ConfigControls& c) {
  std::array<std::uint16_t, kMaxConfigWords> words;
  words.fill(d.BlankValue);
  for (int k = 0; k < std::min(d.ConfigWords, kMaxConfigWords); ++k) {
    words[static_cast<std::size_t>(k)] = d.ConfigDefaults[static_cast<std::size_t>(k)];
  }
  int k = 0;
  for (const ConfigField& f : d.Layout->Fields) {
    std::uint16_t& w = words[static_cast<std::size_t>(f.Word)];
    auto put = [&](std::uint16_t bits) {
      w = static_cast<std::uint16_t>((w & ~f.Mask) | (bits & f.Mask));
    };
    auto item = [&](int index) {
      if (index >= 0 && index < static_cast<int>(f.Items.size())) put(f.Items[index]);
    };
    switch (f.Target) {
      case ConfigTarget::Oscillator:
        item(c.Oscillator);
        break;
      case ConfigTarget::CodeProtect:
        item(c.CodeProtect);
        break;
      case ConfigTarget::Fuse:
        put(c.Fuses[f.Box] != d.FuseActiveLow[f.Box] ? f.Mask : 0);
        break;
      case ConfigTarget::MoreList: {
        const int index = k < static_cast<int>(c.More.size()) ? c.More[k] : -1;
        ++k;
        item(index);
        break;
      }
      case ConfigTarget::MoreBox: {
        const bool ticked = k < static_cast<int>(c.More.size()) && c.More[k] != 0;
        ++k;
        put(ticked != f.ActiveLow ? f.Mask : 0);
        break;
      }
    }
  }
  return words;
}

}  // namespace

std::vector<std::string_view> ConfigRisks(const DeviceDescriptor& d,
                                          std::span<const std::uint16_t> words) {
  std::vector<std::string_view> risks;
  if (d.Layout == nullptr) return risks;
  for (const ConfigRisk& r : d.Layout->Risks) {
    if (r.Word < 0 || r.Word >= static_cast<int>(words.size())) continue;
    const std::uint16_t bits = words[static_cast<std::size_t>(r.Word)] & r.Mask;
    const auto values = std::span(r.Values).first(static_cast<std::size_t>(r.Count));
    if (std::ranges::find(values, bits) != values.end()) risks.push_back(r.Text);
  }
  return risks;
}

std::string ConfigRiskText(const std::vector<std::string_view>& risks) {
  std::string text;
  for (std::string_view risk : risks) {
    if (!text.empty()) text += "\n\n";
    text += risk;
  }
  return text;
}

std::vector<const ConfigField*> MoreFields(const DeviceDescriptor& d) {
  std::vector<const ConfigField*> fields;
  if (d.Layout == nullptr) return fields;
  for (const ConfigField& f : d.Layout->Fields) {
    if (f.Target == ConfigTarget::MoreList || f.Target == ConfigTarget::MoreBox) {
      fields.push_back(&f);
    }
  }
  return fields;
}

std::array<std::uint16_t, kMaxConfigWords> EncodeConfigWords(const DeviceDescriptor& d,
                                                             const ConfigControls& c) {
  if (d.Layout != nullptr) return EncodeLayout(d, c);
  std::array<std::uint16_t, kMaxConfigWords> words;
  words.fill(d.BlankValue);
  words[0] = EncodeConfigWord(d, c);
  return words;
}

void DecodeConfigWord(const DeviceDescriptor& d, std::uint16_t w, ConfigControls& c,
                      std::span<const std::uint16_t> more) {
  if (d.Layout != nullptr) {
    std::array<std::uint16_t, kMaxConfigWords> words;
    words.fill(d.BlankValue);
    words[0] = w;
    for (std::size_t i = 0; i < more.size() && i + 1 < words.size(); ++i) words[i + 1] = more[i];
    DecodeLayout(d, words, c);
    return;
  }
  const FuseDecoder fuse(d, w, c);
  if (FamilyOf(d) == DeviceFamily::AvrMicro) {
    fuse(1, 2);
    fuse(2, 3);
    return;
  }
  switch (d.Variant) {
    case 0:
      c.Oscillator = w & 3;
      fuse(1, 2), fuse(2, 3), fuse(3, 4);
      break;
    case 1: {
      const int osc = w & 7;
      c.Oscillator = osc >= 4 ? osc - 1 : osc;
      fuse(1, 3), fuse(2, 4), fuse(3, 7);
      c.CodeProtect = (w >> 8) & 3;
      break;
    }
    case 2:
      c.Oscillator = w & 3;
      fuse(1, 2), fuse(2, 3), fuse(3, 6);
      c.CodeProtect = (w >> 4) & 3;
      break;
    case 3:
      c.Oscillator = w & 3;
      fuse(1, 2), fuse(2, 3), fuse(3, 6), fuse(4, 7), fuse(5, 8), fuse(6, 9), fuse(7, 11);
      c.CodeProtect = (w >> 4) & 3;
      // The 2K parts protect all or nothing: their list has two items.
      if (d.CodeSize <= 2048) c.CodeProtect = std::min(c.CodeProtect, 1);
      break;
    case 4:
      c.Oscillator = w & 3;
      fuse(1, 2), fuse(2, 3);
      break;
    case 5:
      c.Oscillator = w & 3;
      fuse(1, 2), fuse(2, 3), fuse(3, 4);
      break;
    case 6:
      // Status register block-protect bits BP1:BP0. A word of all ones is no status register
      // (write in progress and write enabled at once): the slot's blank fill, after a device
      // selection or a file load, which carries none. It shows no protection.
      c.Oscillator = (w & 0xFF) == 0xFF ? 0 : (w >> 2) & 3;
      fuse(1, 1);
      break;
    case 7:
      c.Oscillator = (((w >> 4) & 1) << 2) | (w & 3);  // FOSC2 sits at bit 4
      fuse(1, 2), fuse(2, 3), fuse(3, 5), fuse(4, 6), fuse(5, 7), fuse(6, 8);
      c.CodeProtect = (w >> 10) & 3;
      break;
    case 8:
      c.Oscillator = w & 3;
      fuse(1, 2), fuse(2, 3), fuse(3, 6), fuse(4, 7);
      c.CodeProtect = (w >> 4) & 3;
      break;
    case 9: {
      const int osc = w & 7;
      c.Oscillator = osc >= 3 ? osc - 1 : osc;
      fuse(1, 3), fuse(2, 4), fuse(3, 5);
      break;
    }
    case 10: {
      const int cp = (w >> 4) & 3;
      c.Oscillator = w & 3;
      fuse(1, 2), fuse(2, 3), fuse(3, 6);
      c.CodeProtect = cp != 0 ? cp - 1 : cp;
      break;
    }
    default:
      break;
  }
}

std::uint16_t EncodeConfigWord(const DeviceDescriptor& d, const ConfigControls& c) {
  if (d.Layout != nullptr) return EncodeLayout(d, c)[0];
  WordBuilder b(d, c);
  std::uint16_t& w = b.word;
  // An empty list has nothing selected; it encodes as its first item.
  const int osc = std::max(c.Oscillator, 0);
  const int cp = std::max(c.CodeProtect, 0);
  switch (d.Variant) {
    case 0:
      w = static_cast<std::uint16_t>(0x3FE0 | osc);
      if (!d.HasOscCal) {
        // 14-bit: box 3 is CP, replicated over bits 13:4.
        b.Put(1, 2);
        if (b.FuseBit(3)) {
          w |= 0x3FF0;
        } else {
          w &= 0xF;
        }
        b.Put(2, 3);
      } else {
        // 12-bit: box 2 is CP at bit 3.
        b.Put(1, 2);
        b.Put(3, 4);
        if (b.FuseBit(2)) {
          w |= 0xFE8;
        } else {
          w &= 0x17;
        }
      }
      break;
    case 1:
      w = static_cast<std::uint16_t>(osc | 0x3FF8);
      if (osc >= 3) w = static_cast<std::uint16_t>(w + 1);  // code 3 is unused
      b.Put(1, 3), b.Put(2, 4), b.Put(3, 7);
      switch (cp) {
        case 0:
          w &= 0x9F;
          break;
        case 1:
          w = static_cast<std::uint16_t>((w & 0x9F) | 0x1520);
          break;
        case 2:
          w = static_cast<std::uint16_t>((w & 0x9F) | 0x2A40);
          break;
        case 3:
          w |= 0x3F60;
          break;
        default:
          break;
      }
      break;
    case 2:
      w = static_cast<std::uint16_t>(osc | 0x3FFC);
      b.Put(1, 2), b.Put(2, 3), b.Put(3, 6);
      ApplyCodeProtect4(w, cp);
      break;
    case 3:
      w = static_cast<std::uint16_t>(osc | 0x3FFC);
      b.Put(1, 2), b.Put(2, 3), b.Put(3, 6), b.Put(4, 7), b.Put(5, 8), b.Put(6, 9), b.Put(7, 11);
      if (d.CodeSize < 2049) {
        if (cp == 0) w &= 0xFCF;
        if (cp == 1) w |= 0x3030;
      } else {
        switch (cp) {
          case 0:
            w &= 0xFCF;
            break;
          case 1:
            w = static_cast<std::uint16_t>((w & 0xFCF) | 0x1010);
            break;
          case 2:
            w = static_cast<std::uint16_t>((w & 0xFCF) | 0x2020);
            break;
          case 3:
            w |= 0x3030;
            break;
          default:
            break;
        }
      }
      break;
    case 4:
      w = static_cast<std::uint16_t>(osc | 0x3FFC);
      b.Put(1, 2);
      if (b.FuseBit(2)) {
        w |= 0xFF8;
      } else {
        w &= 0x7;
      }
      break;
    case 5:
      w = static_cast<std::uint16_t>(osc | 0x3FFC);
      b.Put(1, 2), b.Put(2, 3), b.Put(3, 4);
      break;
    case 6:
      w = static_cast<std::uint16_t>(osc * 4);
      break;
    case 7:
      w = static_cast<std::uint16_t>((osc & 3) | 0x3FFC);
      if ((osc & 4) != 0) {
        w |= 0x10;
      } else {
        w &= static_cast<std::uint16_t>(~0x10);
      }
      b.Put(1, 2), b.Put(2, 3), b.Put(3, 5), b.Put(4, 6), b.Put(5, 7), b.Put(6, 8);
      w &= 0x3FF;
      w = static_cast<std::uint16_t>(w | ((cp & 3) << 10) | ((cp & 3) << 12));
      break;
    case 8:
      w = static_cast<std::uint16_t>((osc & 3) | 0x3FFC);
      b.Put(1, 2), b.Put(2, 3), b.Put(3, 6), b.Put(4, 7);
      ApplyCodeProtect4(w, cp);
      break;
    case 9:
      w = static_cast<std::uint16_t>(0x3FF8 | (osc < 3 ? osc : osc + 1));
      b.Put(1, 3);
      if (b.FuseBit(2)) {
        w |= 0xFD0;
      } else {
        w &= 0x2F;
      }
      b.Put(3, 5);
      break;
    case 10:
      w = static_cast<std::uint16_t>(osc | 0x3FFC);
      b.Put(1, 2), b.Put(2, 3), b.Put(3, 6);
      switch (cp) {
        case 0:
          w &= 0xCF;
          break;
        case 1:
          w = static_cast<std::uint16_t>((w & 0xCF) | 0x2A20);
          break;
        case 2:
          w |= 0x3F30;
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
  if (FamilyOf(d) == DeviceFamily::AvrMicro) {
    // AVR lock bits LB1 and LB2.
    w = 0;
    b.Put(1, 2);
    b.Put(2, 3);
  }
  return w;
}

std::optional<char> FilterIdKey(char key) {
  auto code = static_cast<unsigned char>(key);
  if (code >= 'a' && code <= 'j') code = static_cast<unsigned char>(code - 'a' + 'A');
  if ((code >= 16 && code <= 47) || (code >= 58 && code <= 64) || code > 70) return std::nullopt;
  return static_cast<char>(code);
}

std::array<std::uint16_t, 4> IdWordsFromText(std::string_view text) {
  if (text.empty()) text = "0000";
  std::array<std::uint16_t, 4> words{};
  for (std::size_t i = 0; i < words.size() && i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') words[i] = static_cast<std::uint16_t>(c - '0');
    if (c >= 'A' && c <= 'F') words[i] = static_cast<std::uint16_t>(c - 'A' + 10);
  }
  return words;
}

std::string IdTextFromWords(const std::array<std::uint16_t, 4>& words) {
  std::string text;
  for (std::uint16_t w : words) text += Hex4(w).back();
  return text;
}

std::string ConfigWordLabel(std::uint16_t storedWord, std::uint16_t blankValue) {
  return std::string(text::kConfigWordPrefix) + Hex4(storedWord & blankValue) +
         std::string(text::kConfigWordSuffix);
}

std::string MoreConfigWordLabel(int k, std::uint16_t storedWord, std::uint16_t blankValue) {
  return std::string(text::kConfigWordNumberPrefix) + std::to_string(k + 1) +
         std::string(text::kConfigWordNumberColon) + Hex4(storedWord & blankValue) +
         std::string(text::kConfigWordSuffix);
}

std::string_view GetToolTip(std::string_view name) {
  struct Tip {
    std::string_view Name;
    std::string_view Text;
  };
  static constexpr Tip kTips[] = {
      {"WDT", text::kTipWdt},       {"CP", text::kTipCp},
      {"MCLR", text::kTipMclr},     {"PWRT", text::kTipPwrt},
      {"BODEN", text::kTipBoden},   {"LVP", text::kTipLvp},
      {"CPD", text::kTipCpd},       {"DEBUGGER", text::kTipDebugger},
      {"WRT", text::kTipWrt},       {"Lock Bit 1", "Lock Bit 1"},
      {"Lock Bit 2", "Lock Bit 2"}, {"Lock Bit 3", "Lock Bit 3"},
      {"WEN", text::kTipWen},       {"MPEEN", text::kTipMpeen},
  };
  for (const Tip& tip : kTips) {
    if (tip.Name == name) return tip.Text;
  }
  return {};
}

}  // namespace kestrum
