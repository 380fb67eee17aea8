// SPDX-License-Identifier: GPL-3.0-or-later
// The text view for screen readers and desktop test tools: an accessible interface with the
// text interface (the text of a line or a range, the caret offset, the selection), named after
// the view's group, as Qt's own text widgets have.
#pragma once

#include <QAccessibleWidget>

namespace kestrum {

class TextView;

class TextViewAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit TextViewAccessible(TextView* view);

  void* interface_cast(QAccessible::InterfaceType type) override;
  QString text(QAccessible::Text type) const override;
  QAccessible::State state() const override;

  // Offsets count the characters of the whole text, with one line break between lines.
  void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
  int selectionCount() const override;
  void addSelection(int startOffset, int endOffset) override;
  void removeSelection(int selectionIndex) override;
  void setSelection(int selectionIndex, int startOffset, int endOffset) override;
  int cursorPosition() const override;
  void setCursorPosition(int position) override;
  QString text(int startOffset, int endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int startIndex, int endIndex) override;
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

 private:
  TextView* View() const;
};

// Registers the interface for every TextView (once per process).
void InstallTextViewAccessibility();

}  // namespace kestrum
