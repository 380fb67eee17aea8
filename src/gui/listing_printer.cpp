// SPDX-License-Identifier: GPL-3.0-or-later
// The listing on paper and in PDF files.
#include "gui/listing_printer.hpp"

#include <QDateTime>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <cstdlib>
#include <memory>

#include "gui/byte_text.hpp"
#include "gui/texts.hpp"
#include "gui/textview/text_view.hpp"

namespace kestrum {

PrintMoment CurrentPrintMoment() {
  const QDateTime now = QDateTime::currentDateTime();
  const QLocale locale = QLocale::system();
  return {locale.toString(now.date(), QLocale::ShortFormat).toStdString(),
          locale.toString(now.time(), QLocale::ShortFormat).toStdString()};
}

int PaintListing(const PrintJob& job, QPagedPaintDevice& device, const QFont& font,
                 const PrintMoment& moment) {
  // The margins are thousandths of an inch.
  const qreal margin = job.Margin * 25.4 / 1000.0;
  device.setPageMargins(QMarginsF(margin, margin, margin, margin), QPageLayout::Millimeter);
  QPainter painter;
  if (!painter.begin(&device)) return 0;
  painter.setFont(font);
  const QFontMetricsF metrics(painter.font(), &device);
  const qreal lineHeight = metrics.lineSpacing();
  // The painter's origin is the printable area's corner.
  const QRect printable = device.pageLayout().paintRectPixels(device.logicalDpiY());
  const QRectF area(0, 0, printable.width(), printable.height());
  const int linesPerPage = std::max(1, static_cast<int>(area.height() / lineHeight));
  const std::vector<PrintedPage> pages = Paginate(job, linesPerPage, moment);

  const auto drawLine = [&](const std::string& text, PrintAlign align, int row) {
    const QRectF box(0, row * lineHeight, area.width(), lineHeight);
    const Qt::Alignment flags = align == PrintAlign::Right    ? Qt::AlignRight
                                : align == PrintAlign::Centre ? Qt::AlignHCenter
                                                              : Qt::AlignLeft;
    // Long lines are cut at the right margin.
    painter.drawText(box, static_cast<int>(flags | Qt::AlignVCenter | Qt::TextSingleLine),
                     Utf8(text));
  };
  int painted = 0;
  for (int copy = 0; copy < std::max(1, job.Copies); ++copy) {
    for (const PrintedPage& page : pages) {
      if (painted > 0) device.newPage();
      painter.save();
      painter.setClipRect(area);
      int row = 0;
      for (const PrintLine& line : page.Header) drawLine(line.Text, line.Align, row++);
      for (const std::string& line : page.Body) drawLine(line, PrintAlign::Left, row++);
      // The footer sits at the foot of every page.
      row = linesPerPage - static_cast<int>(page.Footer.size());
      for (const PrintLine& line : page.Footer) drawLine(line.Text, line.Align, row++);
      painter.restore();
      ++painted;
    }
  }
  painter.end();
  return painted;
}

bool WritePdfListing(const PrintJob& job, const std::string& path, Ui& ui) {
  // Fonts need a graphics context; a run without the window makes one that needs no display.
  std::unique_ptr<QGuiApplication> context;
  static int argc = 1;
  static char name[] = "kestrum";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) {
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr &&
        std::getenv("QT_QPA_PLATFORM") == nullptr) {
      setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    context = std::make_unique<QGuiApplication>(argc, argv);
  }
  // Written beside the target and put in its place only when complete: a failed print leaves
  // no partial PDF, and an older file as it was.
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    ui.Message(MessageKind::Error,
               std::string(text::kPrintFailed) + path + ": " + file.errorString().toStdString());
    return false;
  }
  int pages = 0;
  {
    QPdfWriter writer(&file);
    writer.setTitle(Utf8(job.Title));
    writer.setCreator(Utf8(job.Title));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(600);
    pages = PaintListing(job, writer, FixedPitchFont(), CurrentPrintMoment());
  }
  if (pages == 0 || file.error() != QFileDevice::NoError || !file.commit()) {
    ui.Message(MessageKind::Error,
               std::string(text::kPrintFailed) + path + ": " + file.errorString().toStdString());
    file.cancelWriting();
    return false;
  }
  return true;
}

}  // namespace kestrum
