// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed-pitch text view.
#include "gui/textview/text_view.hpp"

#include "gui/textview/text_view_accessible.hpp"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QUrl>

#include <algorithm>

namespace kestrum {
namespace {

constexpr int kBlinkMs = 530;
constexpr int kCaretWidth = 2;
constexpr int kDefaultColumns = 40;

}  // namespace

QFont FixedPitchFont() {
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPointSize(10);
  font.setHintingPreference(QFont::PreferFullHinting);
  if (!QFontInfo(font).fixedPitch()) {
    QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    system.setPointSize(10);
    return system;
  }
  return font;
}

TextView::TextView(QWidget* parent) : QAbstractScrollArea(parent) {
  InstallTextViewAccessibility();
  setFont(FixedPitchFont());
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  separatorColour_ = palette().color(QPalette::Text);
  UpdateMetrics();
}

TextView::~TextView() = default;

void TextView::UpdateMetrics() {
  const QFontMetrics metrics(font());
  charWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
  lineHeight_ = std::max(1, metrics.height());
  ascent_ = metrics.ascent();
  margin_ = charWidth_ / 2 + 4;
  // A run of text can be drawn at once when the font's advance is exactly the cell width;
  // otherwise each glyph is put in its own cell.
  const QString probe = QStringLiteral("0Wi.:\u00FF");
  exactGrid_ = metrics.horizontalAdvance(probe.repeated(8)) == 8 * probe.size() * charWidth_;
}

void TextView::SetSource(const LineSource* source) {
  source_ = source;
  Rebuild();
}

int TextView::LineCount() const {
  return source_ ? source_->LineCount() : 0;
}

QString TextView::LineText(int line) const {
  if (!source_ || line < 0 || line >= source_->LineCount()) return {};
  return source_->Line(line);
}

int TextView::LineLength(int line) const {
  if (!source_ || line < 0 || line >= source_->LineCount()) return 0;
  const int uniform = source_->UniformLineLength();
  return uniform >= 0 ? uniform : static_cast<int>(source_->Line(line).size());
}

int TextView::MaxLineLength() const {
  if (maxLineLength_ >= 0) return maxLineLength_;
  int longest = 0;
  if (source_) {
    const int uniform = source_->UniformLineLength();
    if (uniform >= 0) {
      longest = source_->LineCount() > 0 ? uniform : 0;
    } else {
      for (int i = 0; i < source_->LineCount(); ++i) {
        longest = std::max(longest, static_cast<int>(source_->Line(i).size()));
      }
    }
  }
  maxLineLength_ = longest;
  return longest;
}

const std::vector<int>& TextView::LineStarts() const {
  if (!lineStartsValid_) {
    lineStarts_.clear();
    const int count = LineCount();
    lineStarts_.reserve(static_cast<std::size_t>(count));
    int offset = 0;
    for (int i = 0; i < count; ++i) {
      lineStarts_.push_back(offset);
      offset += LineLength(i) + 1;
    }
    lineStartsValid_ = true;
  }
  return lineStarts_;
}

void TextView::Rebuild() {
  maxLineLength_ = -1;
  lineStartsValid_ = false;
  ClampCaret();
  UpdateScrollBars();
  viewport()->update();
  if (QAccessible::isActive()) {
    QAccessibleEvent event(this, QAccessible::TextUpdated);
    QAccessible::updateAccessibility(&event);
  }
}

void TextView::ReplaceLine(int line) {
  if (source_ && source_->UniformLineLength() < 0) {
    maxLineLength_ = -1;
    lineStartsValid_ = false;
    UpdateScrollBars();
  }
  const int first = FirstVisibleLine();
  if (line >= first && line <= first + VisibleLineCount()) {
    viewport()->update(0, (line - first) * lineHeight_, viewport()->width(), lineHeight_);
  }
  if (QAccessible::isActive()) {
    QAccessibleEvent event(this, QAccessible::TextUpdated);
    QAccessible::updateAccessibility(&event);
  }
}

void TextView::ClampCaret() {
  const int count = LineCount();
  const auto clamp = [&](int& line, int& column) {
    line = std::clamp(line, 0, std::max(count - 1, 0));
    column = std::clamp(column, 0, LineLength(line));
  };
  clamp(caretLine_, caretColumn_);
  clamp(anchorLine_, anchorColumn_);
}

void TextView::UpdateScrollBars() {
  const int visible = std::max(1, viewport()->height() / lineHeight_);
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, std::max(0, LineCount() - visible));
  v->setPageStep(visible);
  v->setSingleStep(1);
  const int contentWidth = 2 * margin_ + MaxLineLength() * charWidth_ + kCaretWidth;
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(0, contentWidth - viewport()->width()));
  h->setPageStep(viewport()->width());
  h->setSingleStep(charWidth_);
}

