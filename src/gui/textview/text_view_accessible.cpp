// SPDX-License-Identifier: GPL-3.0-or-later
// Accessibility of the text view.
#include "gui/textview/text_view_accessible.hpp"

#include <QScrollBar>

#include "gui/textview/text_view.hpp"

namespace kestrum {
namespace {

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (className == QLatin1String(TextView::staticMetaObject.className()) && object &&
      object->isWidgetType()) {
    return new TextViewAccessible(static_cast<TextView*>(object));
  }
  return nullptr;
}

}  // namespace

void InstallTextViewAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

TextViewAccessible::TextViewAccessible(TextView* view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

TextView* TextViewAccessible::View() const {
  return static_cast<TextView*>(widget());
}

void* TextViewAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

QString TextViewAccessible::text(QAccessible::Text type) const {
  if (type == QAccessible::Value) return View()->TextRange(0, View()->CharacterCount());
  return QAccessibleWidget::text(type);
}

QAccessible::State TextViewAccessible::state() const {
  QAccessible::State s = QAccessibleWidget::state();
  s.multiLine = true;
  s.readOnly = View()->IsReadOnly();
  s.editable = !View()->IsReadOnly();
  s.selectableText = true;
  return s;
}

void TextViewAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = 0;
  if (selectionIndex != 0 || !View()->HasSelection()) return;
  int sl = 0, sc = 0, el = 0, ec = 0;
  View()->SelectionRange(sl, sc, el, ec);
  *startOffset = View()->OffsetOf(sl, sc);
  *endOffset = View()->OffsetOf(el, ec);
}

int TextViewAccessible::selectionCount() const {
  return View()->HasSelection() ? 1 : 0;
}

void TextViewAccessible::addSelection(int startOffset, int endOffset) {
  setSelection(0, startOffset, endOffset);
}

void TextViewAccessible::removeSelection(int selectionIndex) {
  if (selectionIndex == 0) View()->ClearSelection();
}

void TextViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
  if (selectionIndex != 0) return;
  int line = 0, column = 0;
  View()->PositionOf(startOffset, line, column);
  View()->SetCaret(line, column);
  View()->PositionOf(endOffset, line, column);
  View()->SetCaret(line, column, true);
}

int TextViewAccessible::cursorPosition() const {
  return View()->OffsetOf(View()->CaretLine(), View()->CaretColumn());
}

void TextViewAccessible::setCursorPosition(int position) {
  int line = 0, column = 0;
  View()->PositionOf(position, line, column);
  View()->SetCaret(line, column);
}

QString TextViewAccessible::text(int startOffset, int endOffset) const {
  return View()->TextRange(startOffset, endOffset);
}

int TextViewAccessible::characterCount() const {
  return View()->CharacterCount();
}

QRect TextViewAccessible::characterRect(int offset) const {
  int line = 0, column = 0;
  View()->PositionOf(offset, line, column);
  const QRect local = View()->CharacterRect(line, column);
  return {View()->viewport()->mapToGlobal(local.topLeft()), local.size()};
}

int TextViewAccessible::offsetAtPoint(const QPoint& point) const {
  int line = 0, column = 0;
  View()->PositionAt(View()->viewport()->mapFromGlobal(point), line, column);
  return View()->OffsetOf(line, column);
}

void TextViewAccessible::scrollToSubstring(int startIndex, int /*endIndex*/) {
  int line = 0, column = 0;
  View()->PositionOf(startIndex, line, column);
  View()->SetCaret(line, column);
  View()->EnsureCaretVisible();
}

QString TextViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
  // One run without attributes: the whole text.
  (void)offset;
  *startOffset = 0;
  *endOffset = View()->CharacterCount();
  return {};
}

}  // namespace kestrum
