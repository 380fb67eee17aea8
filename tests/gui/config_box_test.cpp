// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration box through its widgets: lists and fuse boxes fold into the configuration
// word, the ID box's key filter and "&Use Checksum", and what each family shows.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include "gui/config_box_widget.hpp"
#include "window_rig.hpp"

namespace kestrum {

using testing::WindowRig;

namespace {

void Choose(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  emit list->activated(index);
}

// Clicks the box's indicator when it is not ticked as wanted.
void Tick(QCheckBox* box, bool ticked) {
  if (box->isChecked() != ticked)
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
  QCOMPARE(box->isChecked(), ticked);
}

// XT, WDT off, PWRT on, CP off.
void SetXtWithPowerUpTimer(ConfigBoxWidget* box) {
  Choose(box->OscillatorList(), 1);
  Tick(box->FuseBox(0), false);
  Tick(box->FuseBox(1), true);
  Tick(box->FuseBox(2), false);
}

}  // namespace

class ConfigBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void ControlsFoldIntoTheWordByTheFusePolarity() {
    WindowRig rig;
    rig.StartWith(62);  // PIC 16F84: PWRT is active low
    ConfigBoxWidget* box = rig.window.ConfigBoxView();
    QCOMPARE(box->FuseBox(0)->text(), QStringLiteral("WDT"));
    QCOMPARE(box->FuseBox(0)->toolTip(), QStringLiteral("Watchdog Timer Enable"));
    QVERIFY(box->FuseBox(0)->isChecked());
    SetXtWithPowerUpTimer(box);
    QCOMPARE(rig.Slot().ConfigArea[7], 0x3FF1);
    QCOMPARE(box->ConfigWordLabel()->text(), QStringLiteral("Config word : 3FF1h"));
    QVERIFY(box->FuseBox(1)->isChecked());
    QVERIFY(!box->FuseBox(2)->isChecked());
    QCOMPARE(box->ChecksumBox()->text(), QStringLiteral("3BF1"));

    rig.Action(QStringLiteral("PIC 16C84"))->trigger();  // PWRT active high
    SetXtWithPowerUpTimer(box);
    QCOMPARE(rig.Slot().ConfigArea[7], 0x3FF9);
    QCOMPARE(box->ConfigWordLabel()->text(), QStringLiteral("Config word : 3FF9h"));
  }

  void IdBoxTakesHexDigitsAndTheChecksum() {
    WindowRig rig;
    rig.StartWith(62);
    ConfigBoxWidget* box = rig.window.ConfigBoxView();
    box->IdBox()->clear();
    QTest::keyClicks(box->IdBox(), QStringLiteral("1g2"));
    QCOMPARE(box->IdBox()->text(), QStringLiteral("12"));
    const std::vector<std::uint16_t> ids(rig.Slot().ConfigArea.begin(),
                                         rig.Slot().ConfigArea.begin() + 4);
    QCOMPARE(ids, (std::vector<std::uint16_t>{1, 2, 0, 0}));
    QTest::keyClicks(box->IdBox(), QStringLiteral("ab"));
    QCOMPARE(box->IdBox()->text(), QStringLiteral("12AB"));

    QCOMPARE(box->ChecksumBox()->text(), QStringLiteral("3BFF"));
    emit box->IdBox()->UseChecksumRequested();
    QCOMPARE(box->IdBox()->text(), QStringLiteral("3BFF"));
    const std::vector<std::uint16_t> fromChecksum(rig.Slot().ConfigArea.begin(),
                                                  rig.Slot().ConfigArea.begin() + 4);
    QCOMPARE(fromChecksum, (std::vector<std::uint16_t>{3, 11, 15, 15}));
  }

  void EachFamilyShowsItsControls() {
    WindowRig rig;
    rig.StartWith(45);  // 24C16: only the checksum
    ConfigBoxWidget* box = rig.window.ConfigBoxView();
    QVERIFY(!box->OscillatorList()->isVisibleTo(box));
    QVERIFY(!box->IdBox()->isVisibleTo(box));
    QVERIFY(!box->ConfigWordLabel()->isVisibleTo(box));
    QVERIFY(box->ChecksumBox()->isVisibleTo(box));
    QCOMPARE(box->ChecksumBox()->text(), QStringLiteral("F800"));
    QVERIFY(!rig.Action(QStringLiteral("Pro&gram Config"))->isEnabled());

    rig.Action(QStringLiteral("25010"))->trigger();
    QVERIFY(box->OscillatorList()->isVisibleTo(box));
    QCOMPARE(box->OscillatorLabel()->text(), QStringLiteral("Block Write Protect:"));
    QCOMPARE(box->OscillatorList()->currentText(), QStringLiteral("BP None"));

    rig.Action(QStringLiteral("PIC 16F877"))->trigger();
    QVERIFY(box->CodeProtectList()->isVisibleTo(box));
    QCOMPARE(box->CodeProtectList()->toolTip(), QStringLiteral("Code Protect value"));
    Choose(box->CodeProtectList(), 1);  // "CP 1000h-1FFFh"
    const std::uint16_t word = rig.Slot().ConfigArea[7];
    QCOMPARE(word & 0x3030, 0x1010);
    QVERIFY(box->FuseBox(6)->isVisibleTo(box));
    QCOMPARE(box->FuseBox(6)->text(), QStringLiteral("DEBUGGER"));
    QVERIFY(!box->MoreConfigWordLabel()->isVisibleTo(box));

    // The 16F88's second configuration word: its boxes and its label.
    rig.Action(QStringLiteral("PIC 16F88"))->trigger();
    QCOMPARE(box->MoreControls().size(), std::size_t{2});
    auto* fcmen = qobject_cast<QCheckBox*>(box->MoreControls()[1]);
    QVERIFY(fcmen != nullptr && fcmen->isVisibleTo(box));
    QCOMPARE(fcmen->text(), QStringLiteral("FCMEN"));
    Tick(fcmen, false);
    QCOMPARE(rig.Slot().ConfigArea[8], 0x3FFE);
    QCOMPARE(box->MoreConfigWordLabel()->text(), QStringLiteral("Config word 2 : 3FFEh"));
    QVERIFY(box->MoreConfigWordLabel()->isVisibleTo(box));
  }
};

}  // namespace kestrum

QTEST_MAIN(kestrum::ConfigBoxTest)
#include "config_box_test.moc"
