// SPDX-License-Identifier: GPL-3.0-or-later
// The "About Kestrum" box: the program's icon, version, author, licence, links, and Qt's own
// about box.
#pragma once

#include <QDialog>
#include <QUrl>

class QPushButton;

namespace kestrum {

class HyperlinkLabel;

class AboutDialog final : public QDialog {
  Q_OBJECT

 public:
  // `homePage` is the help's front page (the program has no web site of its own to open).
  AboutDialog(const QUrl& homePage, QWidget* parent = nullptr);
  HyperlinkLabel* MailLink() const { return mail_; }
  HyperlinkLabel* HomeLink() const { return home_; }
  HyperlinkLabel* LicenceLink() const { return licence_; }
  QPushButton* AboutQtButton() const { return aboutQt_; }

 private:
  HyperlinkLabel* licence_ = nullptr;
  QPushButton* aboutQt_ = nullptr;
  HyperlinkLabel* mail_ = nullptr;
  HyperlinkLabel* home_ = nullptr;
};

}  // namespace kestrum
