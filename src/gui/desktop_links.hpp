// SPDX-License-Identifier: GPL-3.0-or-later
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

// A label that is a link, drawn and handled as the desktop's links are: in the palette's link
// colour and underlined, the pointing hand over it, reachable with Tab and opened with Enter
// or a click, which hand the link to the desktop.
class HyperlinkLabel final : public QLabel {
  Q_OBJECT

 public:
  HyperlinkLabel(const QString& text, QUrl link, QWidget* parent = nullptr);
  const QUrl& Link() const { return link_; }

 private:
  QUrl link_;
};

}  // namespace kestrum
