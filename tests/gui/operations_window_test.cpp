// SPDX-License-Identifier: GPL-3.0-or-later
// Operations through the window on the virtual programmer: Program All from F5 with its
// confirmation, progress window and verdict; Cancel in the middle; worker calls carried to
// the window thread; the command line's -p -q; the warning before fuses that lock an AVR out.
#include <QProgressBar>

#include <thread>

#include "device/texts.hpp"
#include "gui/byte_text.hpp"
#include "gui/texts.hpp"
#include "gui/textview/text_view.hpp"
#include "operations/texts.hpp"
#include "sim/chips/pic_chip.hpp"
#include "window_rig.hpp"

namespace kestrum {

using testing::WindowRig;

namespace {

// Lines idle and every port closed: how every operation must end.
bool Rested(WindowRig& rig) {
  const ChipPins& pins = rig.simulated.Programmer().Board().Pins();
  return rig.opener.OpenPorts() == 0 && !rig.app.Lines.IsPortOpen() && !pins.mclr && !pins.clock &&
         !pins.data;
}

// A PIC 16F84 image that differs from a blank part in every word.
void FillPattern(BufferSlot& slot) {
  for (int i = 0; i < 1024; ++i)
    slot.CodeBuffer[static_cast<std::size_t>(i)] = (i * 7 + 1) & 0x3FFF;
  for (int i = 0; i < 64; ++i) slot.DataBuffer[static_cast<std::size_t>(i)] = (i * 3) & 0xFF;
}

// Closes the window the first time the progress window shows, as a user would.
class CloseOnProgress final : public QObject {
 public:
  explicit CloseOnProgress(QWidget& window) : window_(window) { qApp->installEventFilter(this); }
  ~CloseOnProgress() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && !done_ && qobject_cast<ProgressDialog*>(watched)) {
      done_ = true;
      window_.close();
    }
    return false;
  }

 private:
  QWidget& window_;
  bool done_ = false;
};

}  // namespace

class OperationsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // Program Config of an ATmega328P whose RESET the fuses would disable: a warning box names
  // the bit and what follows, with No as its default; answered No, nothing is written.
  void FusesThatLockThePartOutAskWithNoAsTheDefault() {
    WindowRig rig;
    rig.StartWith(147);
    rig.Slot().ConfigArea[1] = 0x59;
    rig.Work().ShowStoredConfigWord();
    rig.answerer.boxes.clear();
    rig.answerer.answers = {QMessageBox::Yes, QMessageBox::No};
    QTest::keyClick(&rig.window, Qt::Key_F4);
    QCOMPARE(rig.answerer.boxes.size(), std::size_t{2});
    const auto& risk = rig.answerer.boxes.back();
    QCOMPARE(risk.icon, QMessageBox::Warning);
    QCOMPARE(risk.text, QString::fromUtf8(std::string(text::kRiskRstdisbl) +
                                          std::string(text::kRiskQuestion)));
    QCOMPARE(risk.buttons, QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
    QVERIFY(risk.noIsDefault);
    QCOMPARE(rig.simulated.Model()->Element(ChipRegion::Config, 1), std::uint16_t{0xD9});
    QVERIFY(Rested(rig));
  }

  void ProgramAllFromF5() {
    WindowRig rig;
    rig.StartWith(62);
    FillPattern(rig.Slot());
    rig.window.RebuildCodeView();
    rig.answerer.boxes.clear();
    QTest::keyClick(&rig.window, Qt::Key_F5);

    const QStringList texts = rig.answerer.Texts();
    QCOMPARE(texts.first(), QStringLiteral("Do you really want to program the device?"));
    QCOMPARE(rig.answerer.boxes.front().icon, QMessageBox::Question);
    QCOMPARE(texts.last(), QStringLiteral("Device successfully verified!"));
    QCOMPARE(rig.answerer.boxes.back().icon, QMessageBox::Information);
    QVERIFY(rig.answerer.progress.size() >= 2);
    const auto& shown = rig.answerer.progress.front();
    QCOMPARE(shown.caption, QStringLiteral("Device: PIC 16F84"));
    QCOMPARE(shown.text, QStringLiteral("Programming Code (1024) bytes"));
    QCOMPARE(shown.button, QStringLiteral("&Cancel"));
    QVERIFY(shown.flags & Qt::WindowStaysOnTopHint);
    QVERIFY(!(shown.flags & Qt::WindowCloseButtonHint));
    QVERIFY((shown.centre - rig.window.frameGeometry().center()).manhattanLength() <= 2);
    QCOMPARE(rig.answerer.progress.back().text, QStringLiteral("Verifying Code (1024) bytes"));

    QVERIFY(!rig.window.Progress().isVisible());
    QVERIFY(rig.window.isEnabled());
    QVERIFY(Rested(rig));
    auto* chip = dynamic_cast<PicChip*>(rig.simulated.Model());
    QVERIFY(chip != nullptr);
    QCOMPARE(chip->Code()[1000], rig.Slot().CodeBuffer[1000]);
    QCOMPARE(chip->Data()[63], rig.Slot().DataBuffer[63]);
    // A successful verify takes the marking away.
    QCOMPARE(rig.window.CodeView()->Marking(), TextMarking{});

    // Read All into another buffer refreshes the views from the part.
    rig.Activate();
    QTest::keyClick(&rig.window, Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(rig.window.CodeView()->LineText(1).left(10), QStringLiteral("0008: 3FFF"));
    QTest::keyClick(&rig.window, Qt::Key_F8);
    QCOMPARE(rig.window.CodeView()->LineText(1),
             ByteText(HexViewLine(HexView::Code, rig.Work().Buffers.Slots[0], 1)));
    QCOMPARE(rig.window.DataView()->LineText(7),
             ByteText(HexViewLine(HexView::Data, rig.Work().Buffers.Slots[0], 7)));
    QVERIFY(Rested(rig));
  }

  void TimeLeftOnceItCanBeTold() {
    struct Case {
      qint64 elapsedMs;
      int done;
      int remaining;
      const char* text;
    };
    const std::vector<Case> cases = {
        {900, 100, 900, ""},  // too early
        {2000, 0, 1024, ""},  // nothing done yet
        {2000, 100, 900, "About 18 s left"},
        {1500, 10, 1, "About 1 s left"},  // rounded up, never "0 s" before the end
        {10000, 100, 1900, "About 3 min 10 s left"},
    };
    for (const Case& c : cases) {
      QCOMPARE(TimeLeftText(c.elapsedMs, c.done, c.remaining), QString::fromUtf8(c.text));
    }
    QCOMPARE(ProgressDialog().Bar()->text(), QStringLiteral("0%"));
  }

  void ClosingDuringAnOperationAsksToCancelIt() {
    for (const auto answer : {QMessageBox::Yes, QMessageBox::No}) {
      WindowRig rig;
      rig.settings.WriteBool("Progging", false);
      rig.StartWith(62);
      FillPattern(rig.Slot());
      // The user closes the window while the progress window shows.
      CloseOnProgress closer(rig.window);
      rig.answerer.answers = {answer};
      rig.Activate();
      QTest::keyClick(&rig.window, Qt::Key_F5);
      const QStringList texts = rig.answerer.Texts();
      QCOMPARE(texts.first(),
               QStringLiteral("An operation is running. Do you want to cancel it and quit?"));
      QVERIFY(Rested(rig));
      auto* chip = dynamic_cast<PicChip*>(rig.simulated.Model());
      if (answer == QMessageBox::Yes) {
        // Cancelled after its current word, the part switched off, and the window gone.
        QVERIFY(!rig.window.isVisible());
        QVERIFY(!texts.contains(QStringLiteral("Device successfully verified!")));
        QVERIFY(chip->Code()[1000] != rig.Slot().CodeBuffer[1000]);
      } else {
        QVERIFY(rig.window.isVisible());
        QCOMPARE(texts.last(), QStringLiteral("Device successfully verified!"));
      }
    }
  }

  void CancelInTheMiddleLeavesTheProgrammerResting() {
    WindowRig rig;
    rig.settings.WriteBool("Progging", false);
    rig.StartWith(62);
    FillPattern(rig.Slot());
    QProgressBar* bar = rig.window.Progress().Bar();
    bool pressed = false;
    bool windowDisabled = false;
    int pressedAt = 0;
    QObject::connect(bar, &QProgressBar::valueChanged, bar, [&](int value) {
      if (!pressed && value >= 100 && bar->maximum() > 1000) {
        pressed = true;
        pressedAt = value;
        windowDisabled = !rig.window.isEnabled();
        QTest::mouseClick(rig.window.Progress().CancelButton(), Qt::LeftButton);
      }
    });
    rig.Action(QStringLiteral("&Program All"))->trigger();
    QVERIFY(pressed);
    QVERIFY(windowDisabled);
    QVERIFY(!rig.window.Progress().isVisible());
    QVERIFY(rig.window.isEnabled());
    QVERIFY(!rig.window.Busy());
    QVERIFY(Rested(rig));
    // The code region stopped after the word in progress.
    auto* chip = dynamic_cast<PicChip*>(rig.simulated.Model());
    QCOMPARE(chip->Code()[1000], 0x3FFF);
    QCOMPARE(chip->Code()[pressedAt - 1],
             rig.Slot().CodeBuffer[static_cast<std::size_t>(pressedAt - 1)]);
  }

  void WorkerCallsRunOnTheWindowThread() {
    WindowRig rig;
    rig.StartWith(62);
    rig.answerer.boxes.clear();
    DoneFlag done;
    bool answer = false;
    std::thread worker([&] {
      rig.ui.SetStatusPanel(kStatusOperationPanel, "Reading...");
      answer = rig.ui.Question("Go on?");
      rig.ui.Message(MessageKind::Error, "No Acknowledge received!", MessageButton::Ok);
      done.Set();
    });
    rig.ui.WaitFor(done);
    worker.join();
    QVERIFY(answer);
    QCOMPARE(rig.answerer.Texts(), (QStringList{"Go on?", "No Acknowledge received!"}));
    QVERIFY(rig.answerer.boxes[0].onWindowThread);
    QVERIFY(rig.answerer.boxes[1].onWindowThread);
    QCOMPARE(rig.answerer.boxes[1].icon, QMessageBox::Critical);
    QCOMPARE(rig.answerer.boxes[1].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(rig.window.StatusPanel(0)->text(), QStringLiteral("Reading..."));
  }

  void CommandLineProgramsInTheWindowAndCloses() {
    WindowRig rig;
    rig.settings.WriteInteger("Device", 62);
    rig.Start({"-t62", "-l" KESTRUM_EXAMPLES "/blink.hex", "-p", "-q"});
    rig.window.Activate();
    QVERIFY(!rig.window.isVisible());
    QCOMPARE(rig.window.ExitStatus(), 0);
    QCOMPARE(rig.answerer.Texts(), (QStringList{"Do you really want to program the device?",
                                                "Device successfully verified!"}));
    QCOMPARE(dynamic_cast<PicChip*>(rig.simulated.Model())->Code()[0], 0x2805);
  }
};

}  // namespace kestrum

QTEST_MAIN(kestrum::OperationsWindowTest)
#include "operations_window_test.moc"
