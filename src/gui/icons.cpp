// SPDX-License-Identifier: GPL-3.0-or-later
// Tool bar icons: simple line drawings on a 24-unit grid, in the palette's text colour with
// one accent colour per kind of command.
#include "gui/icons.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace kestrum {
namespace {

// The outline and chip colours for the palette being drawn for (light by default); icons are
// drawn on the window thread only.
QColor ink(0x37, 0x3d, 0x48);
QColor chipBody(0x4a, 0x51, 0x5e);

const QColor kBlue(0x1f, 0x6f, 0xd1);
const QColor kGreen(0x2e, 0x8b, 0x3e);
const QColor kRed(0xc0, 0x39, 0x2b);
const QColor kAmber(0xd9, 0x8e, 0x04);
const QColor kPaper(0xfd, 0xfd, 0xfb);

void Pen(QPainter& p, const QColor& colour, qreal width = 1.6) {
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

// A DIP package seen from above, with legs on both long sides.
void Chip(QPainter& p, const QRectF& body) {
  Pen(p, ink, 1.2);
  for (int i = 0; i < 4; ++i) {
    const qreal y = body.top() + 2.2 + i * (body.height() - 4.4) / 3;
    p.drawLine(QPointF(body.left() - 2.2, y), QPointF(body.left(), y));
    p.drawLine(QPointF(body.right(), y), QPointF(body.right() + 2.2, y));
  }
  p.setPen(Qt::NoPen);
  p.setBrush(chipBody);
  p.drawRoundedRect(body, 1.2, 1.2);
  p.setBrush(QColor(0xff, 0xff, 0xff, 90));
  p.drawEllipse(QPointF(body.center().x(), body.top() + 2.0), 1.1, 1.1);
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
  Pen(p, colour, 2.2);
  p.drawLine(from, to);
  const QPointF d = to - from;
  const qreal length = std::hypot(d.x(), d.y());
  const QPointF u = d / length;
  const QPointF n(-u.y(), u.x());
  QPainterPath head;
  head.moveTo(to + u * 1.5);
  head.lineTo(to - u * 3.5 + n * 3.4);
  head.lineTo(to - u * 3.5 - n * 3.4);
  head.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPath(head);
}

void Folder(QPainter& p) {
  QPainterPath back;
  back.moveTo(2.5, 6);
  back.lineTo(9, 6);
  back.lineTo(11, 8);
  back.lineTo(21, 8);
  back.lineTo(21, 19.5);
  back.lineTo(2.5, 19.5);
  back.closeSubpath();
  Pen(p, ink, 1.2);
  p.setBrush(QColor(0xf2, 0xc2, 0x4e));
  p.drawPath(back);
  QPainterPath front;
  front.moveTo(2.5, 19.5);
  front.lineTo(5, 11);
  front.lineTo(22.5, 11);
  front.lineTo(21, 19.5);
  front.closeSubpath();
  p.setBrush(QColor(0xf7, 0xd6, 0x7a));
  p.drawPath(front);
}

void Disk(QPainter& p) {
  Pen(p, ink, 1.2);
  p.setBrush(kBlue);
  QPainterPath body;
  body.moveTo(4, 3.5);
  body.lineTo(17.5, 3.5);
  body.lineTo(20.5, 6.5);
  body.lineTo(20.5, 20.5);
  body.lineTo(4, 20.5);
  body.closeSubpath();
  p.drawPath(body);
  p.setBrush(kPaper);
  p.drawRect(QRectF(7, 3.5, 9, 6));
  p.drawRect(QRectF(6.5, 13, 11.5, 7.5));
  p.setBrush(ink);
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(12.5, 4.5, 2.2, 4));
}

void Gear(QPainter& p) {
  const QPointF c(12, 12);
  QPainterPath gear;
  const int teeth = 8;
  for (int i = 0; i < teeth * 2; ++i) {
    const qreal a0 = (i - 0.35) * M_PI / teeth;
    const qreal a1 = (i + 0.35) * M_PI / teeth;
    const qreal r = i % 2 == 0 ? 9.5 : 7.2;
    const QPointF p0 = c + QPointF(std::cos(a0) * r, std::sin(a0) * r);
    const QPointF p1 = c + QPointF(std::cos(a1) * r, std::sin(a1) * r);
    if (i == 0) {
      gear.moveTo(p0);
    } else {
      gear.lineTo(p0);
    }
    gear.lineTo(p1);
  }
  gear.closeSubpath();
  gear.addEllipse(c, 3.2, 3.2);
  gear.setFillRule(Qt::OddEvenFill);
  Pen(p, ink, 1.1);
  p.setBrush(QColor(0x8a, 0x93, 0xa3));
  p.drawPath(gear);
}

void Board(QPainter& p) {
  // A programmer board with its serial plug.
  Pen(p, ink, 1.2);
  p.setBrush(kGreen);
  p.drawRoundedRect(QRectF(2.5, 6, 13.5, 13), 1.5, 1.5);
  p.setBrush(chipBody);
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(5, 9, 5, 7));
  p.setBrush(kAmber);
  p.drawEllipse(QPointF(13, 9.5), 1.2, 1.2);
  Pen(p, ink, 1.2);
  p.setBrush(QColor(0xb8, 0xbe, 0xc8));
  QPainterPath plug;
  plug.moveTo(16, 9);
  plug.lineTo(21.5, 10);
  plug.lineTo(21.5, 15);
  plug.lineTo(16, 16);
  plug.closeSubpath();
  p.drawPath(plug);
}

