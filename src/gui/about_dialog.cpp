// The about box.
#include "gui/about_dialog.hpp"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
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
  mail_ = new HyperlinkLabel(Utf8(text::kAboutMailText), QUrl(Utf8(text::kAboutMailLink)));
  home_ = new HyperlinkLabel(Utf8(text::kAboutHomeText), homePage);
  auto* ok = new QPushButton(Utf8(text::kOk));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(version);
  texts->addWidget(author);
  texts->addSpacing(6);
  texts->addWidget(description);
  texts->addSpacing(6);
  texts->addWidget(mail_);
  texts->addWidget(home_);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kestrum
