// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's shell: menu captions and shortcuts, tool bar hints, the device menu and
// device box, first start, recent devices and files, Clear Settings, the buffers, the data
// view by device and the assembler view switch.
#include <QAccessible>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSlider>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <functional>

#include "gui/hardware_dialog.hpp"
#include "gui/options_dialog.hpp"
#include "window_rig.hpp"

namespace kestrum {

using testing::WindowRig;

namespace {

// "Menu>Entry[shortcut]" for every visible entry, sub-menus opened, the device and recent
// lists left out.
void Walk(QMenu* menu, const QString& path, QStringList& out) {
  for (QAction* action : menu->actions()) {
    if (action->isSeparator() || !action->isVisible()) continue;
    QString entry = path + QLatin1Char('>') + action->text();
    if (!action->shortcut().isEmpty())
      entry += QLatin1Char('[') + action->shortcut().toString() + QLatin1Char(']');
    out << entry;
    const QString text = action->text();
    if (action->menu() && text != QStringLiteral("&Device") &&
        text != QStringLiteral("&Recent Devices") && text != QStringLiteral("Recent Fi&les")) {
      Walk(action->menu(), entry, out);
    }
  }
}

QStringList Entries(QMenu* menu) {
  emit menu->aboutToShow();
  QStringList texts;
  for (QAction* action : menu->actions()) texts << action->text();
  return texts;
}

// What a screen reader calls a field. A list's name on this desktop is its current item; it
// is known by its label, or by its own name.
QString FieldName(QWidget* field) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(field);
  if (!qobject_cast<QComboBox*>(field)) return accessible->text(QAccessible::Name);
  if (!field->accessibleName().isEmpty()) return field->accessibleName();
  for (const auto& [label, relation] : accessible->relations(QAccessible::Label)) {
    return label->text(QAccessible::Name);
  }
  return {};
}

QMenu* SubMenu(WindowRig& rig, const QString& caption) {
  return rig.Action(caption)->menu();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void MenuCaptionsShortcutsAndToolBarHints() {
    WindowRig rig;
    rig.StartWith(62);
    QStringList entries;
    for (QAction* top : rig.window.menuBar()->actions()) Walk(top->menu(), top->text(), entries);
    const QStringList expected = {"&File>&Open File...[Ctrl+O]",
                                  "&File>Open &Data File...",
                                  "&File>&Save File As...[Ctrl+S]",
                                  "&File>Recent Fi&les",
                                  "&File>&Print...[Ctrl+P]",
                                  "&File>E&xit[Ctrl+Q]",
                                  "&Edit>&Undo[Ctrl+Z]",
                                  "&Edit>&Redo[Ctrl+Shift+Z]",
                                  "&Edit>&Copy From Buffer",
                                  "&Edit>&Paste To Buffer",
                                  "&Edit>C&opy From Data Buffer",
                                  "&Edit>P&aste To Data Buffer",
                                  "&Edit>&Fill Buffer...",
                                  "&Edit>Fill &Buffer From...",
                                  "&Edit>Fill &Data Buffer...",
                                  "&Edit>Fill Data B&uffer From...",
                                  "&Buffer>&Active Buffer",
                                  "&Buffer>&Active Buffer>Buffer &1[Ctrl+1]",
                                  "&Buffer>&Active Buffer>Buffer &2[Ctrl+2]",
                                  "&Buffer>&Active Buffer>Buffer &3[Ctrl+3]",
                                  "&Buffer>&Active Buffer>Buffer &4[Ctrl+4]",
                                  "&Buffer>&Active Buffer>Buffer &5[Ctrl+5]",
                                  "&Buffer>&Compare",
                                  "&Settings>&Hardware...[F3]",
                                  "&Settings>Hardware &Check...",
                                  "&Settings>&Options...",
                                  "&Settings>&Device",
                                  "&Settings>&Recent Devices",
                                  "&Settings>&Smartcard (Phoenix)",
                                  "&Settings>Cl&ear Settings",
                                  "&Command>&Read All[F8]",
                                  "&Command>&Program All[F5]",
                                  "&Command>Pro&gram Config[F4]",
                                  "&Command>&Erase All",
                                  "&Command>&Blank Check",
                                  "&Command>&Verify[F6]",
                                  "&Command>&Detect",
                                  "&Command>Smartcard &Wizard...",
                                  "&View>&Hex View",
                                  "&View>&Assembler",
                                  "&View>&Refresh",
                                  "&View>Device &Information",
                                  "&View>&Device Position",
                                  "&Help>&Contents[F1]",
                                  "&Help>&About..."};
    QCOMPARE(entries, expected);
    QVERIFY(!rig.Action(QStringLiteral("&Compare"))->isEnabled());
    QVERIFY(!rig.Action(QStringLiteral("S&ave Data File As..."))->isEnabled());

    QStringList hints;
    for (QToolBar* bar : rig.window.findChildren<QToolBar*>()) {
      for (QToolButton* button : bar->findChildren<QToolButton*>()) {
        if (button->defaultAction() && !button->defaultAction()->toolTip().isEmpty() &&
            button->isVisible()) {
          hints << button->defaultAction()->toolTip();
        }
      }
    }
    QCOMPARE(hints, (QStringList{"Open File...", "Save File As...", "Read All", "Program All",
                                 "Verify", "Erase All", "Hardware", "Options", "Smartcard Wizard",
                                 "Hex View", "Assembler View", "Help"}));
    QCOMPARE(rig.window.OpenButton()->popupMode(), QToolButton::MenuButtonPopup);

    // The entries open their dialogs.
    rig.Action(QStringLiteral("&Options..."))->trigger();
    rig.Action(QStringLiteral("&Hardware..."))->trigger();
    rig.Action(QStringLiteral("&About..."))->trigger();
    QCOMPARE(rig.answerer.dialogs, (QStringList{"Options", "Hardware settings", "About Kestrum"}));
  }

  void DeviceMenuAndDeviceBox() {
    WindowRig rig;
    rig.StartWith(62);
    QMenu* devices = SubMenu(rig, QStringLiteral("&Device"));
    QCOMPARE(Entries(devices),
             (QStringList{"4-Wire Eeprom", "I²C Eeprom", "Flash µC", "IM-Bus Eeprom",
                          "Microchip PIC", "Microwire Eeprom", "SPI Eeprom", "SPI µC"}));
    QMenu* pic = SubMenu(rig, QStringLiteral("Microchip PIC"));
    QCOMPARE(pic->actions().first()->text(), QStringLiteral("More"));
    QCOMPARE(pic->actions().first()->menu()->actions().first()->text(),
             QStringLiteral("PIC 16F83"));
    QVERIFY(!rig.Action(QStringLiteral("SDA2526"))->isEnabled());
    QVERIFY(rig.Action(QStringLiteral("PIC 16F84"))->isChecked());

    QComboBox* box = rig.window.DeviceBox();
    QCOMPARE(box->currentText(), QStringLiteral("PIC 16F84"));
    // The families are parted by the box's own separators, which cannot be chosen.
    const int separator = box->findData(QStringLiteral("separator"), Qt::AccessibleDescriptionRole);
    QVERIFY(separator > 0);
    QCOMPARE(box->itemText(separator), QString());
    QVERIFY(!(qobject_cast<QStandardItemModel*>(box->model())->item(separator)->flags() &
              Qt::ItemIsEnabled));
    box->setCurrentIndex(separator);
    emit box->activated(separator);
    QCOMPARE(box->currentText(), QStringLiteral("PIC 16F84"));
    QCOMPARE(rig.Work().Device.Name, std::string("PIC 16F84"));

    // A device without data EEPROM hides the data view and its entries.
    const int eeprom = box->findText(QStringLiteral("24C16"));
    box->setCurrentIndex(eeprom);
    emit box->activated(eeprom);
    QCOMPARE(rig.Work().Device.Name, std::string("24C16"));
    QVERIFY(!rig.window.DataGroup()->isVisibleTo(&rig.window));
    QVERIFY(!rig.Action(QStringLiteral("Fill &Data Buffer..."))->isEnabled());
    QVERIFY(!rig.Action(QStringLiteral("Open &Data File..."))->isEnabled());
    QVERIFY(rig.Action(QStringLiteral("24C16"))->isChecked());
    QCOMPARE(rig.window.StatusPanel(2)->text(), QStringLiteral("Device: 24C16 (45)"));
    rig.Action(QStringLiteral("PIC 16F84"))->trigger();
    QVERIFY(rig.window.DataGroup()->isVisibleTo(&rig.window));
    QCOMPARE(rig.window.CodeView()->LineCount(), 128);
    QCOMPARE(rig.window.DataView()->LineCount(), 8);

    rig.Action(QStringLiteral("Device &Information"))->trigger();
    QCOMPARE(rig.answerer.Texts().last(), QString::fromStdString(rig.Work().DeviceInformation()));
  }

  void FirstStartAsksForTheHardwareAndClearSettingsMakesOneAgain() {
    WindowRig rig;
    rig.Start();
    QCOMPARE(rig.answerer.Texts(),
             (QStringList{"This is the first time you start Kestrum. Please configure your "
                          "hardware first!"}));
    QCOMPARE(rig.answerer.dialogs, QStringList{"Hardware settings"});
    QCOMPARE(rig.Work().Device.Name, std::string("NVM 3060"));
    // "Com 2" picks no port button: the highest port that opens is taken.
    QCOMPARE(rig.window.StatusPanel(1)->text(), QStringLiteral("Com4 on JDM Programmer"));
    QVERIFY(rig.settings.Exists());

    rig.answerer.answers = {QMessageBox::No};
    rig.Action(QStringLiteral("Cl&ear Settings"))->trigger();
    QCOMPARE(rig.answerer.Texts().last(),
             QStringLiteral("Do you really want to clear your settings?"));
    QVERIFY(rig.settings.Exists());
    rig.Action(QStringLiteral("Cl&ear Settings"))->trigger();
    QVERIFY(!rig.settings.Exists());

    Application next(rig.settings, rig.ui, rig.simulated.Clock(), rig.opener);
    next.WindowVisible = false;
    QVERIFY(next.Startup(CommandLine{}).FirstStart);
  }

  void RecentDevicesKeepTheLastEight() {
    WindowRig rig;
    rig.StartWith(62);
    const QStringList later = {"24C16",   "93C46",    "25010", "PIC 16F877",
                               "90S2313", "NVM 3060", "59C11", "PIC 12C508"};
    for (const QString& name : later) rig.Action(name)->trigger();
    QMenu* recent = SubMenu(rig, QStringLiteral("&Recent Devices"));
    QStringList expected;
    for (int i = 0; i < later.size(); ++i) {
      expected << QStringLiteral("&%1 %2").arg(i + 1).arg(later[later.size() - 1 - i]);
    }
    QCOMPARE(Entries(recent), expected);
    QCOMPARE(rig.settings.ReadString("RecDevice0", ""), std::string("   PIC 12C508"));
    QCOMPARE(rig.settings.ReadString("RecDevice7", ""), std::string("   24C16"));

    // The same device again stays one entry, on top; an entry selects its device.
    rig.Action(QStringLiteral("PIC 16F877"))->trigger();
    QCOMPARE(Entries(recent).first(), QStringLiteral("&1 PIC 16F877"));
    QCOMPARE(Entries(recent).size(), 8);
    recent->actions().at(3)->trigger();
    QCOMPARE(rig.window.DeviceBox()->currentText(), QStringLiteral("NVM 3060"));
  }

  void RecentFilesIgnoreLetterCase() {
    WindowRig rig;
    rig.StartWith(62);
    QCOMPARE(Entries(SubMenu(rig, QStringLiteral("Recent Fi&les"))), QStringList{"<none>"});
    QTemporaryDir dir;
    const QString lower = dir.filePath(QStringLiteral("Blink.hex"));
    const QString upper = dir.filePath(QStringLiteral("BLINK.HEX"));
    QVERIFY(QFile::copy(QStringLiteral(KESTRUM_EXAMPLES "/blink.hex"), lower));
    QVERIFY(QFile::copy(QStringLiteral(KESTRUM_EXAMPLES "/blink.hex"), upper));
    rig.dialogs.files = {{lower.toStdString(), 1}, {upper.toStdString(), 1}};
    rig.Action(QStringLiteral("&Open File..."))->trigger();
    QCOMPARE(rig.window.windowTitle(),
             QStringLiteral("Blink.hex[*] - Kestrum 1.01 - Prototype Programmer"));
    rig.Action(QStringLiteral("&Open File..."))->trigger();
    QCOMPARE(Entries(SubMenu(rig, QStringLiteral("Recent Fi&les"))), QStringList{upper});
    QCOMPARE(Entries(rig.window.OpenButtonMenu()), QStringList{upper});
    QCOMPARE(rig.settings.ReadString("File0", ""), upper.toStdString());
    QCOMPARE(rig.settings.ReadString("InitDir", ""), dir.path().toStdString());
    QCOMPARE(rig.dialogs.lastFolder, dir.path().toStdString());
    QCOMPARE(rig.Slot().CodeBuffer[0], 0x2805);

    // Another buffer has no file; a recent entry opens its file again.
    QTest::keyClick(&rig.window, Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(rig.window.windowTitle(), QStringLiteral("Kestrum 1.01 - Prototype Programmer[*]"));
    rig.window.OpenButtonMenu()->actions().first()->trigger();
    QCOMPARE(rig.Slot().CodeBuffer[0], 0x2805);
    QCOMPARE(rig.Slot().FileName, upper.toStdString());
  }

  void DroppedFilesOpenTheLastOneWhenDroppingIsOn() {
    WindowRig rig;
    rig.settings.WriteBool("DragDrop", true);
    rig.settings.WriteInteger("CodeType", 6);  // "Any file (Auto)"
    rig.StartWith(62);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.bin"));
    const QString last = dir.filePath(QStringLiteral("last.hex"));
    QFile binary(first);
    QVERIFY(binary.open(QIODevice::WriteOnly));
    binary.write("\x01\x02");
    binary.close();
    QVERIFY(QFile::copy(QStringLiteral(KESTRUM_EXAMPLES "/blink.hex"), last));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(last)});
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(rig.window.CodeView()->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QApplication::sendEvent(rig.window.CodeView()->viewport(), &drop);
    QCOMPARE(rig.Slot().FileName, last.toStdString());
    QCOMPARE(rig.Slot().CodeBuffer[0], 0x2805);  // read as Intel HEX, found by its first byte
    QCOMPARE(Entries(SubMenu(rig, QStringLiteral("Recent Fi&les"))), QStringList{last});

    // Without the option the views take no drops.
    rig.settings.WriteBool("DragDrop", false);
    WindowRig plain;
    plain.StartWith(62);
    QVERIFY(!plain.window.CodeView()->acceptDrops());
  }

  void BuffersByKeyTabAndMenu() {
    WindowRig rig;
    rig.StartWith(62);
    QTest::keyClick(&rig.window, Qt::Key_3, Qt::ControlModifier);
    QCOMPARE(rig.Work().Buffers.ActiveBuffer, 2);
    QCOMPARE(rig.window.BufferTabs()->currentIndex(), 2);
    QVERIFY(rig.Action(QStringLiteral("Buffer &3"))->isChecked());
    QTest::keyClick(&rig.window, Qt::Key_6, Qt::ControlModifier);
    QTest::keyClick(&rig.window, Qt::Key_1, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(rig.Work().Buffers.ActiveBuffer, 2);
    rig.window.BufferTabs()->setCurrentIndex(4);
    QCOMPARE(rig.Work().Buffers.ActiveBuffer, 4);
    rig.Action(QStringLiteral("Buffer &1"))->trigger();
    QCOMPARE(rig.Work().Buffers.ActiveBuffer, 0);
    QCOMPARE(rig.window.BufferTabs()->tabText(0), QStringLiteral("Buffer 1"));
  }

  void ShortcutsActOnPressWhicheverKeyComesUpFirst() {
    WindowRig rig;
    rig.settings.WriteInteger("Device2", rig.Work().List.IndexOf("24C16"));
    rig.StartWith(62);
    rig.settings.WriteString("File0", KESTRUM_EXAMPLES "/blink.hex");
    rig.app.Recent.Load(rig.settings);
    struct Case {
      Qt::Key key;
      Qt::Key modifierKey;
      Qt::KeyboardModifier modifier;
      std::function<bool()> done;
    };
    const std::vector<Case> cases = {
        {Qt::Key_4, Qt::Key_Control, Qt::ControlModifier,
         [&] { return rig.Work().Buffers.ActiveBuffer == 3; }},
        {Qt::Key_F2, Qt::Key_Control, Qt::ControlModifier,
         [&] { return rig.Work().Device.Name == "24C16"; }},
        {Qt::Key_F1, Qt::Key_Alt, Qt::AltModifier,
         [&] { return rig.Slot().FileName == KESTRUM_EXAMPLES "/blink.hex"; }},
    };
    for (const Case& c : cases) {
      for (const bool modifierUpFirst : {false, true}) {
        rig.Action(QStringLiteral("PIC 16F84"))->trigger();
        rig.Action(QStringLiteral("Buffer &1"))->trigger();
        rig.Activate();
        QVERIFY(!c.done());
        QTest::keyPress(&rig.window, c.modifierKey, c.modifier);
        QTest::keyPress(&rig.window, c.key, c.modifier);
        QVERIFY2(c.done(), qPrintable(QKeySequence(c.key | c.modifier).toString()));
        if (modifierUpFirst) {
          QTest::keyRelease(&rig.window, c.modifierKey, Qt::NoModifier);
          QTest::keyRelease(&rig.window, c.key, Qt::NoModifier);
        } else {
          QTest::keyRelease(&rig.window, c.key, c.modifier);
          QTest::keyRelease(&rig.window, c.modifierKey, Qt::NoModifier);
        }
        QVERIFY(c.done());
      }
    }
    // The menus show them as the entries' own shortcuts.
    QCOMPARE(rig.Action(QStringLiteral("24C16"))->shortcut(),
             QKeySequence(QStringLiteral("Ctrl+F2")));
    QCOMPARE(Entries(SubMenu(rig, QStringLiteral("Recent Fi&les"))).size(), 1);
    QCOMPARE(SubMenu(rig, QStringLiteral("Recent Fi&les"))->actions().first()->shortcut(),
             QKeySequence(QStringLiteral("Alt+F1")));
  }

  void EveryFieldHasItsOwnNameAndTheTabsTellTheFocusTruly() {
    WindowRig rig;
    rig.StartWith(62);
    HardwareDialog& hardware = *rig.window.HardwareSettingsDialog();
    hardware.Prepare(rig.app.Lines.Settings(), rig.opener, false);
    for (QWidget* top : {static_cast<QWidget*>(&rig.window), static_cast<QWidget*>(&hardware),
                         static_cast<QWidget*>(rig.window.Options())}) {
      QStringList names;
      for (QWidget* field : top->findChildren<QWidget*>()) {
        const bool isField = qobject_cast<QLineEdit*>(field) || qobject_cast<QComboBox*>(field) ||
                             qobject_cast<QSlider*>(field) || qobject_cast<TextView*>(field);
        if (isField && field->window() == top && field->isVisibleTo(top)) {
          names << FieldName(field);
        }
      }
      QVERIFY2(!names.contains(QString()), qPrintable(names.join(u'|')));
      QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
    }

    QTabBar* tabs = rig.window.BufferTabs();
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(tabs);
    QCOMPARE(bar->childCount(), 5);
    QCOMPARE(bar->child(2)->text(QAccessible::Name), QStringLiteral("Buffer 3"));
    rig.window.CodeView()->setFocus();
    QVERIFY(bar->child(0)->state().selected && !bar->child(0)->state().focused);
    QCOMPARE(bar->focusChild(), nullptr);
    tabs->setFocus();
    QVERIFY(bar->child(0)->state().focused && !bar->child(1)->state().focused);
    bar->child(1)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(rig.Work().Buffers.ActiveBuffer, 1);
    QCOMPARE(bar->focusChild(), bar->child(1));
  }

  void UnsavedWorkIsGuarded() {
    WindowRig rig;
    rig.settings.WriteInteger("Device2", rig.Work().List.IndexOf("24C16"));
    rig.StartWith(62);
    QTemporaryDir dir;
    const auto edit = [&](int slot) {
      rig.Action(QStringLiteral("Buffer &%1").arg(slot + 1))->trigger();
      rig.window.CodeView()->SetCaret(0, 6);
      rig.window.TypeInView(HexView::Code, U'1');
    };
    const QString question =
        QStringLiteral("The changes in Buffer 1 are not saved. Do you want to save them?");
    // Nothing to lose: nothing asks.
    rig.Action(QStringLiteral("24C16"))->trigger();
    rig.Action(QStringLiteral("PIC 16F84"))->trigger();
    QVERIFY(rig.answerer.boxes.empty());
    edit(0);
    QVERIFY(rig.window.isWindowModified());
    QCOMPARE(rig.window.windowTitle(), QStringLiteral("Kestrum 1.01 - Prototype Programmer[*]"));

    // Everything that would replace the buffer asks; Cancel keeps it.
    struct Case {
      const char* what;
      std::function<void()> act;
    };
    const std::vector<Case> cases = {
        {"close", [&] { rig.window.close(); }},
        {"open",
         [&] {
           rig.dialogs.files = {{KESTRUM_EXAMPLES "/blink.hex", 1}};
           rig.Action(QStringLiteral("&Open File..."))->trigger();
         }},
        {"device menu", [&] { rig.Action(QStringLiteral("24C16"))->trigger(); }},
        {"device box",
         [&] {
           const int index = rig.window.DeviceBox()->findText(QStringLiteral("24C16"));
           rig.window.DeviceBox()->setCurrentIndex(index);
           emit rig.window.DeviceBox()->activated(index);
         }},
        {"Ctrl+F2",
         [&] {
           rig.Activate();
           QTest::keyClick(&rig.window, Qt::Key_F2, Qt::ControlModifier);
         }},
    };
    for (const Case& c : cases) {
      rig.answerer.boxes.clear();
      rig.answerer.answers = {QMessageBox::Cancel};
      c.act();
      QVERIFY2(rig.answerer.Texts() == QStringList{question}, c.what);
      QVERIFY2(rig.window.isVisible() && rig.Slot().CodeBuffer[0] == 0x1FFF &&
                   rig.Work().Device.Name == "PIC 16F84" &&
                   rig.window.DeviceBox()->currentText() == QStringLiteral("PIC 16F84"),
               c.what);
    }

    // Two buffers, the second with its file: Save saves each (the dialog asks for both), and
    // the title names the file the buffer now is.
    rig.dialogs.files = {{KESTRUM_EXAMPLES "/blink.hex", 1}};
    rig.Action(QStringLiteral("Buffer &3"))->trigger();
    rig.Action(QStringLiteral("&Open File..."))->trigger();
    QVERIFY(!rig.window.isWindowModified());
    edit(2);
    rig.Action(QStringLiteral("Buffer &1"))->trigger();
    const QString first = dir.filePath(QStringLiteral("first.hex"));
    const QString third = dir.filePath(QStringLiteral("third.hex"));
    rig.dialogs.files = {{first.toStdString(), 1}, {third.toStdString(), 1}};
    rig.answerer.boxes.clear();
    rig.answerer.answers = {QMessageBox::Save};
    rig.window.close();
    QCOMPARE(rig.answerer.Texts(), QStringList{"The changes in Buffer 1 and Buffer 3 (blink.hex) "
                                               "are not saved. Do you want to save them?"});
    QVERIFY(!rig.window.isVisible());
    QVERIFY(QFile::exists(first) && QFile::exists(third));
    QCOMPARE(rig.Work().Buffers.ActiveBuffer, 0);
    QCOMPARE(rig.window.windowTitle(),
             QStringLiteral("first.hex[*] - Kestrum 1.01 - Prototype Programmer"));
    QVERIFY(!rig.window.isWindowModified());
  }

  void TheWindowFitsASmallScreen() {
    WindowRig rig;
    rig.StartWith(62);
    // At scale 2 a 1600x1000 screen is 800x500: with a title bar and a panel, nothing of the
    // window may need more than this.
    for (const char* device : {"PIC 16F877", "PIC 16F84", "90S2313", "24C512"}) {
      rig.Action(QString::fromLatin1(device))->trigger();
      const QSize least = rig.window.minimumSizeHint().expandedTo(rig.window.minimumSize());
      QVERIFY2(least.width() <= 760 && least.height() <= 440,
               qPrintable(
                   QStringLiteral("%1: %2x%3").arg(device).arg(least.width()).arg(least.height())));
    }
    // The first size leaves a tenth of the screen.
    const QSize area = rig.window.screen()->availableGeometry().size();
    QVERIFY(rig.window.width() <= area.width() * 9 / 10 &&
            rig.window.height() <= area.height() * 9 / 10);
  }

  void AssemblerViewForFourteenBitPicsOnly() {
    WindowRig rig;
    rig.StartWith(62, {"-l" KESTRUM_EXAMPLES "/blink.hex"});
    QAction* assembler = rig.Action(QStringLiteral("&Assembler"));
    QAction* hex = rig.Action(QStringLiteral("&Hex View"));
    QAction* edit = rig.window.menuBar()->actions().at(1);
    assembler->trigger();
    QVERIFY(rig.window.AssemblerTextView()->isVisibleTo(&rig.window));
    QVERIFY(assembler->isChecked());
    QVERIFY(!edit->isEnabled());
    QVERIFY(rig.window.AssemblerTextView()->LineText(0).startsWith(QStringLiteral("; ")));
    QVERIFY(rig.window.AssemblerTextView()->IsReadOnly());
    hex->trigger();
    QVERIFY(!rig.window.AssemblerTextView()->isVisibleTo(&rig.window));
    QVERIFY(edit->isEnabled());

    rig.Action(QStringLiteral("24C16"))->trigger();
    assembler->trigger();
    QCOMPARE(rig.answerer.Texts().last(), QStringLiteral("Only 14/12 bit PIC supported!"));
    QVERIFY(hex->isChecked());
    rig.Action(QStringLiteral("PIC 12C508"))->trigger();
    assembler->trigger();
    QCOMPARE(rig.answerer.Texts().last(), QStringLiteral("12 bit PIC currently not supported!"));
    QVERIFY(!rig.window.AssemblerTextView()->isVisibleTo(&rig.window));
  }
};

}  // namespace kestrum

QTEST_MAIN(kestrum::MainWindowTest)
#include "main_window_test.moc"
