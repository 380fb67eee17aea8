// Handing links to the desktop (the help pages, the about box's links), replaceable in tests;
// and the hyperlink label of the about box.
#pragma once

#include <QLabel>
#include <QUrl>

#include <functional>

namespace kestrum {

using UrlOpener = std::function<bool(const QUrl&)>;
// Replaces QDesktopServices::openUrl (empty: back to it).
void SetUrlOpener(UrlOpener opener);
bool OpenUrl(const QUrl& url);

// A label that is a link: the pointing hand over it, underlined and blue while the mouse is
// over it, its own look again when it leaves; a click hands the link to the desktop.
class HyperlinkLabel final : public QLabel {
  Q_OBJECT

 public:
  HyperlinkLabel(const QString& text, QUrl link, QWidget* parent = nullptr);
  const QUrl& Link() const { return link_; }
  bool Hovered() const { return hovered_; }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void SetHovered(bool hovered);

  QUrl link_;
  QFont ownFont_;
  QPalette ownPalette_;
  bool hovered_ = false;
};

}  // namespace kestrum