int TextView::FirstVisibleLine() const {
  return verticalScrollBar()->value();
}

int TextView::VisibleLineCount() const {
  return (viewport()->height() + lineHeight_ - 1) / lineHeight_;
}

QRect TextView::CharacterRect(int line, int column) const {
  const int x = margin_ + column * charWidth_ - horizontalScrollBar()->value();
  const int y = (line - FirstVisibleLine()) * lineHeight_;
  return {x, y, charWidth_, lineHeight_};
}

void TextView::PositionAt(const QPoint& point, int& line, int& column) const {
  const int count = LineCount();
  line = std::clamp(FirstVisibleLine() + point.y() / lineHeight_, 0, std::max(count - 1, 0));
  const int x = point.x() + horizontalScrollBar()->value() - margin_;
  // The caret goes to the nearer side of the character under the point.
  column = std::clamp((x + charWidth_ / 2) / charWidth_, 0, LineLength(line));
  if (x < 0) column = 0;
}

void TextView::SetCaret(int line, int column, bool extend) {
  MoveCaret(line, column, extend);
}

void TextView::MoveCaret(int line, int column, bool extend) {
  const bool hadSelection = HasSelection();
  const int oldLine = caretLine_;
  caretLine_ = line;
  caretColumn_ = column;
  if (!extend) {
    anchorLine_ = line;
    anchorColumn_ = column;
  }
  ClampCaret();
  if (!extend) {
    anchorLine_ = caretLine_;
    anchorColumn_ = caretColumn_;
  }
  RestartBlink();
  if (hadSelection || HasSelection()) {
    viewport()->update();
    emit SelectionChanged();
    if (QAccessible::isActive()) {
      QAccessibleTextSelectionEvent event(this, OffsetOf(anchorLine_, anchorColumn_),
                                          OffsetOf(caretLine_, caretColumn_));
      QAccessible::updateAccessibility(&event);
    }
  } else {
    UpdateCaretArea(oldLine);
    UpdateCaretArea(caretLine_);
  }
  EnsureCaretVisible();
  if (QAccessible::isActive()) {
    QAccessibleTextCursorEvent event(this, OffsetOf(caretLine_, caretColumn_));
    QAccessible::updateAccessibility(&event);
  }
  emit CaretMoved(caretLine_, caretColumn_);
}

void TextView::UpdateCaretArea(int line) {
  const int first = FirstVisibleLine();
  viewport()->update(0, (line - first) * lineHeight_, viewport()->width(), lineHeight_);
}

void TextView::EnsureCaretVisible() {
  QScrollBar* v = verticalScrollBar();
  const int visible = std::max(1, viewport()->height() / lineHeight_);
  if (caretLine_ < v->value()) v->setValue(caretLine_);
  if (caretLine_ >= v->value() + visible) v->setValue(caretLine_ - visible + 1);
  QScrollBar* h = horizontalScrollBar();
  const int x = margin_ + caretColumn_ * charWidth_;
  if (x - margin_ < h->value()) h->setValue(std::max(0, x - margin_));
  if (x + charWidth_ + margin_ > h->value() + viewport()->width()) {
    h->setValue(x + charWidth_ + margin_ - viewport()->width());
  }
}

bool TextView::HasSelection() const {
  return anchorLine_ != caretLine_ || anchorColumn_ != caretColumn_;
}

void TextView::SelectionRange(int& startLine, int& startColumn, int& endLine,
                              int& endColumn) const {
  const bool anchorFirst =
      anchorLine_ < caretLine_ || (anchorLine_ == caretLine_ && anchorColumn_ <= caretColumn_);
  startLine = anchorFirst ? anchorLine_ : caretLine_;
  startColumn = anchorFirst ? anchorColumn_ : caretColumn_;
  endLine = anchorFirst ? caretLine_ : anchorLine_;
  endColumn = anchorFirst ? caretColumn_ : anchorColumn_;
}

