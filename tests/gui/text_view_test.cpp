// SPDX-License-Identifier: GPL-3.0-or-later
// The text view on its own: painting asks only for the visible lines, caret and selection by
// keys and mouse, copy, one-line replacement, and what screen readers get from it.
#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

#include "gui/textview/text_view.hpp"

namespace kestrum {
namespace {

// 8192 numbered lines of one length, counting what the view asks for.
class CountingSource final : public LineSource {
 public:
  int LineCount() const override { return 8192; }
  QString Line(int line) const override {
    ++asked;
    if (line == replaced) return QStringLiteral("%1: changed").arg(line, 4, 16, QLatin1Char('0'));
    return QStringLiteral("%1: line").arg(line, 4, 16, QLatin1Char('0'));
  }
  int UniformLineLength() const override { return 10; }
  mutable int asked = 0;
  int replaced = -1;
};

}  // namespace

class TextViewTest : public QObject {
  Q_OBJECT

 private slots:
  void PaintsOnlyTheVisibleLines() {
    CountingSource source;
    TextView view;
    view.resize(300, 200);
    view.SetSource(&source);
    view.show();
    source.asked = 0;
    view.viewport()->repaint();
    const int visible = view.VisibleLineCount();
    QVERIFY(visible > 3);
    QVERIFY2(source.asked <= visible + 1, qPrintable(QString::number(source.asked)));

    // Scrolling to the end paints the end, still without reading the rest.
    source.asked = 0;
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    view.viewport()->repaint();
    QVERIFY(source.asked <= visible + 1);
    QCOMPARE(view.FirstVisibleLine() + view.viewport()->height() / view.LineHeight(), 8192);
  }

  void CaretSelectionCopyAndReplace() {
    CountingSource source;
    TextView view;
    view.resize(300, 200);
    view.SetSource(&source);
    view.show();
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_End);
    QCOMPARE(view.CaretColumn(), 10);
    QTest::keyClick(&view, Qt::Key_Right);  // past the line end: the next line's start
    QCOMPARE(view.CaretLine(), 1);
    QCOMPARE(view.CaretColumn(), 0);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QVERIFY(view.HasSelection());
    QCOMPARE(view.SelectedText(), QStringLiteral("0001: line\n0"));
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("0001: line\n0"));
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(view.CaretLine(), 8191);
    QVERIFY(!view.HasSelection());

    // A click puts the caret at the nearer side of the character under the pointer.
    view.verticalScrollBar()->setValue(0);
    const QRect cell = view.CharacterRect(2, 4);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, cell.center() + QPoint(2, 0));
    QCOMPARE(view.CaretLine(), 2);
    QCOMPARE(view.CaretColumn(), 5);

    source.replaced = 2;
    view.ReplaceLine(2);
    QCOMPARE(view.LineText(2), QStringLiteral("0002: changed"));
  }

  void ScreenReadersReadLinesCaretAndSelection() {
    CountingSource source;
    TextView view;
    view.setAccessibleName(QStringLiteral(" Address - Program Code "));
    view.SetSource(&source);
    view.show();
    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(&view);
    QVERIFY(a11y != nullptr);
    QCOMPARE(a11y->text(QAccessible::Name), QStringLiteral(" Address - Program Code "));
    QCOMPARE(a11y->role(), QAccessible::EditableText);
    QAccessibleTextInterface* text = a11y->textInterface();
    QVERIFY(text != nullptr);
    QCOMPARE(text->characterCount(), 8192 * 11 - 1);
    QCOMPARE(text->text(11, 21), QStringLiteral("0001: line"));
    view.SetCaret(3, 6);
    QCOMPARE(text->cursorPosition(), 3 * 11 + 6);
    text->setSelection(0, 22, 26);
    QCOMPARE(view.SelectedText(), QStringLiteral("0002"));
    int start = 0, end = 0;
    text->selection(0, &start, &end);
    QCOMPARE(start, 22);
    QCOMPARE(end, 26);
    text->setCursorPosition(8191 * 11);
    QCOMPARE(view.CaretLine(), 8191);

    // Lines of differing lengths count their own characters.
    StringListSource lines;
    lines.SetLines({QStringLiteral("ab"), QString(), QStringLiteral("cde")});
    view.SetSource(&lines);
    QCOMPARE(text->characterCount(), 7);
    QCOMPARE(text->text(0, 7), QStringLiteral("ab\n\ncde"));
    QCOMPARE(text->text(3, 6), QStringLiteral("\ncd"));
  }
};

}  // namespace kestrum

QTEST_MAIN(kestrum::TextViewTest)
#include "text_view_test.moc"
