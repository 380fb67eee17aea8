// SPDX-License-Identifier: GPL-3.0-or-later
// Port names, derived addresses and the stored form of the hardware settings.
#include "hardware/hardware_settings.hpp"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(HardwareSettings, PortBaseFollowsFourCharacterNamesOnly) {
  HardwareSettings s;
  DerivePortBase(s);  // "Com 2" has five characters
  EXPECT_EQ(s.PortBase, 0);
  s.Programmer = ProgrammerType::Stk200;
  s.Port = "LPT3";
  DerivePortBase(s);
  EXPECT_EQ(s.PortBase, 0x3BC);
  EXPECT_EQ(s.MsrPort, 0x3BC + 6);
  s.Port = "";  // no port available when the dialog was confirmed: the base stays
  DerivePortBase(s);
  EXPECT_EQ(s.PortBase, 0x3BC);
}

TEST(HardwareSettings, StoredFormRoundTripsAndSurvivesDamage) {
  MemorySettingsStore store;
  HardwareSettings s;
  s.Programmer = ProgrammerType::FunCard;
  s.Port = "LPT2";
  s.Api = true;
  s.InvertMCLR = true;
  s.IODelay = 3;
  SaveHardwareSettings(store, s);
  EXPECT_EQ(store.Values().at("Programmer"), "4");
  EXPECT_FALSE(store.Values().count("PowerControl"));  // the options write that one
  store.SetRaw("DeviceFileLPT2", "/dev/parport9");
  store.SetRaw("RawPortIo", "1");
  HardwareSettings loaded = LoadHardwareSettings(store);
  EXPECT_EQ(loaded.Programmer, ProgrammerType::FunCard);
  EXPECT_TRUE(loaded.Api && loaded.InvertMCLR && !loaded.InvertDataOut);
  EXPECT_EQ(loaded.IODelay, 3);
  EXPECT_EQ(loaded.PortBase, 0x278);
  EXPECT_EQ(DeviceFileFor(loaded, "LPT2"), "/dev/parport9");
  EXPECT_EQ(loaded.Access, PortAccess::RawIo);
  store.SetRaw("Programmer", "13");
  EXPECT_EQ(LoadHardwareSettings(store).Programmer, ProgrammerType::Jdm);
  EXPECT_EQ(LoadHardwareSettings(MemorySettingsStore{}).Port, "Com 2");
}

}  // namespace
}  // namespace kestrum

namespace kestrum {
namespace {

// The pin map's text form: what the settings keep and the dialog shows.
TEST(PinMapText, ParsesWhatItFormatsAndRefusesWhatNoBoardCanBe) {
  EXPECT_EQ(FormatPinMap(kBitBangDefaultPins), "DataOut=0 Clock=2 MCLR=4 VCC=!3 DataIn=1");
  EXPECT_EQ(ParsePinMap(FormatPinMap(kBitBangDefaultPins)), kBitBangDefaultPins);
  const PinMap noSupply{.dataOut = {7, true}, .clock = {6, false}, .dataIn = {5, false}};
  EXPECT_EQ(ParsePinMap("dataout=!7,clock=6, DataIn=5"), noSupply);
  for (const char* broken :
       {"DataOut=0 Clock=0 DataIn=1", "DataOut=0 Clock=2 DataIn=8", "DataOut=0 Clock=2",
        "DataOut=0 Clock=2 DataIn=1 Reset=3", "DataOut=0 DataOut=3 Clock=2 DataIn=1",
        "DataOut=x Clock=2 DataIn=1", "DataOut Clock=2 DataIn=1"}) {
    EXPECT_FALSE(ParsePinMap(broken)) << broken;
  }
}

TEST(FtdiDeviceSetting, NamesVendorProductAndSerial) {
  EXPECT_EQ(ParseFtdiDevice("")->product, 0);
  const std::optional<FtdiDeviceId> id = ParseFtdiDevice("0403:6014:FT1X2Y");
  ASSERT_TRUE(id);
  EXPECT_EQ(id->vendor, 0x0403);
  EXPECT_EQ(id->product, 0x6014);
  EXPECT_EQ(id->serial, "FT1X2Y");
  for (const char* broken : {"0403", "403:6001", "0403:60g1", "0403-6001"}) {
    EXPECT_FALSE(ParseFtdiDevice(broken)) << broken;
  }
}

}  // namespace
}  // namespace kestrum

namespace kestrum {
namespace {

// A user's programmer is found by its name; while programmers.toml lacks it, the first type
// runs and the name and its port stay stored, so a mended file brings it back.
TEST(HardwareSettings, AUsersProgrammerMissingFromTheFileStaysStored) {
  const auto bench =
      DefineProgrammer("Bench board", PortKind::Parallel, kBitBangDefaultPins, 10, 10);
  MemorySettingsStore store;
  store.SetRaw("Programmer", "Bench board");
  store.SetRaw("Port", "LPT2");
  std::vector<ReplacedSetting> replaced;
  const HardwareSettings missing = LoadHardwareSettings(store, {}, &replaced);
  EXPECT_TRUE(missing.Programmer == ProgrammerType::Jdm && replaced.empty());
  EXPECT_EQ(missing.Port, "Com 2");  // LPT2 is no port of the JDM's: it runs on the default
  const HardwareSettings found = LoadHardwareSettings(store, {bench}, &replaced);
  EXPECT_TRUE(found.Programmer == ProgrammerType::User && found.User == bench);
  EXPECT_EQ(found.Port, "LPT2");
  EXPECT_EQ(found.PortBase, 0x278);
  EXPECT_TRUE(replaced.empty());
}

}  // namespace
}  // namespace kestrum