QString TextView::SelectedText() const {
  if (!HasSelection()) return {};
  int sl = 0, sc = 0, el = 0, ec = 0;
  SelectionRange(sl, sc, el, ec);
  return TextRange(OffsetOf(sl, sc), OffsetOf(el, ec));
}

void TextView::ClearSelection() {
  MoveCaret(caretLine_, caretColumn_, false);
}

void TextView::SelectAll() {
  const int last = std::max(LineCount() - 1, 0);
  anchorLine_ = 0;
  anchorColumn_ = 0;
  MoveCaret(last, LineLength(last), true);
}

void TextView::Copy() const {
  if (!HasSelection() || (handler_ && handler_->Copy(*this))) return;
  QApplication::clipboard()->setText(SelectedText());
}

int TextView::CharacterCount() const {
  const int count = LineCount();
  if (count == 0) return 0;
  return OffsetOf(count - 1, 0) + LineLength(count - 1);
}

int TextView::OffsetOf(int line, int column) const {
  if (!source_ || LineCount() == 0) return 0;
  const int uniform = source_->UniformLineLength();
  if (uniform >= 0) return line * (uniform + 1) + column;
  return LineStarts()[static_cast<std::size_t>(line)] + column;
}

void TextView::PositionOf(int offset, int& line, int& column) const {
  const int count = LineCount();
  if (count == 0) {
    line = column = 0;
    return;
  }
  offset = std::clamp(offset, 0, CharacterCount());
  const int uniform = source_->UniformLineLength();
  if (uniform >= 0) {
    line = std::min(offset / (uniform + 1), count - 1);
  } else {
    const std::vector<int>& starts = LineStarts();
    line =
        static_cast<int>(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) -
        1;
  }
  column = std::min(offset - OffsetOf(line, 0), LineLength(line));
}

QString TextView::TextRange(int startOffset, int endOffset) const {
  if (endOffset <= startOffset || LineCount() == 0) return {};
  int line = 0, column = 0, endLine = 0, endColumn = 0;
  PositionOf(startOffset, line, column);
  PositionOf(endOffset, endLine, endColumn);
  QString text;
  for (int l = line; l <= endLine; ++l) {
    const QString whole = LineText(l);
    const int from = l == line ? column : 0;
    const int to = l == endLine ? endColumn : static_cast<int>(whole.size());
    text += whole.mid(from, to - from);
    if (l != endLine) text += QLatin1Char('\n');
  }
  return text;
}

void TextView::SetSeparatorColour(const QColor& colour) {
  separatorColour_ = colour;
  viewport()->update();
}

void TextView::SetSeparatorColumns(QVector<int> columns) {
  separatorColumns_ = std::move(columns);
  viewport()->update();
}

void TextView::SetMarking(const TextMarking& marking) {
  marking_ = marking;
  viewport()->update();
}

void TextView::SetFileDropEnabled(bool enabled) {
  setAcceptDrops(enabled);
  viewport()->setAcceptDrops(enabled);
}

int TextView::WidthForColumns(int columns) const {
  return 2 * margin_ + columns * charWidth_ + kCaretWidth + 2 * frameWidth() +
         verticalScrollBar()->sizeHint().width();
}

void TextView::SetPreferredLines(int lines) {
  preferredLines_ = lines;
  updateGeometry();
}

void TextView::SetPreferredColumns(int columns) {
  preferredColumns_ = columns;
  updateGeometry();
}

QSize TextView::sizeHint() const {
  const int columns = preferredColumns_ > 0 ? preferredColumns_
                      : MaxLineLength() > 0 ? MaxLineLength()
                                            : kDefaultColumns;
  return {WidthForColumns(columns), preferredLines_ * lineHeight_ + 2 * frameWidth()};
}

QSize TextView::minimumSizeHint() const {
  return {10 * charWidth_ + 2 * frameWidth(), 3 * lineHeight_ + 2 * frameWidth()};
}

