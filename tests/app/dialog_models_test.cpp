// SPDX-License-Identifier: GPL-3.0-or-later
// The window's dialogs without widgets: the printed listing and its pages, the chip placement
// of the Device Position window, the hardware settings form, the options form, and the
// programmer a run drives.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/application.hpp"
#include "app/device_position.hpp"
#include "app/hardware_form.hpp"
#include "app/options_form.hpp"
#include "app/print_listing.hpp"
#include "app/run_environment.hpp"
#include "core/recording_ui.hpp"

namespace kestrum {
namespace {

DeviceDescriptor Device(std::string_view name) {
  return DescriptorFor(*FindDeviceByName(name));
}

struct Listing {
  MemorySettingsStore store;
  Workspace work{store};
  explicit Listing(std::string_view device) {
    work.SelectDevice(*FindDeviceByName(device));
    work.ShowStoredConfigWord();
  }
};

TEST(PrintListing, HeaderAndSectionsFollowTheDevice) {
  Listing pic("PIC 16F84");
  PrintJob job = MakePrintJob(pic.work);
  EXPECT_EQ(job.Title, "Kestrum - Prototype Programmer");
  const std::vector<PrintLine> header = {
      {"$title$", PrintAlign::Centre},
      {"", PrintAlign::Left},
      {"File     : <none>", PrintAlign::Left},
      {"Device   : PIC 16F84", PrintAlign::Left},
      {"Checksum : " + pic.work.Config.ChecksumText + "h", PrintAlign::Left},
      {"", PrintAlign::Left}};
  EXPECT_EQ(job.Header, header);
  EXPECT_EQ(job.Footer, (std::vector<PrintLine>{{"", PrintAlign::Left},
                                                {"Page $pagenum$", PrintAlign::Right}}));
  // 128 code lines, 8 data lines, then the visible configuration controls.
  const std::vector<std::string>& body = job.Body;
  ASSERT_EQ(body.size(), 1 + 128 + 3 + 8 + 3 + 5u);
  EXPECT_EQ(body[0], "Code Memory:");
  EXPECT_EQ(body[1].substr(0, 10), "0000: 3FFF");
  EXPECT_EQ(body[129], "");
  EXPECT_EQ(body[131], "Data Memory:");
  EXPECT_EQ(body[142], "Configuration:");
  EXPECT_EQ(body[143], "Oscillator = RC");
  EXPECT_EQ(std::vector<std::string>(body.end() - 4, body.end()),
            (std::vector<std::string>{"WDT = Enabled", "PWRT = Disabled", "CP = Disabled",
                                      "ID Value = " + pic.work.Config.IdText + "h"}));
  // Bytes without a glyph show as the view shows them.
  EXPECT_EQ(body[1].substr(body[1].size() - 2), "ÿ");

  // An I2C EEPROM: the code section alone.
  Listing eeprom("24C16");
  job = MakePrintJob(eeprom.work);
  EXPECT_EQ(job.Body.size(), 1 + 2048 / 8u);

  // An AVR: a configuration section although it has no configuration words, and no ID line.
  Listing avr("90S8515");
  job = MakePrintJob(avr.work);
  const auto config = std::find(job.Body.begin(), job.Body.end(), "Configuration:");
  ASSERT_NE(config, job.Body.end());
  for (auto line = config + 1; line != job.Body.end(); ++line) {
    EXPECT_EQ(line->find("ID Value"), std::string::npos);
  }

  // A selection prints those code lines only.
  const PrintSelection selection{2, 3};
  job = MakePrintJob(pic.work, &selection);
  EXPECT_TRUE(job.SelectedOnly);
  ASSERT_EQ(job.Body.size(), 2u);
  EXPECT_EQ(job.Body[0].substr(0, 5), "0010:");
}

TEST(PrintListing, Macros) {
  PrintJob job;
  job.Title = "Kestrum - Prototype Programmer";
  const PrintMoment moment{"24.12.24", "10:30"};
  const std::pair<std::string, std::string> cases[] = {
      {"$title$", "Kestrum - Prototype Programmer"},
      {"Page $pagenum$", "Page 3"},
      {"$ PageNum $/$date$", "3/24.12.24"},
      {"$time$ $datetime$ $timedate$", "10:30 24.12.24 10:30 10:30 24.12.24"},
      {"100$$", "100$"},
      {"$unknown$ x", "UNKNOWN x"},
      {"open $title", "open Kestrum - Prototype Programmer"},
  };
  for (const auto& [line, expected] : cases)
    EXPECT_EQ(ExpandMacros(line, job, 3, moment), expected);
}

TEST(PrintListing, PagesBreakInsideTheCodeSection) {
  Listing pic("PIC 16F84");
  const PrintJob job = MakePrintJob(pic.work);
  // 60 lines a page: 6 header and 2 footer lines leave 52 for the body.
  const std::vector<PrintedPage> pages = Paginate(job, 60, {});
  ASSERT_EQ(pages.size(), (job.Body.size() + 51) / 52);
  EXPECT_EQ(pages[0].Body.size(), 52u);
  EXPECT_EQ(pages[0].Body.back().substr(0, 5), "0190:");
  EXPECT_EQ(pages[1].Body.front().substr(0, 5), "0198:");  // the code goes on
  EXPECT_EQ(pages[2].Footer[1].Text, "Page 3");
  EXPECT_EQ(pages[1].Header[0].Text, "Kestrum - Prototype Programmer");
  std::size_t lines = 0;
  for (const PrintedPage& page : pages) lines += page.Body.size();
  EXPECT_EQ(lines, job.Body.size());
  // A page too small for its header still carries one body line; an empty body one page.
  EXPECT_EQ(Paginate(job, 3, {}).size(), job.Body.size());
  EXPECT_EQ(Paginate(PrintJob{}, 60, {}).size(), 1u);
}

TEST(DevicePosition, ChipPlacementTable) {
  struct Case {
    ProgrammerType programmer;
    std::string_view device;
    ChipPicture picture;
    int offset;
  };
  using enum ProgrammerType;
  const Case cases[] = {
      {Jdm, "24C16", ChipPicture::Dip8, 28},
      {Jdm, "PIC 12C508", ChipPicture::Dip8, 0},
      {Jdm, "PIC 16F84", ChipPicture::Dip18, 0},
      {Jdm, "PIC 16C54", ChipPicture::Parallel, 0},
      {Jdm, "PIC 16F877", ChipPicture::Generic, 0},
      {Jdm, "89C2051", ChipPicture::Parallel, 0},
      {Jdm, "90S8515", ChipPicture::Generic, 0},
      {Conquest, "PIC 16F84", ChipPicture::Dip18, 0},
      {Conquest, "24C16", ChipPicture::Dip8, 0},
      {ProPic2, "PIC 16F877", ChipPicture::Dip40, 0},
      {ProPic2, "PIC 16F876", ChipPicture::Dip28, 0},
      {ProPic2, "PIC 12C508", ChipPicture::Dip8, 91},
      {ProPic2, "24C16", ChipPicture::Dip8, 56},
      {ProPic2, "93C46", ChipPicture::Generic, 0},
  };
  for (const Case& c : cases) {
    const ChipPlacement placement = PlaceChip(c.programmer, Device(c.device));
    EXPECT_EQ(placement.Picture, c.picture) << c.device;
    EXPECT_EQ(placement.Offset, c.offset) << c.device;
  }
  for (ProgrammerType type : {Tafe, TaitSerial, FunCard, TaitParallel, Schaer, Stk200, An589}) {
    for (std::string_view device : {"PIC 16F877", "24C16", "PIC 16C54"}) {
      const ChipPlacement placement = PlaceChip(type, Device(device));
      EXPECT_EQ(placement.Picture, ChipPicture::Dip8);
      EXPECT_EQ(placement.Offset, 0);
    }
  }
  HardwareSettings settings;
  settings.Port = "Com1";
  EXPECT_EQ(DevicePositionCaption(settings), " Com1 on JDM Programmer ");
  EXPECT_EQ(DevicePositionDeviceText(Device("24C16")), "Device: 24C16");
}

// Ports 1..4 answer as listed.
class ListedPorts final : public PortOpener {
 public:
  std::set<std::string> available;
  std::unique_ptr<Port> Open(const HardwareSettings&, Ui&, bool) override { return nullptr; }
  bool Available(const HardwareSettings&, std::string_view name) override {
    return available.count(std::string(name)) != 0;
  }
  std::vector<FoundPort> found;
  std::vector<FoundPort> ListPorts(const HardwareSettings& settings) override {
    std::vector<FoundPort> ofKind;
    for (const FoundPort& p : found) {
      if (p.kind == PortKindOf(settings)) ofKind.push_back(p);
    }
    return ofKind;
  }
};

TEST(HardwareForm, PortButtonsFollowTheStoredNameTheTypeAndThePorts) {
  ListedPorts ports;
  ports.available = {"Com1", "Com3", "LPT2"};
  HardwareSettings settings;  // "Com 2", the default: no button by its digit
  HardwareForm form = FillHardwareForm(settings, ports);
  EXPECT_EQ(form.SelectedPort, 2);  // the highest port there
  EXPECT_EQ(form.PortEnabled, (std::array<bool, 4>{true, false, true, false}));
  EXPECT_EQ(form.PortCaption(0), "Com 1");
  EXPECT_EQ(form.IODelayCaption(), "I/O Delay (10)");
  settings.Port = "Com1";
  EXPECT_EQ(FillHardwareForm(settings, ports).SelectedPort, 0);
  settings.Port = "Com2";  // its port is missing
  EXPECT_EQ(FillHardwareForm(settings, ports).SelectedPort, 2);

  // To a parallel programmer: relabelled, retested, the lowest port that is there.
  ProgrammerChanged(form, static_cast<int>(ProgrammerType::ProPic2), ports);
  EXPECT_EQ(form.PortCaption(3), "LPT 4");
  EXPECT_EQ(form.PortEnabled, (std::array<bool, 4>{false, true, false, false}));
  EXPECT_EQ(form.SelectedPort, 1);
  EXPECT_EQ(form.ShownFiles()[1], "/dev/parport1");
  // The virtual programmer has every port.
  form.Virtual = true;
  RetestPorts(form, ports);
  EXPECT_EQ(form.PortEnabled, (std::array<bool, 4>{true, true, true, true}));

  // No port at all: OK leaves the port empty and the base address as it was.
  ports.available.clear();
  settings.Port = "Com1";
  DerivePortBase(settings);
  form = FillHardwareForm(settings, ports);
  EXPECT_EQ(form.SelectedPort, -1);
  ApplyHardwareForm(form, settings);
  EXPECT_EQ(settings.Port, "");
  EXPECT_EQ(settings.PortBase, 0x3F8);
}

TEST(HardwareForm, OkWritesTheDialogsKeysAndTheChangedDeviceFiles) {
  MemorySettingsStore store;
  RecordingUi ui;
  VirtualClock clock;
  ListedPorts ports;
  ports.available = {"LPT1", "LPT2"};
  Application app(store, ui, clock, ports);
  app.WindowVisible = true;
  HardwareForm form = FillHardwareForm(app.Lines.Settings(), ports);
  ProgrammerChanged(form, static_cast<int>(ProgrammerType::Stk200), ports);
  form.SelectedPort = 1;
  form.Api = true;
  form.Invert = {true, false, true, false, false, false};
  form.IODelay = 7;
  form.Virtual = true;
  form.ParallelFiles[1] = "/dev/parport7";
  app.ApplyHardware(form);
  const std::map<std::string, std::string, std::less<>> expected = {
      {"Programmer", "8"},   {"Api", "1"},       {"InvertDataOut", "1"},
      {"InvertDataIn", "0"}, {"InvertSCK", "1"}, {"InvertMCLR", "0"},
      {"InvertVCC", "0"},    {"InvertVPP", "0"}, {"IODelay", "7"},
      {"Port", "LPT2"},      {"Virtual", "1"},   {"DeviceFileLPT2", "/dev/parport7"}};
  EXPECT_EQ(store.Values(), expected);
  EXPECT_EQ(app.Lines.Settings().PortBase, 0x278);
  EXPECT_EQ(app.PortStatusText(), "LPT2 on STK200 Programmer");
  EXPECT_EQ(LoadHardwareSettings(store).ParallelDevices[1], "/dev/parport7");
}

// The FTDI device and the pin map: each checked when the chosen type uses it, and written
// when it changed.
TEST(HardwareForm, FtdiFieldsAreCheckedForTheirTypeAndWrittenWhenChanged) {
  using enum ProgrammerType;
  const std::string good = "DataOut=1 Clock=0 MCLR=!5 DataIn=2";
  const std::string pinsBefore = "The pin map \"";
  const std::string pinsAfter =
      "\" cannot be used: Data Out, Clock and Data In need a pin each, MCLR and VCC may have one, "
      "every line on a pin of its own from 0 to 7, as in DataOut=0 Clock=2 MCLR=4 VCC=!3 "
      "DataIn=1 (! for an active-low line).";
  const std::string deviceAfter =
      "\" cannot be used: give vendor:product in hex, optionally :serial (0403:6001:A12BC3DE), "
      "or leave it empty for any FTDI chip.";
  struct Case {
    ProgrammerType type;
    std::string pins;
    std::string device;
    std::string problem;
  };
  for (const Case& c : {
           Case{FtdiBitBang, good, "", ""},
           Case{FtdiBitBang, "DataOut=0 Clock=0 DataIn=1", "",
                pinsBefore + "DataOut=0 Clock=0 DataIn=1" + pinsAfter},
           Case{FtdiBitBang, "DataOut=0 Clock=2 DataIn=8", "",
                pinsBefore + "DataOut=0 Clock=2 DataIn=8" + pinsAfter},
           Case{FtdiBitBang, "DataOut=0 Clock=2", "", pinsBefore + "DataOut=0 Clock=2" + pinsAfter},
           Case{FtdiBitBang, good, "0403", "The FTDI device \"0403" + deviceAfter},
           Case{JdmFtdi, "rubbish", "0403:6015:FT9", ""},
           Case{JdmFtdi, good, "403:6001", "The FTDI device \"403:6001" + deviceAfter},
           Case{Jdm, "rubbish", "rubbish", ""},
       }) {
    HardwareForm form;
    form.Programmer = static_cast<int>(c.type);
    form.BitBangPins = c.pins;
    form.FtdiDevice = c.device;
    EXPECT_EQ(HardwareFormProblem(form), c.problem) << c.pins << " / " << c.device;
  }

  MemorySettingsStore store;
  RecordingUi ui;
  VirtualClock clock;
  ListedPorts ports;
  ports.available = {"USB1"};
  Application app(store, ui, clock, ports);
  HardwareForm form = FillHardwareForm(app.Lines.Settings(), ports);
  EXPECT_EQ(form.BitBangPins, "DataOut=0 Clock=2 MCLR=4 VCC=!3 DataIn=1");
  EXPECT_EQ(form.FtdiDevice, "");
  ProgrammerChanged(form, static_cast<int>(FtdiBitBang), ports);
  app.ApplyHardware(form);  // neither changed: neither written
  EXPECT_FALSE(store.Raw(kBitBangPinsKey) || store.Raw(kFtdiDeviceKey));
  form.BitBangPins = good;
  form.FtdiDevice = "0403:6014:FT1";
  app.ApplyHardware(form);
  EXPECT_EQ(store.Raw("Programmer"), "11");
  EXPECT_EQ(store.Raw("Port"), "USB1");
  EXPECT_EQ(store.Raw(kBitBangPinsKey), good);
  EXPECT_EQ(store.Raw(kFtdiDeviceKey), "0403:6014:FT1");
  EXPECT_EQ(LoadHardwareSettings(store).BitBangPins, *ParsePinMap(good));
}

// The GPIO header and a user's programmer in the list; the ports found of the chosen kind; a
// port none of the buttons names kept, chosen and written; the GPIO lines checked as offsets.
TEST(HardwareForm, GpioHeaderUserProgrammersAndThePortsFound) {
  MemorySettingsStore store;
  RecordingUi ui;
  VirtualClock clock;
  ListedPorts ports;
  ports.available = {"LPT1"};
  ports.found = {{PortKind::Parallel, "/dev/parport0", "LPT1", "parallel port at 0x378"},
                 {PortKind::Gpio, "gpiochip0", "", "GPIO chip pinctrl-bcm2835, 54 lines"},
                 {PortKind::Gpio, "gpiochip4", "", "GPIO chip gpio-sim, 8 lines"}};
  Application app(store, ui, clock, ports);
  const auto bench =
      DefineProgrammer("Bench board", PortKind::Parallel, kBitBangDefaultPins, 10, 10);
  HardwareSettings& settings = app.Lines.Settings();
  settings.Programmer = ProgrammerType::User;
  settings.User = bench;
  settings.Port = "/dev/parport5";
  HardwareForm form = FillHardwareForm(settings, ports, {bench});
  EXPECT_EQ(form.Programmer, kProgrammerTypeCount);
  EXPECT_EQ(form.OtherPort, "/dev/parport5");
  EXPECT_EQ(form.SelectedPort, -1);
  ASSERT_EQ(form.Found.size(), 1u);
  EXPECT_EQ(form.Found[0].name, "/dev/parport0");

  ProgrammerChanged(form, static_cast<int>(ProgrammerType::GpioHeader), ports);
  EXPECT_EQ(form.OtherPort, "");  // a parallel port is no GPIO chip
  EXPECT_EQ(form.PortCaption(0), "gpiochip0");
  EXPECT_EQ(form.PortName(3), "gpiochip3");
  EXPECT_EQ(form.Found.size(), 2u);
  EXPECT_EQ(form.Pins(), "DataOut=17 Clock=27 MCLR=23 VCC=!24 DataIn=22");
  struct Case {
    std::string pins, port, problem;
  };
  const std::string badPins =
      "\" cannot be used: Data Out, Clock and Data In need a line each, MCLR and VCC may have one, "
      "every line on a line of the chip of its own from 0 to 63, as in DataOut=17 Clock=27 "
      "MCLR=23 VCC=!24 DataIn=22 (! for an active-low line).";
  for (const Case& c : {Case{"DataOut=5 Clock=40 DataIn=63", "gpiochip4", ""},
                        Case{"DataOut=5 Clock=64 DataIn=6", "",
                             "The pin map \"DataOut=5 Clock=64 DataIn=6" + badPins},
                        Case{"DataOut=5 Clock=6 DataIn=7", "/dev/ttyS0", ""},
                        Case{"DataOut=5 Clock=6 DataIn=7", "LPT1",
                             "The port \"LPT1\" is not one this programmer can use: choose one of "
                             "the ports listed."}}) {
    form.Pins() = c.pins;
    form.OtherPort = c.port;
    EXPECT_EQ(HardwareFormProblem(form), c.problem) << c.pins << " / " << c.port;
  }
  form.Pins() = "DataOut=5 Clock=40 DataIn=63";
  form.OtherPort = "gpiochip4";
  app.ApplyHardware(form);
  EXPECT_EQ(store.Raw("Programmer"), "12");
  EXPECT_EQ(store.Raw("Port"), "gpiochip4");
  EXPECT_EQ(store.Raw(kGpioPinsKey), "DataOut=5 Clock=40 DataIn=63");
  EXPECT_EQ(LoadHardwareSettings(store).GpioPins, *ParsePinMap(form.GpioPins, 64));

  // The user's programmer is stored by its name and found by it again.
  form.Programmer = kProgrammerTypeCount;
  app.ApplyHardware(form);
  EXPECT_EQ(store.Raw("Programmer"), "Bench board");
  EXPECT_EQ(LoadHardwareSettings(store, {bench}).User, bench);
}

// Keys in the order they were written.
class OrderStore final : public SettingsStore {
 public:
  std::vector<std::string> keys;
  bool Exists() const override { return true; }
  void Clear() override {}

