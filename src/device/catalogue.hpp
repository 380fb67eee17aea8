// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed list of devices the program can select, the device menu they sit in, and the
// lookups by name and by device number (the menu command number that the settings and the
// command line store).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "device/config_word.hpp"
#include "device/device_descriptor.hpp"

namespace kestrum {

template <std::size_t N>
using NameList = std::array<std::string_view, N>;

// Values shared by every device of one kind (a "profile"); device rows refer to these.
struct DeviceProfile {
  DeviceFamily Family = DeviceFamily::Pic;
  int Variant = 0;
  std::uint16_t BlankValue = 0;
  std::uint16_t ConfigMask = 0;
  NameList<8> Oscillator{};
  NameList<4> CodeProtect{};
  NameList<7> Fuses{};
  std::array<bool, 7> FuseActiveLow{};
  int ConfigAreaWords = 0;
  int ConfigWordIndex = 0;
  int ConfigAddress = 0;
  std::uint16_t CodeEntryCommand = 0;
  std::uint16_t ConfigEntryCommand = 0;
  bool Is12Bit = false;
  bool IsEprom = false;
  bool Erasable = false;
  bool HasOscCal = false;
  bool ParallelOnly = false;
  bool HasParity = false;
  std::uint16_t ConfigFillBits = 0;
  int OverProgramFactor = 0;
  int MaxProgramPulses = 0;
  // The parts added after the first catalogue.
  int ConfigWords = 0;  // 0: one where the part has a configuration area
  std::array<std::uint16_t, kMaxConfigWords - 1> MoreConfigMasks{};
  const ConfigLayout* Layout = nullptr;
  PicAlgorithm Algorithm = PicAlgorithm::Classic;
  std::uint32_t DeviceIdMask = 0;
  DeviceWaits Waits{};
  // The configuration words a selection stores when set (a user part's), else erased ones.
  bool HasConfigDefaults = false;
  std::array<std::uint16_t, kMaxConfigWords> ConfigDefaults{};
  // AVRs programmed by pages, serial EEPROMs with 16-bit addresses (see the descriptor).
  int DataPageSize = 0;
  bool ReadyPoll = false;
  int AddressBytes = 0;
  bool HasEraseInstructions = false;
};

// One selectable device, in device-menu order.
struct CatalogueEntry {
  std::string_view Name;
  std::uint16_t MenuCommand = 0;
  int Group = 0;        // index into MenuGroups()
  bool InMore = false;  // sits in the "More" sub-menu of its group
  const DeviceProfile* Profile = nullptr;
  int CodeSize = 0;
  int DataSize = 0;
  int PinCount = 0;
  int PageSize = 0;
  const NameList<8>* Oscillator = nullptr;   // replaces the profile's list when set
  const NameList<4>* CodeProtect = nullptr;  // replaces the profile's list when set
  std::uint16_t BeginProgramCommand = kBeginProgramCommand;
  std::string_view MenuCaption{};  // empty: the caption is the name
  std::uint32_t DeviceId = 0;      // under the profile's DeviceIdMask
  bool UserDefined = false;        // from the user's devices file

  constexpr std::string_view Caption() const { return MenuCaption.empty() ? Name : MenuCaption; }
};

struct MenuGroup {
  std::string_view Caption;
  std::uint16_t MenuCommand;
};

enum class MenuItemKind { Group, SubMenu, Device, DisabledDevice };

// One entry of the "&Device" menu, flattened depth first.
struct DeviceMenuItem {
  MenuItemKind Kind;
  std::string_view Caption;
  std::uint16_t MenuCommand;
  int Group;  // index into MenuGroups()
  bool InMore;
  const CatalogueEntry* Entry;  // set for Kind == Device
};

// Device numbers of parts added after the first catalogue start here; each takes the next
// free number, whatever its group.
inline constexpr std::uint16_t kFirstAddedDeviceNumber = 127;

std::span<const CatalogueEntry> Catalogue();
std::span<const MenuGroup> MenuGroups();
// The device menu in menu order: each group caption, then (for the PIC group) the "More"
// sub-menu and its entries, then the group's own entries; disabled entries included.
std::vector<DeviceMenuItem> DeviceMenu();

const CatalogueEntry* FindDeviceByName(std::string_view name);
const CatalogueEntry* FindDeviceByNumber(int menuCommand);
// The caption of the menu entry with this number that has no device behind it ("SDA2526",
// "MDA 2062": parts this version has no protocol for); empty for any other number.
std::string_view DisabledEntryCaption(int menuCommand);

// The device of `family` whose identity `id` is (its bits under the device's ID mask), or
// nullptr. The bits below the mask's lowest bit are the part's revision.
const CatalogueEntry* FindDeviceById(DeviceFamily family, std::uint32_t id);
// The revision bits of `id` for the entry's ID mask; nullopt when the mask leaves none.
std::optional<std::uint32_t> IdRevision(const CatalogueEntry& entry, std::uint32_t id);

// The descriptor values the entry defines; every other field keeps its reset value.
DeviceDescriptor DescriptorFor(const CatalogueEntry& entry);

// Device number of the first device of the first group: the fallback device.
std::uint16_t FirstDeviceNumber();

}  // namespace kestrum