void TextView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.setFont(font());
  const QPalette& pal = palette();
  const bool enabled = isEnabled();
  const QColor textColour =
      pal.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::Text);
  const int first = FirstVisibleLine();
  const int count = LineCount();
  const int last = std::min(count - 1, first + VisibleLineCount());
  const int xOffset = margin_ - horizontalScrollBar()->value();
  const QRect area = event->rect();

  // The marking band, over the lines there are.
  if (marking_.Columns > 0 && count > 0) {
    const int radius = marking_.CornerRadiusPx;
    const int top = first == 0 ? 0 : -radius - 1;
    const int linesBottom = (count - first) * lineHeight_;
    const int bottom =
        linesBottom <= viewport()->height() ? linesBottom : viewport()->height() + radius + 1;
    const QRectF band(xOffset + marking_.FirstColumn * charWidth_ - marking_.PaddingPx, top,
                      marking_.Columns * charWidth_ + 2 * marking_.PaddingPx, bottom - top);
    QColor background = marking_.Background;
    background.setAlpha(110);  // a tint, so the text on it stays easy to read
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(band, radius, radius);
    painter.setRenderHint(QPainter::Antialiasing, false);
  }

  int sl = 0, sc = 0, el = 0, ec = 0;
  const bool selection = HasSelection();
  if (selection) SelectionRange(sl, sc, el, ec);
  const QColor highlight = pal.color(QPalette::Highlight);
  const QColor highlightText = pal.color(QPalette::HighlightedText);

  for (int line = first; line <= last; ++line) {
    const int y = (line - first) * lineHeight_;
    if (y > area.bottom() || y + lineHeight_ < area.top()) continue;
    const QString text = source_->Line(line);
    const int length = static_cast<int>(text.size());
    int selFrom = -1, selTo = -1;
    if (selection && line >= sl && line <= el) {
      selFrom = line == sl ? sc : 0;
      // A selection that goes on past this line covers its line break too.
      selTo = line == el ? ec : length + 1;
      painter.fillRect(xOffset + selFrom * charWidth_, y, (selTo - selFrom) * charWidth_,
                       lineHeight_, highlight);
    }
    // Separator rules for blank separator columns.
    for (int column : separatorColumns_) {
      if (column < length && text.at(column) == QLatin1Char(' ') &&
          !(column >= selFrom && column < selTo)) {
        const int x = xOffset + column * charWidth_ + charWidth_ / 2;
        painter.setPen(separatorColour_);
        painter.drawLine(x, y, x, y + lineHeight_ - 1);
      }
    }
    // The text in runs of one colour, each placed at its own column so the grid stays exact.
    int runStart = 0;
    QColor runColour;
    const auto colourAt = [&](int column) {
      if (column >= selFrom && column < selTo) return highlightText;
      if (marking_.Columns > 0 && column >= marking_.FirstColumn &&
          column < marking_.FirstColumn + marking_.Columns && enabled) {
        return marking_.Foreground;
      }
      if (separatorColumns_.contains(column) && enabled) return separatorColour_;
      return textColour;
    };
    for (int column = 0; column <= length; ++column) {
      const QColor colour = column < length ? colourAt(column) : QColor();
      if (column == length || (column > runStart && colour != runColour)) {
        if (column > runStart) {
          painter.setPen(runColour);
          const QString run = text.mid(runStart, column - runStart);
          if (exactGrid_) {
            painter.drawText(xOffset + runStart * charWidth_, y + ascent_, run);
          } else {
            for (int i = 0; i < run.size(); ++i) {
              painter.drawText(xOffset + (runStart + i) * charWidth_, y + ascent_, run.mid(i, 1));
            }
          }
        }
        runStart = column;
      }
      runColour = colour;
    }
  }

  if (hasFocus() && caretVisible_ && enabled && caretLine_ >= first && caretLine_ <= last) {
    painter.fillRect(xOffset + caretColumn_ * charWidth_, (caretLine_ - first) * lineHeight_,
                     kCaretWidth, lineHeight_, textColour);
  }
}

void TextView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void TextView::scrollContentsBy(int /*dx*/, int /*dy*/) {
  viewport()->update();
}