void Card(QPainter& p) {
  Pen(p, ink, 1.2);
  p.setBrush(kPaper);
  p.drawRoundedRect(QRectF(2.5, 5.5, 19, 13.5), 2, 2);
  p.setBrush(kAmber);
  p.drawRoundedRect(QRectF(5, 9, 5.5, 4.5), 1, 1);
  // The wizard's star.
  QPainterPath star;
  const QPointF c(16.5, 12.5);
  for (int i = 0; i < 10; ++i) {
    const qreal r = i % 2 == 0 ? 4.2 : 1.8;
    const qreal a = -M_PI / 2 + i * M_PI / 5;
    const QPointF pt = c + QPointF(std::cos(a) * r, std::sin(a) * r);
    if (i == 0) {
      star.moveTo(pt);
    } else {
      star.lineTo(pt);
    }
  }
  star.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawPath(star);
}

void Page(QPainter& p, const QString& label, const QColor& colour) {
  Pen(p, ink, 1.2);
  p.setBrush(kPaper);
  p.drawRoundedRect(QRectF(3, 2.5, 18, 19), 1.5, 1.5);
  Pen(p, QColor(0xa9, 0xb0, 0xbb), 1.0);
  for (int i = 0; i < 3; ++i) p.drawLine(QPointF(6, 14.5 + i * 2.3), QPointF(18, 14.5 + i * 2.3));
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setBold(true);
  font.setPixelSize(8);
  p.setFont(font);
  p.setPen(colour);
  p.drawText(QRectF(3, 3.5, 18, 9), Qt::AlignCenter, label);
}

void Help(QPainter& p) {
  Pen(p, ink, 1.2);
  p.setBrush(kBlue);
  p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setBold(true);
  font.setPixelSize(14);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(2.5, 2.5, 19, 19), Qt::AlignCenter, QStringLiteral("?"));
}

void Draw(QPainter& p, ToolIcon icon) {
  const QRectF chip(6.5, 8, 8, 12);
  switch (icon) {
    case ToolIcon::Open:
      Folder(p);
      break;
    case ToolIcon::Save:
      Disk(p);
      break;
    case ToolIcon::ReadAll:
      Chip(p, chip);
      Arrow(p, QPointF(18.5, 15), QPointF(18.5, 3.5), kBlue);
      break;
    case ToolIcon::ProgramAll:
      Chip(p, chip);
      Arrow(p, QPointF(18.5, 2.5), QPointF(18.5, 14), kRed);
      break;
    case ToolIcon::Verify: {
      Chip(p, chip);
      Pen(p, kGreen, 2.6);
      QPainterPath tick;
      tick.moveTo(13.5, 8);
      tick.lineTo(16.5, 11.5);
      tick.lineTo(22, 3.5);
      p.setBrush(Qt::NoBrush);
      p.drawPath(tick);
      break;
    }
    case ToolIcon::EraseAll: {
      Chip(p, chip);
      p.save();
      p.translate(17.5, 7);
      p.rotate(-40);
      Pen(p, ink, 1.1);
      p.setBrush(QColor(0xf0, 0x8a, 0x9a));
      p.drawRoundedRect(QRectF(-2.6, -6, 5.2, 8), 1, 1);
      p.setBrush(kPaper);
      p.drawRoundedRect(QRectF(-2.6, 2, 5.2, 3.5), 1, 1);
      p.restore();
      break;
    }
    case ToolIcon::Hardware:
      Board(p);
      break;
    case ToolIcon::Options:
      Gear(p);
      break;
    case ToolIcon::SmartcardWizard:
      Card(p);
      break;
    case ToolIcon::HexView:
      Page(p, QStringLiteral("0F"), kBlue);
      break;
    case ToolIcon::AssemblerView:
      Page(p, QStringLiteral("ASM"), kGreen);
      break;
    case ToolIcon::Help:
      Help(p);
      break;
  }
}

}  // namespace

QIcon MakeToolIcon(ToolIcon icon, bool onDark) {
  ink = onDark ? QColor(0xd8, 0xdc, 0xe3) : QColor(0x37, 0x3d, 0x48);
  chipBody = onDark ? QColor(0x9a, 0xa3, 0xb3) : QColor(0x4a, 0x51, 0x5e);
  QIcon result;
  for (int size : {24, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.scale(size / 24.0, size / 24.0);
    Draw(painter, icon);
    painter.end();
    result.addPixmap(pixmap);
  }
  return result;
}

}  // namespace kestrum

namespace kestrum {

QIcon ProgramIcon() {
  return MakeToolIcon(ToolIcon::ProgramAll);
}

}  // namespace kestrum
