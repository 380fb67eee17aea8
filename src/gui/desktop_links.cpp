// Links to the desktop.
#include "gui/desktop_links.hpp"

#include <QDesktopServices>
#include <QMouseEvent>

namespace kestrum {
namespace {

UrlOpener& Opener() {
  static UrlOpener opener;
  return opener;
}

}  // namespace

void SetUrlOpener(UrlOpener opener) {
  Opener() = std::move(opener);
}

bool OpenUrl(const QUrl& url) {
  if (Opener()) return Opener()(url);
  return QDesktopServices::openUrl(url);
}

HyperlinkLabel::HyperlinkLabel(const QString& text, QUrl link, QWidget* parent)
    : QLabel(text, parent), link_(std::move(link)) {
  setCursor(Qt::PointingHandCursor);
  setTextFormat(Qt::PlainText);
  setToolTip(link_.toDisplayString());
  ownFont_ = font();
  ownPalette_ = palette();
}

void HyperlinkLabel::SetHovered(bool hovered) {
  hovered_ = hovered;
  if (hovered) {
    QFont underlined = ownFont_;
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette blue = ownPalette_;
    blue.setColor(QPalette::WindowText, Qt::blue);
    setPalette(blue);
  } else {
    setFont(ownFont_);
    setPalette(ownPalette_);
  }
}

void HyperlinkLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  SetHovered(true);
}

void HyperlinkLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  SetHovered(false);
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    OpenUrl(link_);
  }
}

}  // namespace kestrum
