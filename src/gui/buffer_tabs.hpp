// SPDX-License-Identifier: GPL-3.0-or-later
// The tabs of the five buffers below the views. Qt's own tab bar tells screen readers that its
// current tab has the keyboard focus even while the focus is elsewhere; this one reports the
// focus only while the bar has it, and the current tab as the selected one.
#pragma once

#include <QAccessibleWidget>
#include <QTabBar>

#include <vector>

namespace kestrum {

class BufferTabBar final : public QTabBar {
  Q_OBJECT

 public:
  explicit BufferTabBar(QWidget* parent = nullptr);

 protected:
  void focusInEvent(QFocusEvent* event) override;
};

// The bar for screen readers: a page tab list whose children are its tabs.
class BufferTabsAccessible final : public QAccessibleWidget {
 public:
  explicit BufferTabsAccessible(BufferTabBar* bar);
  ~BufferTabsAccessible() override;

  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* focusChild() const override;
  QTabBar* Bar() const;

 private:
  mutable std::vector<QAccessible::Id> children_;
};

// Registers the interface for every BufferTabBar (once per process).
void InstallBufferTabsAccessibility();

}  // namespace kestrum