 protected:
  std::optional<std::string> Get(std::string_view) const override { return std::nullopt; }
  void Set(std::string_view key, std::string_view) override { keys.emplace_back(key); }
};

TEST(OptionsForm, ReadsStoresInOrderAndSkipsSeparators) {
  const DeviceList list;
  MemorySettingsStore store;
  OptionsForm form = ReadOptionsForm(store, list);
  EXPECT_TRUE(form.Progging && form.Verify && form.PageWrite);  // "ByteWrite" false
  EXPECT_FALSE(form.Erasing || form.DragDrop || form.SmartWiz || form.ProgramErasedWords ||
               form.WriteOnlyDiffers);
  form.PageWrite = false;
  form.WriteOnlyDiffers = true;
  form.Shortcuts = {2, 0, 5, 1};
  form.Priority = 2;
  StoreOptionsForm(store, form, false);
  EXPECT_EQ(store.Values().at("ByteWrite"), "1");
  EXPECT_EQ(store.Values().at("Device3"), "5");
  EXPECT_TRUE(LoadOperationOptions(store).WriteOnlyDiffers);
  EXPECT_FALSE(store.Values().count("UsesDriver"));
  EXPECT_EQ(ReadOptionsForm(store, list).Shortcuts, form.Shortcuts);

  OrderStore order;
  StoreOptionsForm(order, form, true);
  const std::vector<std::string> expected = {"Progging",
                                             "Erasing",
                                             "Overwrite",
                                             "IDCheck",
                                             "ConfigCheck",
                                             "Verify",
                                             "Priority",
                                             "VerDurProg",
                                             "EnableMCLR",
                                             "ByteWrite",
                                             "PowerControl",
                                             "Warning",
                                             "Device1",
                                             "Device2",
                                             "Device3",
                                             "Device4",
                                             "CodeType",
                                             "DataType",
                                             "DragDrop",
                                             "SmartWiz",
                                             "UsesDriver",
                                             "DeviceIdCheck",
                                             "OverwriteCalibration",
                                             "ProgramErasedWords",
                                             "WriteOnlyDiffers"};
  EXPECT_EQ(order.keys, expected);

  // A separator line puts a shortcut list back; a stored separator index reads as 0.
  int separator = 0;
  while (!list.IsSeparator(separator)) ++separator;
  EXPECT_EQ(ShortcutChoice(list, 4, separator), 4);
  EXPECT_EQ(ShortcutChoice(list, 4, separator + 1), separator + 1);
  store.WriteInteger("Device2", separator);
  EXPECT_EQ(ReadOptionsForm(store, list).Shortcuts[1], 0);
}

TEST(OptionsForm, ApplyFollowsTheFormAndShortcutsSelectDevices) {
  MemorySettingsStore store;
  RecordingUi ui;
  VirtualClock clock;
  ListedPorts ports;
  Application app(store, ui, clock, ports);
  app.Startup({});
  OptionsForm form = ReadOptionsForm(store, app.Work.List);
  form.Erasing = true;
  form.PageWrite = false;
  form.Overwrite = true;
  form.Shortcuts[2] = app.Work.List.IndexOf("PIC 16F84");
  app.ApplyOptions(form);
  EXPECT_TRUE(app.Operation.Erasing && app.Operation.ByteWrite && app.Options.Overwrite);
  EXPECT_TRUE(app.SelectShortcutDevice(2));
  EXPECT_EQ(app.Work.Device.Name, "PIC 16F84");
  // An index of 0 is the first device of the list.
  EXPECT_TRUE(app.SelectShortcutDevice(0));
  EXPECT_EQ(app.Work.Device.Name, *app.Work.List.Items().begin());
}

TEST(RunEnvironment, TheVirtualSettingChoosesUnlessTheCommandLineNamesHardware) {
  const auto parse = [](std::vector<std::string> args) {
    return std::get<CommandLine>(ParseCommandLine(args));
  };
  const std::string folder = ::testing::TempDir() + "kestrum-run-environment";
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
  RecordingUi ui;
  MemorySettingsStore store;
  store.WriteBool("Virtual", true);
  {
    RunEnvironment run;
    ASSERT_TRUE(run.Open(parse({}), store, ui));
    ASSERT_NE(run.Simulated(), nullptr);
    // The switch goes back to the ports and again to the same virtual programmer; the clock
    // never goes back on the way.
    SimulatedProgrammer* simulated = run.Simulated();
    simulated->Clock().Advance(5000000);
    const std::int64_t before = run.clock().nowUs();
    run.UseVirtual(false);
    EXPECT_EQ(run.Simulated(), nullptr);
    EXPECT_GE(run.clock().nowUs(), before);
    run.UseVirtual(true);
    EXPECT_EQ(run.Simulated(), simulated);
    EXPECT_GE(run.clock().nowUs(), before);
  }
  {
    RunEnvironment run;
    ASSERT_TRUE(run.Open(parse({"-i", "-g1"}), store, ui));
    EXPECT_EQ(run.Simulated(), nullptr);
  }
  {
    RunEnvironment run;  // --simulate keeps the virtual programmer whatever the dialog says
    ASSERT_TRUE(run.Open(parse({"--simulate="}), MemorySettingsStore{}, ui));
    run.UseVirtual(false);
    EXPECT_NE(run.Simulated(), nullptr);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kestrum
