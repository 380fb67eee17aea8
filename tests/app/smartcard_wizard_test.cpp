// SPDX-License-Identifier: GPL-3.0-or-later
// The smartcard wizard without its window, on the virtual programmer with a simulated card:
// every step with its texts, the boot loader programmed into the card's PIC (PIC 16F84 or
// 16C84 with its configuration word), the EEPROM file written through the reader by that boot
// loader running on the card, the user's PIC program last; then a second run of the program
// reads the 24C16 back through the reader.
#include "app/smartcard_wizard.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <random>

#include "../sanitized.hpp"
#include "app/simulated_programmer.hpp"
#include "core/recording_ui.hpp"
#include "device/catalogue.hpp"
#include "protocols/boot_loader.hpp"
#include "protocols/texts.hpp"

namespace kestrum {
namespace {

namespace fs = std::filesystem;
using Type = RecordingUi::Entry::Type;
using FileChoice = SmartcardWizard::FileChoice;

// One run of the program on the virtual programmer, the card in it, chips kept in `folder`.
struct ProgramRun {
  ProgramRun(const std::string& folder, bool pic16C84) : simulated(folder) {
    store.WriteString("Port", "Com1");
    store.WriteInteger("IODelay", 0);
    store.WriteBool("SmartWiz", pic16C84);
    app.WindowVisible = false;
    app.Startup(CommandLine{});
    simulated.InsertCard(pic16C84, ui);
  }
  MemorySettingsStore store;
  RecordingUi ui;
  SimulatedProgrammer simulated;
  Application app{store, ui, simulated.Clock(), simulated.Programmer()};
};

void Write(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

class Wizard : public ::testing::TestWithParam<bool> {
 protected:
  Wizard() {
    char pattern[] = "/tmp/kestrum-wizard-XXXXXX";
    folder_ = mkdtemp(pattern);
  }
  ~Wizard() override { fs::remove_all(folder_); }
  fs::path folder_;
};

TEST_P(Wizard, LoadsTheCardWithOurBootLoaderAndAReaderReadsItBack) {
  const bool pic16C84 = GetParam();
  const std::string picName = pic16C84 ? "PIC 16C84" : "PIC 16F84";
  const std::uint16_t configWord = pic16C84 ? 0x3FF1 : 0x3FF9;

  // The files: 2048 bytes for the EEPROM; for the PIC a program that keeps the boot loader,
  // with data EEPROM bytes and ID words of its own.
  std::mt19937 random(42);
  std::string eepromImage(2048, '\0');
  for (char& c : eepromImage) c = static_cast<char>(random());
  const fs::path eepromFile = folder_ / "card.bin";
  Write(eepromFile, eepromImage);
  const DeviceDescriptor pic = DescriptorFor(*FindDeviceByName(picName));
  BufferSlot user;
  user.Fill(pic.BlankValue);
  std::copy(BootLoaderImage().begin(), BootLoaderImage().end(), user.CodeBuffer.begin());
  for (int i = 0; i < 64; ++i) user.DataBuffer[i] = static_cast<std::uint16_t>(random() & 0xFF);
  for (int i = 0; i < 4; ++i) user.ConfigArea[i] = static_cast<std::uint16_t>(i + 1);
  user.ConfigArea[7] = configWord;
  const fs::path picFile = folder_ / "program.hex";
  Write(picFile, DeviceHexFile(pic, user));

  const std::string chips = (folder_ / "chips").string();
  {  // the first run ends, and lets go of the chips' files, before the second starts
    ProgramRun run(chips, pic16C84);
    run.ui.Clear();
    std::deque<std::optional<FileChoice>> choices;
    SmartcardWizard wizard(run.app, [&] {
      std::optional<FileChoice> choice = choices.front();
      choices.pop_front();
      return choice;
    });
    const SmartcardWizard::View& view = wizard.Shown();

    wizard.Enter();
    wizard.Activate();
    EXPECT_EQ(view.Label1,
              "Please connect your PIC programmer to the computer.\r(Or configure your programmer "
              "as a PIC programmer.)\r\rYou can click the \"Hardware\" button to change your "
              "hardware settings\rat any time during this Wizard!\r\rYour smartcard will now be "
              "programmed with a BootLoader,\rwhich enables \"Through Pic Programming\" for your "
              "smartcard.");
    EXPECT_EQ(view.Label2,
              "Click the \"Continue\" button to continue programming or close\rthe window to "
              "cancel.");
    EXPECT_EQ(view.ButtonCaption, "Continue");
    EXPECT_TRUE(view.HardwareVisible);
    EXPECT_FALSE(view.OpenFileVisible);
    EXPECT_EQ(view.Image, 0);

    // Step 0: the boot loader and its configuration word into the card's PIC.
    ASSERT_TRUE(wizard.Continue());
    EXPECT_EQ(wizard.WizardStep(), 1);
    PicChip& cardPic = run.simulated.Card()->Pic();
    EXPECT_TRUE(
        std::equal(BootLoaderImage().begin(), BootLoaderImage().end(), cardPic.Code().begin()));
    EXPECT_EQ(cardPic.ConfigWord(), configWord);
    EXPECT_EQ(run.ui.Texts(Type::ProgressCaption), std::vector<std::string>{"Device: " + picName});
    EXPECT_EQ(
        run.ui.Texts(Type::ProgressText),
        (std::vector<std::string>{"Programming Code (1024) bytes", "Programming Configuration"}));
    EXPECT_EQ(view.Label1,
              "Please disconnect your PIC programmer and connect\ryour smartcard programmer to the "
              "computer.\r(Or configure your PIC programmer as a smartcard programmer.)\r\rYou now "
              "have to select a file which will be loaded\rinto the eeprom on your smartcard.");
    EXPECT_EQ(view.Label2,
              "Click the \"Continue\" button to load a file or close the window to cancel.");
    EXPECT_EQ(view.Image, 1);
    EXPECT_EQ(run.app.Work.Device.Name, "24C16");

    // Step 1: a cancelled file dialog changes nothing; then the EEPROM file.
    const SmartcardWizard::View before = view;
    choices.push_back(std::nullopt);
    wizard.Continue();
    EXPECT_EQ(wizard.WizardStep(), 1);
    EXPECT_EQ(view.Label1, before.Label1);
    EXPECT_EQ(view.Label2, before.Label2);
    choices.push_back(FileChoice{eepromFile.string(), FileType::Binary});
    wizard.Continue();
    EXPECT_EQ(wizard.WizardStep(), 2);
    EXPECT_EQ(view.Label1, "The eeprom on your smartcard will now be programmed,\rwith file " +
                               eepromFile.string());
    EXPECT_EQ(view.Label2,
              "Click the \"Continue\" button to continue programming or close the window\rto "
              "cancel. You can use the \"Open File...\" button to load a different file.");
    EXPECT_TRUE(view.OpenFileVisible);
    // "Open File..." in step 2 asks again and stays in step 2.
    choices.push_back(std::nullopt);
    wizard.OpenFile();
    EXPECT_EQ(wizard.WizardStep(), 2);

    // Step 2: the EEPROM through the reader, by the boot loader running on the card.
    run.ui.Clear();
    ASSERT_TRUE(wizard.Continue());
    EXPECT_EQ(wizard.WizardStep(), 3);
    EXPECT_TRUE(run.ui.Messages().empty());
    EXPECT_EQ(run.ui.Texts(Type::ProgressText),
              (std::vector<std::string>{"Programming Code (2048) bytes", "Resetting Smartcard",
                                        "Programming Code (2048) bytes"}));
    const Eeprom24& cardEeprom = run.simulated.Card()->Eeprom();
    EXPECT_TRUE(
        std::equal(eepromImage.begin(), eepromImage.end(), cardEeprom.Memory().begin(),
                   [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
    EXPECT_EQ(
        view.Label1,
        "Please disconnect your smartcard programmer from the\rcomputer and reconnect your "
        "PIC programmer.\r(Or configure your programmer as a PIC programmer.)\r\rYou now have "
        "to select a file which will be loaded\rinto the PIC on your smartcard.");
    EXPECT_FALSE(view.OpenFileVisible);
    EXPECT_EQ(run.app.Work.Device.Name, picName);

    // Steps 3 and 4: the user's PIC program, last.
    choices.push_back(FileChoice{picFile.string(), FileType::Ihx8});
    wizard.Continue();
    EXPECT_EQ(wizard.WizardStep(), 4);
    EXPECT_EQ(view.Label1,
              "The PIC on your smartcard will now be programmed,\rwith file " + picFile.string());
    run.ui.Clear();
    ASSERT_TRUE(wizard.Continue());
    EXPECT_EQ(wizard.WizardStep(), 5);
    EXPECT_EQ(
        run.ui.Texts(Type::ProgressText),
        (std::vector<std::string>{"Programming Code (1024) bytes", "Programming Data (64) bytes",
                                  "Programming Configuration"}));
    EXPECT_TRUE(std::equal(cardPic.Data().begin(), cardPic.Data().end(), user.DataBuffer.begin()));
    EXPECT_EQ(cardPic.IdWord(2), 3);
    EXPECT_EQ(view.Label1,
              "You are done programming your smartcard.\rIf you have not received any errors then "
              "your\rsmartcard is successfully programmed.");
    EXPECT_EQ(view.Label2, "Click the \"OK\" button to close the Smartcard Wizard.");
    EXPECT_EQ(view.ButtonCaption, "OK");
    EXPECT_FALSE(view.HardwareVisible);
    EXPECT_FALSE(view.OpenFileVisible);
    EXPECT_FALSE(wizard.Continue());  // the wizard closes
    EXPECT_TRUE(run.ui.Messages().empty());
    EXPECT_EQ(run.simulated.Card()->Faults().Total(), 0);
    ASSERT_TRUE(run.simulated.SaveChip(run.ui));
  }

  // A second run, in smartcard mode: Read All of the 24C16 through the reader.
  ProgramRun second(chips, pic16C84);
  ASSERT_TRUE(second.app.Work.SelectDeviceByNumber(FindDeviceByName("24C16")->MenuCommand));
  second.app.Operation.Smart = true;
  second.ui.Clear();
  EXPECT_TRUE(second.app.Ops.ReadAll().Succeeded());
  EXPECT_TRUE(second.ui.Messages().empty());
  for (int i = 0; i < 2048; ++i) {
    ASSERT_EQ(second.app.Work.Active().CodeBuffer[i],
              static_cast<std::uint8_t>(eepromImage[static_cast<std::size_t>(i)]))
        << i;
  }
}

std::vector<bool> CardPics() {
  if (testing::kSanitized) return {true};
  return {false, true};  // "SmartWiz": PIC 16F84, PIC 16C84
}

INSTANTIATE_TEST_SUITE_P(Cards, Wizard, ::testing::ValuesIn(CardPics()),
                         [](const auto& info) { return info.param ? "PIC16C84" : "PIC16F84"; });

}  // namespace
}  // namespace kestrum
