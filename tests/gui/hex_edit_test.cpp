// SPDX-License-Identifier: GPL-3.0-or-later
// In-place editing of the code and data views through the window: typing over word fields,
// the digit limits of the core width, the caret moves, character columns, pasting, the fills
// and the Edit dialog.
#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>

#include <functional>

#include "core/text.hpp"
#include "gui/byte_text.hpp"
#include "gui/config_box_widget.hpp"
#include "gui/edit_dialog.hpp"
#include "window_rig.hpp"

namespace kestrum {

using testing::WindowRig;

namespace {

// Puts the caret before column `column` (counted from 1) of `line` and types `keys`.
void TypeAt(TextView* view, int line, int column, const QString& keys) {
  view->SetCaret(line, column - 1);
  QTest::keyClicks(view, keys);
}

int Column(TextView* view) {
  return view->CaretColumn() + 1;
}

// Answers the next Edit dialog with a decimal value, and the range when given.
void AnswerEdit(WindowRig& rig, const QString& decimal, const QString& from = {},
                const QString& to = {}) {
  rig.answerer.onDialog = [=](QDialog& dialog) {
    auto& edit = static_cast<EditDialog&>(dialog);
    edit.DecimalEdit()->setText(decimal);
    if (!from.isEmpty()) edit.FromEdit()->setText(from);
    if (!to.isEmpty()) edit.ToEdit()->setText(to);
    edit.accept();
  };
}

}  // namespace

class HexEditTest : public QObject {
  Q_OBJECT

 private slots:
  void TypingOverWordFieldsMovesTheCaretAndKeepsTheCoreWidth() {
    WindowRig rig;
    rig.StartWith(62);  // PIC 16F84
    TextView* code = rig.window.CodeView();
    AnswerEdit(rig, QStringLiteral("0"));
    rig.Action(QStringLiteral("&Fill Buffer..."))->trigger();
    QCOMPARE(rig.Slot().CodeBuffer[5], 0);

    // The first digit of a 14-bit word is at most 3.
    TypeAt(code, 0, 7, QStringLiteral("7"));
    QCOMPARE(rig.Slot().CodeBuffer[0], 0x3000);
    QCOMPARE(Column(code), 8);
    // After the fourth digit the caret skips the separator; 'z' and a separator key store
    // nothing.
    QTest::keyClicks(code, QStringLiteral("aBc"));
    QCOMPARE(rig.Slot().CodeBuffer[0], 0x3ABC);
    QCOMPARE(Column(code), 12);
    QTest::keyClicks(code, QStringLiteral("z"));
    QCOMPARE(rig.Slot().CodeBuffer[1], 0);
    QCOMPARE(Column(code), 12);
    TypeAt(code, 0, 11, QStringLiteral("5"));
    QCOMPARE(Column(code), 12);
    QCOMPARE(rig.Slot().CodeBuffer[1], 0);
    QVERIFY(code->LineText(0).startsWith(QStringLiteral("0000: 3ABC 0000 ")));
    // From the last field the caret goes to the next line, and from the last line to the first.
    TypeAt(code, 0, 42, QStringLiteral("1234"));
    QCOMPARE(rig.Slot().CodeBuffer[7], 0x1234);
    QCOMPARE(code->CaretLine(), 1);
    QCOMPARE(Column(code), 7);
    TypeAt(code, 127, 42, QStringLiteral("0001"));
    QCOMPARE(rig.Slot().CodeBuffer[1023], 1);
    QCOMPARE(code->CaretLine(), 0);
    // Every change refreshes the checksum.
    QCOMPARE(rig.window.ConfigBoxView()->ChecksumBox()->text(),
             QString::fromStdString(rig.Work().Config.ChecksumText));
    QCOMPARE(rig.Work().Config.ChecksumText, Hex4(rig.Work().Checksum()));
  }

