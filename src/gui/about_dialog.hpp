// The "About Kestrum" box: the program's icon, version, author and two links.
#pragma once

#include <QDialog>
#include <QUrl>

namespace kestrum {

class HyperlinkLabel;

class AboutDialog final : public QDialog {
  Q_OBJECT

 public:
  // `homePage` is the help's front page (the program has no web site of its own to open).
  AboutDialog(const QUrl& homePage, QWidget* parent = nullptr);
  HyperlinkLabel* MailLink() const { return mail_; }
  HyperlinkLabel* HomeLink() const { return home_; }

 private:
  HyperlinkLabel* mail_ = nullptr;
  HyperlinkLabel* home_ = nullptr;
};

}  // namespace kestrum
