// SPDX-License-Identifier: GPL-3.0-or-later
// The about box.
#include "gui/about_dialog.hpp"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/byte_text.hpp"
#include "gui/desktop_links.hpp"
#include "gui/icons.hpp"
#include "gui/texts.hpp"

namespace kestrum {

AboutDialog::AboutDialog(const QUrl& homePage, QWidget* parent) : QDialog(parent) {
  setWindowTitle(Utf8(text::kAboutTitle));
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint |
                 Qt::WindowCloseButtonHint);
  auto* icon = new QLabel;
  icon->setPixmap(ProgramIcon().pixmap(64, 64));
  auto* version = new QLabel(Utf8(text::kAboutVersion));
  QFont bold = version->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.25);
  version->setFont(bold);
  auto* author = new QLabel(Utf8(text::kAboutAuthor));
  auto* description = new QLabel(Utf8(text::kAboutDescription));
  description->setWordWrap(true);
  description->setMinimumWidth(320);
  auto* licence = new QLabel(Utf8(text::kAboutLicence));
  licence->setWordWrap(true);
  licence_ = new HyperlinkLabel(Utf8(text::kAboutLicenceText), QUrl(Utf8(text::kAboutLicenceLink)));
  mail_ = new HyperlinkLabel(Utf8(text::kAboutMailText), QUrl(Utf8(text::kAboutMailLink)));
  home_ = new HyperlinkLabel(Utf8(text::kAboutHomeText), homePage);
  auto* ok = new QPushButton(Utf8(text::kOk));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  aboutQt_ = new QPushButton(Utf8(text::kAboutQt));
  aboutQt_->setAutoDefault(false);
  connect(aboutQt_, &QPushButton::clicked, this, [this] { QMessageBox::aboutQt(this); });

  auto* texts = new QVBoxLayout;
  texts->addWidget(version);
  texts->addWidget(author);
  texts->addSpacing(6);
  texts->addWidget(description);
  texts->addSpacing(6);
  texts->addWidget(licence);
  texts->addWidget(licence_);
  texts->addSpacing(6);
  texts->addWidget(mail_);
  texts->addWidget(home_);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(aboutQt_);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kestrum