  void CharacterColumnsAndPasting() {
    WindowRig rig;
    rig.StartWith(62);
    TextView* code = rig.window.CodeView();
    TypeAt(code, 0, 48, QStringLiteral("A"));
    QCOMPARE(rig.Slot().CodeBuffer[0], 0x0041);
    QVERIFY(code->LineText(0).startsWith(QStringLiteral("0000: 0041 3FFF")));
    QCOMPARE(code->LineText(0).mid(47, 2), QStringLiteral("A\u00FF"));
    QCOMPARE(Column(code), 49);
    TypeAt(code, 0, 55, QStringLiteral("B"));
    QCOMPARE(code->CaretLine(), 1);
    QCOMPARE(Column(code), 48);

    // Pasting types the text: the blank is discarded.
    QApplication::clipboard()->setText(QStringLiteral("12 34"));
    code->SetCaret(0, 6);
    QTest::keyClick(code, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(rig.Slot().CodeBuffer[0], 0x1234);

    // The data view: two digits per byte, characters shown from 32.
    TextView* data = rig.window.DataView();
    TypeAt(data, 0, 7, QStringLiteral("4b"));
    QCOMPARE(rig.Slot().DataBuffer[0], 0x4B);
    QCOMPARE(Column(data), 10);
    TypeAt(data, 0, 32, QStringLiteral(" "));
    QCOMPARE(rig.Slot().DataBuffer[0], 0x20);
    QCOMPARE(data->LineText(0),
             QStringLiteral(
                 "0000: 20 FF FF FF FF FF FF FF   \u00FF\u00FF\u00FF\u00FF\u00FF\u00FF\u00FF"));
  }

  void AByteDeviceSkipsTheDigitsItCannotHold() {
    WindowRig rig;
    rig.StartWith(45);  // 24C16
    QCOMPARE(rig.Work().Device.Name, std::string("24C16"));
    TextView* code = rig.window.CodeView();
    TypeAt(code, 0, 1, QStringLiteral("A"));
    QCOMPARE(rig.Slot().CodeBuffer[0], 0xFF);
    QCOMPARE(Column(code), 9);
    QTest::keyClicks(code, QStringLiteral("AB"));
    QCOMPARE(rig.Slot().CodeBuffer[0], 0xAB);
    QCOMPARE(Column(code), 14);
  }

  void FillFromToStopsAtTheEndOfTheDevice() {
    WindowRig rig;
    rig.StartWith(62);
    QString caption, to;
    bool ranged = false;
    rig.answerer.onDialog = [&](QDialog& dialog) {
      auto& edit = static_cast<EditDialog&>(dialog);
      caption = edit.windowTitle();
      to = edit.ToEdit()->text();
      ranged = edit.AddressGroup()->isVisibleTo(&edit);
      edit.DecimalEdit()->setText(QStringLiteral("0"));
      edit.FromEdit()->setText(QStringLiteral("0010"));
      edit.ToEdit()->setText(QStringLiteral("FFFF"));
      edit.accept();
    };
    rig.Action(QStringLiteral("Fill &Buffer From..."))->trigger();
    QCOMPARE(caption, QStringLiteral("Fill Buffer From..."));
    QCOMPARE(to, QStringLiteral("03FF"));
    QVERIFY(ranged);
    QCOMPARE(rig.Slot().CodeBuffer[0x00F], 0x3FFF);
    QCOMPARE(rig.Slot().CodeBuffer[0x010], 0);
    QCOMPARE(rig.Slot().CodeBuffer[0x3FF], 0);
    QCOMPARE(rig.Slot().CodeBuffer[0x400], 0x3FFF);
  }

  void DoubleClickEditsTheLocationUnderItButNotTheAddress() {
    WindowRig rig;
    rig.StartWith(62);
    TextView* code = rig.window.CodeView();
    code->verticalScrollBar()->setValue(0);
    QTest::mouseDClick(code->viewport(), Qt::LeftButton, {}, code->CharacterRect(1, 1).center());
    QVERIFY(rig.answerer.dialogs.isEmpty());

    QString hex;
    rig.answerer.onDialog = [&](QDialog& dialog) {
      auto& edit = static_cast<EditDialog&>(dialog);
      hex = edit.HexEdit()->text();
      edit.DecimalEdit()->setText(QStringLiteral("4660"));
      edit.accept();
    };
    QTest::mouseDClick(code->viewport(), Qt::LeftButton, {}, code->CharacterRect(1, 12).center());
    QCOMPARE(rig.answerer.dialogs, QStringList{QStringLiteral("Edit Address 0009h")});
    QCOMPARE(hex, QStringLiteral("3FFF"));
    QCOMPARE(rig.Slot().CodeBuffer[9], 0x1234);
    QCOMPARE(code->CaretLine(), 1);
  }

  void UndoAndRedoEveryChangeOfABuffer() {
    WindowRig rig;
    rig.StartWith(62);
    using Image = std::pair<std::vector<std::uint16_t>, std::vector<std::uint16_t>>;
    const auto image = [&] { return Image{rig.Slot().CodeBuffer, rig.Slot().DataBuffer}; };
    struct Step {
      const char* label;
      std::function<void()> act;
    };
    const std::vector<Step> steps = {
        {"Typing", [&] { TypeAt(rig.window.CodeView(), 0, 7, QStringLiteral("1")); }},
        {"Fill",
         [&] {
           AnswerEdit(rig, QStringLiteral("4660"));
           rig.Action(QStringLiteral("&Fill Buffer..."))->trigger();
         }},
        {"Load",
         [&] {
           rig.dialogs.files = {{KESTRUM_EXAMPLES "/blink.hex", 1}};
           rig.Action(QStringLiteral("&Open File..."))->trigger();
         }},
        {"Read All",
         [&] {
           rig.Activate();
           QTest::keyClick(&rig.window, Qt::Key_F8);
         }},
    };
    std::vector<Image> before;
    for (const Step& step : steps) {
      before.push_back(image());
      step.act();
      QVERIFY2(image() != before.back(), step.label);
    }
    const Image last = image();
    // Ctrl+Z takes the steps back one by one, the views and the file name with them; the
    // loaded file's own state is unmodified.
    for (int i = static_cast<int>(steps.size()) - 1; i >= 0; --i) {
      QCOMPARE(rig.Action(QStringLiteral("&Undo ") + steps[static_cast<std::size_t>(i)].label)
                   ->isEnabled(),
               true);
      rig.Activate();
      QTest::keyClick(&rig.window, Qt::Key_Z, Qt::ControlModifier);
      QVERIFY2(image() == before[static_cast<std::size_t>(i)],
               steps[static_cast<std::size_t>(i)].label);
      QCOMPARE(rig.window.CodeView()->LineText(0),
               ByteText(HexViewLine(HexView::Code, rig.Slot(), 0)));
      QCOMPARE(rig.window.isWindowModified(), i != 3);
    }
    QVERIFY(rig.Slot().FileName.empty());
    for (std::size_t i = 0; i < steps.size(); ++i) {
      rig.Activate();
      QTest::keyClick(&rig.window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    }
    QVERIFY(image() == last);
    QCOMPARE(rig.Slot().FileName, std::string(KESTRUM_EXAMPLES "/blink.hex"));

    // Copy takes the words a selection covers as hex; a paste types them back elsewhere.
    TextView* code = rig.window.CodeView();
    code->SetCaret(0, 11);
    code->SetCaret(1, 16, true);
    code->Copy();
    const QString copied = QApplication::clipboard()->text();
    QCOMPARE(copied,
             QString::fromStdString(SelectionAsHex(HexView::Code, rig.Slot(), 0, 11, 1, 16)));
    QCOMPARE(copied.count(QLatin1Char(' ')) + copied.count(QLatin1Char('\n')) + 1, 9);
    code->SetCaret(4, 6);
    rig.window.PasteHex(HexView::Code);
    for (int i = 0; i < 9; ++i) {
      QCOMPARE(rig.Slot().CodeBuffer[static_cast<std::size_t>(32 + i)],
               rig.Slot().CodeBuffer[static_cast<std::size_t>(1 + i)]);
    }
  }

  void EditMenuFollowsSelectionAndClipboard() {
    WindowRig rig;
    rig.StartWith(62);
    QAction* copy = rig.Action(QStringLiteral("&Copy From Buffer"));
    QAction* paste = rig.Action(QStringLiteral("P&aste To Data Buffer"));
    QMenu* edit = qobject_cast<QMenu*>(copy->parent());
    QApplication::clipboard()->clear();
    emit edit->aboutToShow();
    QVERIFY(!copy->isEnabled());
    QVERIFY(!paste->isEnabled());
    rig.window.CodeView()->SetCaret(0, 0);
    rig.window.CodeView()->SetCaret(0, 4, true);
    QApplication::clipboard()->setText(QStringLiteral("00"));
    emit edit->aboutToShow();
    QVERIFY(copy->isEnabled());
    QVERIFY(paste->isEnabled());
    copy->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("0000"));
  }
};

}  // namespace kestrum

QTEST_MAIN(kestrum::HexEditTest)
#include "hex_edit_test.moc"
