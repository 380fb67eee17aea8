// Port names, derived addresses and the stored form of the hardware settings.
#include "hardware/hardware_settings.hpp"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(HardwareSettings, PortBaseFollowsFourCharacterNamesOnly) {
  struct Case {
    ProgrammerType type;
    const char* port;
    std::uint16_t base;
  };
  for (const Case& c : {Case{ProgrammerType::Jdm, "Com1", 0x3F8}, {ProgrammerType::Jdm, "Com2", 0x2F8},
                        {ProgrammerType::Jdm, "Com3", 0x3E8}, {ProgrammerType::Jdm, "Com4", 0x2E8},
                        {ProgrammerType::Conquest, "LPT1", 0x378},
                        {ProgrammerType::An589, "LPT2", 0x278},
                        {ProgrammerType::Tafe, "LPT3", 0x3BC},
                        {ProgrammerType::Stk200, "LPT4", 0x2BC}}) {
    HardwareSettings s;
    s.Programmer = c.type;
    s.Port = c.port;
    DerivePortBase(s);
    EXPECT_EQ(s.PortBase, c.base) << c.port;
    EXPECT_EQ(s.LcrPort, c.base + 3);
    EXPECT_EQ(s.McrPort, c.base + 4);
    EXPECT_EQ(s.LsrPort, c.base + 5);
    EXPECT_EQ(s.MsrPort, c.base + 6);
  }

  // The default "Com 2" has five characters: no base is derived; an earlier one stays.
  HardwareSettings s;
  DerivePortBase(s);
  EXPECT_EQ(s.PortBase, 0);
  s.Port = "Com3";
  DerivePortBase(s);
  for (const char* keep : {"", "Com 2", "Com5", "Com0"}) {
    s.Port = keep;
    DerivePortBase(s);
    EXPECT_EQ(s.PortBase, 0x3E8) << keep;
  }
}

TEST(HardwareSettings, UsablePortNamesNeedTheTypesPrefixAndADigit) {
  EXPECT_EQ(PortDigit(ProgrammerType::Jdm, "Com4"), 4);
  EXPECT_EQ(PortDigit(ProgrammerType::Jdm, "cOM1"), 1);
  EXPECT_EQ(PortDigit(ProgrammerType::Schaer, "lpt2"), 2);
  for (const char* bad : {"Com 2", "LPT1", "Com0", "Com5", "Com", "Com12", ""}) {
    EXPECT_FALSE(PortDigit(ProgrammerType::Jdm, bad)) << bad;
  }
  EXPECT_FALSE(PortDigit(ProgrammerType::ProPic2, "Com1"));

  HardwareSettings s;
  s.Programmer = ProgrammerType::TaitSerial;
  s.ParallelDevices[2] = "/dev/parport7";
  EXPECT_EQ(DeviceFileFor(s, "LPT3"), "/dev/parport7");
  EXPECT_EQ(DeviceFileFor(s, "LPT1"), "/dev/parport0");
  EXPECT_EQ(DeviceFileFor(s, "Com1"), "");
}

TEST(HardwareSettings, StoredFormRoundTripsAndSurvivesDamage) {
  MemorySettingsStore store;
  HardwareSettings defaults = LoadHardwareSettings(store);
  EXPECT_EQ(defaults.Programmer, ProgrammerType::Jdm);
  EXPECT_EQ(defaults.Port, "Com 2");
  EXPECT_EQ(defaults.IODelay, 10);
  EXPECT_EQ(defaults.PortBase, 0);
  EXPECT_EQ(defaults.Access, PortAccess::DeviceFile);

  HardwareSettings s;
  s.Programmer = ProgrammerType::FunCard;
  s.Port = "LPT2";
  s.Api = true;
  s.InvertDataIn = true;
  s.InvertMCLR = true;
  s.InvertVPP = true;
  s.IODelay = 3;
  SaveHardwareSettings(store, s);
  EXPECT_EQ(store.Values().at("Programmer"), "4");
  EXPECT_EQ(store.Values().at("Port"), "LPT2");
  EXPECT_EQ(store.Values().at("Api"), "1");
  EXPECT_EQ(store.Values().at("InvertSCK"), "0");
  EXPECT_EQ(store.Values().at("InvertVPP"), "1");
  EXPECT_EQ(store.Values().at("IODelay"), "3");
  EXPECT_FALSE(store.Values().count("PowerControl"));  // the options write that one

  store.SetRaw("PowerControl", "1");
  store.SetRaw("DeviceFileLPT2", "/dev/parport9");
  store.SetRaw("RawPortIo", "1");
  HardwareSettings loaded = LoadHardwareSettings(store);
  EXPECT_EQ(loaded.Programmer, ProgrammerType::FunCard);
  EXPECT_TRUE(loaded.Api && loaded.InvertDataIn && loaded.InvertMCLR && loaded.InvertVPP);
  EXPECT_FALSE(loaded.InvertDataOut || loaded.InvertSCK || loaded.InvertVCC);
  EXPECT_TRUE(loaded.PowerControl);
  EXPECT_EQ(loaded.PortBase, 0x278);
  EXPECT_EQ(loaded.ParallelDevices[1], "/dev/parport9");
  EXPECT_EQ(loaded.Access, PortAccess::RawIo);

  store.SetRaw("Programmer", "12");
  EXPECT_EQ(LoadHardwareSettings(store).Programmer, ProgrammerType::Jdm);
}

}  // namespace
}  // namespace kestrum
