// SPDX-License-Identifier: GPL-3.0-or-later
// Links to the desktop.
#include "gui/desktop_links.hpp"

#include <QDesktopServices>

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
    : QLabel(parent), link_(std::move(link)) {
  setTextFormat(Qt::RichText);
  setText(QStringLiteral("<a href=\"%1\">%2</a>")
              .arg(link_.toString(QUrl::FullyEncoded).toHtmlEscaped(), text.toHtmlEscaped()));
  setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  setOpenExternalLinks(false);
  setToolTip(link_.toDisplayString());
  setAccessibleName(text);
  connect(this, &QLabel::linkActivated, this, [this] { OpenUrl(link_); });
}

}  // namespace kestrum
