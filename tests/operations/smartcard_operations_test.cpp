// The operations of I2C EEPROM devices in smartcard mode, through the virtual card reader and
// our boot loader running on the simulated card: what the user sees when the card does not
// answer, on any programmer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lifecycle.hpp"
#include "protocols/boot_loader.hpp"
#include "protocols/smartcard.hpp"
#include "protocols/texts.hpp"
#include "sim/smartcard.hpp"

namespace kestrum::testing {
namespace {

using Type = RecordingUi::Entry::Type;

// The boot loader with its answer to reset one byte short.
std::vector<std::uint16_t> TenByteAnswer() {
  std::vector<std::uint16_t> image = BootLoaderImage();
  constexpr std::uint16_t kMovlwAnswerLength = 0x3000 | card::kAnswerToResetBytes;
  EXPECT_EQ(std::count(image.begin(), image.end(), kMovlwAnswerLength), 1);
  std::replace(image.begin(), image.end(), kMovlwAnswerLength,
               static_cast<std::uint16_t>(kMovlwAnswerLength - 1));
  return image;
}

// A card in the reader on the JDM's serial port, or an empty reader.
struct ReaderRig {
  explicit ReaderRig(std::optional<std::vector<std::uint16_t>> program,
                     std::string_view device = "24C16")
      : rig(device, ProgrammerType::Jdm, nullptr) {
    rig.options.Smart = true;
    if (program) {
      std::copy(program->begin(), program->end(), pic->Code().begin());
      rig.programmer.InsertCard(&card);
    }
  }
  std::unique_ptr<PicChip> pic = PicChip::ForDevice("PIC 16F84");
  ProbeChip eeprom{8};
  Smartcard card{*pic, eeprom};
  LifecycleRig rig;
};

TEST(SmartcardMode, ACardThatDoesNotAnswerItsResetStopsEveryCommandAtOnce) {
  const std::string failed(text::kResettingCardFailed);
  const struct {
    const char* name;
    std::optional<std::vector<std::uint16_t>> program;
  } kCards[] = {
      {"no card", std::nullopt},
      {"no boot loader", std::vector<std::uint16_t>(1024, 0x3FFF)},
      {"ten answer bytes", TenByteAnswer()},
  };
  for (const auto& c : kCards) {
    ReaderRig r(c.program);
    std::fill_n(r.rig.Slot().CodeBuffer.begin(), 2048, 0x5A);
    const std::int64_t start = r.rig.clock.nowUs();
    // Read All leaves the buffer as it was; Program All does not verify; Verify gives no
    // verdict.
    EXPECT_TRUE(r.rig.Runs(&Operations::ReadAll, false, {failed})) << c.name;
    EXPECT_EQ(r.rig.Slot().CodeBuffer[0], 0x5A);
    EXPECT_TRUE(r.rig.Runs(&Operations::ProgramAll, false, {failed})) << c.name;
    EXPECT_TRUE(r.rig.Runs(&Operations::Verify, false, {failed})) << c.name;
    EXPECT_THAT(r.rig.ui.Texts(Type::ProgressText),
                ::testing::Contains(std::string(text::kResettingSmartcard)));
    // Each failed after the one byte that did not come within 1.5 s.
    EXPECT_GT(r.rig.clock.nowUs() - start, 3 * 1500000) << c.name;
    EXPECT_LT(r.rig.clock.nowUs() - start, 3 * 1600000) << c.name;
  }
}

}  // namespace
}  // namespace kestrum::testing
