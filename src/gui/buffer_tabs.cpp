// SPDX-License-Identifier: GPL-3.0-or-later
// The buffer tabs.
#include "gui/buffer_tabs.hpp"

#include <QAccessible>
#include <QFocusEvent>

namespace kestrum {
namespace {

// One tab of the bar.
class BufferTabAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  BufferTabAccessible(BufferTabsAccessible* parent, int index) : parent_(parent), index_(index) {}

  bool isValid() const override { return parent_->isValid() && index_ < Bar()->count(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return parent_->window(); }
  QAccessibleInterface* parent() const override { return parent_; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessible::Role role() const override { return QAccessible::PageTab; }
  void setText(QAccessible::Text, const QString&) override {}

  QString text(QAccessible::Text type) const override {
    if (!isValid()) return {};
    if (type == QAccessible::Name) return Bar()->tabText(index_).remove(QLatin1Char('&'));
    if (type == QAccessible::Description) return Bar()->tabToolTip(index_);
    return {};
  }

  QRect rect() const override {
    if (!isValid()) return {};
    const QRect tab = Bar()->tabRect(index_);
    return QRect(Bar()->mapToGlobal(tab.topLeft()), tab.size());
  }

  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    const QAccessible::State bar = parent_->state();
    s.invisible = bar.invisible || !Bar()->isTabVisible(index_);
    s.disabled = bar.disabled || !Bar()->isTabEnabled(index_);
    s.focusable = bar.focusable;
    s.selectable = true;
    const bool current = index_ == Bar()->currentIndex();
    s.selected = current;
    s.active = current;
    s.focused = current && Bar()->hasFocus();
    return s;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
  }

  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (name == pressAction() && isValid()) Bar()->setCurrentIndex(index_);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QTabBar* Bar() const { return parent_->Bar(); }

  BufferTabsAccessible* parent_;
  int index_;
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (className == QLatin1String(BufferTabBar::staticMetaObject.className()) && object &&
      object->isWidgetType()) {
    return new BufferTabsAccessible(static_cast<BufferTabBar*>(object));
  }
  return nullptr;
}

}  // namespace

BufferTabBar::BufferTabBar(QWidget* parent) : QTabBar(parent) {
  InstallBufferTabsAccessibility();
}

void BufferTabBar::focusInEvent(QFocusEvent* event) {
  QTabBar::focusInEvent(event);
  // A screen reader names the tab that now has the focus, not just the bar.
  if (QAccessible::isActive() && currentIndex() >= 0) {
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(currentIndex());
    QAccessible::updateAccessibility(&focus);
  }
}

BufferTabsAccessible::BufferTabsAccessible(BufferTabBar* bar)
    : QAccessibleWidget(bar, QAccessible::PageTabList) {}

BufferTabsAccessible::~BufferTabsAccessible() {
  for (QAccessible::Id id : children_) QAccessible::deleteAccessibleInterface(id);
}

QTabBar* BufferTabsAccessible::Bar() const {
  return static_cast<QTabBar*>(widget());
}

int BufferTabsAccessible::childCount() const {
  return Bar()->count();
}

QAccessibleInterface* BufferTabsAccessible::child(int index) const {
  if (index < 0 || index >= childCount()) return nullptr;
  while (static_cast<int>(children_.size()) <= index) {
    auto* tab = new BufferTabAccessible(const_cast<BufferTabsAccessible*>(this),
                                        static_cast<int>(children_.size()));
    children_.push_back(QAccessible::registerAccessibleInterface(tab));
  }
  return QAccessible::accessibleInterface(children_[static_cast<std::size_t>(index)]);
}

int BufferTabsAccessible::indexOfChild(const QAccessibleInterface* child) const {
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (QAccessible::accessibleInterface(children_[i]) == child) return static_cast<int>(i);
  }
  return -1;
}

QAccessibleInterface* BufferTabsAccessible::focusChild() const {
  return Bar()->hasFocus() ? child(Bar()->currentIndex()) : nullptr;
}

void InstallBufferTabsAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace kestrum