void TextView::keyPressEvent(QKeyEvent* event) {
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const bool control = event->modifiers() & Qt::ControlModifier;
  const int visible = std::max(1, viewport()->height() / lineHeight_);
  const int last = std::max(LineCount() - 1, 0);
  int line = caretLine_;
  int column = caretColumn_;
  bool move = true;
  switch (event->key()) {
    case Qt::Key_Left:
      if (column > 0) {
        --column;
      } else if (line > 0) {
        --line;
        column = LineLength(line);
      }
      break;
    case Qt::Key_Right:
      if (column < LineLength(line)) {
        ++column;
      } else if (line < last) {
        ++line;
        column = 0;
      }
      break;
    case Qt::Key_Up:
      line = std::max(0, line - 1);
      break;
    case Qt::Key_Down:
      line = std::min(last, line + 1);
      break;
    case Qt::Key_PageUp:
      line = std::max(0, line - visible);
      break;
    case Qt::Key_PageDown:
      line = std::min(last, line + visible);
      break;
    case Qt::Key_Home:
      if (control) line = 0;
      column = 0;
      break;
    case Qt::Key_End:
      if (control) line = last;
      column = LineLength(line);
      break;
    default:
      move = false;
      break;
  }
  if (move) {
    MoveCaret(line, std::min(column, LineLength(line)), shift);
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::Copy)) {
    Copy();
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::Paste) && handler_) {
    handler_->Paste(*this);
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Escape) {
    if (handler_) {
      handler_->Typed(*this, 27);
    } else {
      ClearSelection();
    }
    event->accept();
    return;
  }
  const QString text = event->text();
  const bool chord =
      event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (handler_ && !text.isEmpty() && !chord && event->key() != Qt::Key_Tab &&
      event->key() != Qt::Key_Backtab) {
    for (char32_t key : text.toUcs4()) handler_->Typed(*this, key);
    event->accept();
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void TextView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  int line = 0, column = 0;
  PositionAt(event->position().toPoint(), line, column);
  MoveCaret(line, column, event->modifiers() & Qt::ShiftModifier);
  selecting_ = true;
  event->accept();
}

void TextView::mouseMoveEvent(QMouseEvent* event) {
  if (!selecting_ || !(event->buttons() & Qt::LeftButton)) return;
  const QPoint point = event->position().toPoint();
  // Dragging past the top or bottom scrolls a line at a time.
  if (point.y() < 0) verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
  if (point.y() > viewport()->height()) {
    verticalScrollBar()->setValue(verticalScrollBar()->value() + 1);
  }
  int line = 0, column = 0;
  PositionAt(point, line, column);
  MoveCaret(line, column, true);
}

void TextView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  selecting_ = false;
  event->accept();
}

void TextView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // The second press of a double click comes as this event alone: it places the caret too.
  int line = 0, column = 0;
  PositionAt(event->position().toPoint(), line, column);
  MoveCaret(line, column, false);
  emit DoubleClicked(caretLine_, caretColumn_);
  event->accept();
}

void TextView::RestartBlink() {
  caretVisible_ = true;
  if (blinkTimer_ != 0) killTimer(blinkTimer_);
  blinkTimer_ = 0;
  // The caret blinks only where it is seen: in the focused view of an enabled window.
  if (hasFocus() && isEnabled()) blinkTimer_ = startTimer(kBlinkMs);
}

void TextView::timerEvent(QTimerEvent* event) {
  if (event->timerId() != blinkTimer_) {
    QAbstractScrollArea::timerEvent(event);
    return;
  }
  caretVisible_ = !caretVisible_;
  UpdateCaretArea(caretLine_);
}

void TextView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  RestartBlink();
  UpdateCaretArea(caretLine_);
}

void TextView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  RestartBlink();
  UpdateCaretArea(caretLine_);
}

void TextView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    UpdateMetrics();
    Rebuild();
  }
  if (event->type() == QEvent::EnabledChange) RestartBlink();
}

void TextView::dragEnterEvent(QDragEnterEvent* event) {
  if (acceptDrops() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TextView::dragMoveEvent(QDragMoveEvent* event) {
  if (acceptDrops() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TextView::dropEvent(QDropEvent* event) {
  if (!acceptDrops()) return;
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  emit FilesDropped(paths);
}

}  // namespace kestrum
