// SPDX-License-Identifier: GPL-3.0-or-later
// A fixed-pitch text view written for this program: a scroll area that asks a line source for
// the text of the lines it paints and paints only the visible ones, so a view of 8192 lines
// costs what one of 128 does. It has a caret by line and column, a selection, copy to the
// clipboard, and one-line replacement (the source changed one line: that line is repainted).
// Typed keys go to an input handler; without one the view is read-only.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QString>
#include <QVector>

#include <vector>

namespace kestrum {

class TextView;

// Where the lines come from. Line() is called for visible lines only (and for copied or
// read-out ranges).
class LineSource {
 public:
  virtual ~LineSource() = default;
  virtual int LineCount() const = 0;
  virtual QString Line(int line) const = 0;
  // Every line has this length, or -1 when lengths differ (then Line() is asked).
  virtual int UniformLineLength() const { return -1; }
};

// A source holding its lines (the assembler listing, tests).
class StringListSource final : public LineSource {
 public:
  void SetLines(QStringList lines) { lines_ = std::move(lines); }
  int LineCount() const override { return static_cast<int>(lines_.size()); }
  QString Line(int line) const override { return lines_.at(line); }

 private:
  QStringList lines_;
};

// What typing in an editable view does.
class TextInputHandler {
 public:
  virtual ~TextInputHandler() = default;
  // One character typed at the caret (Esc arrives as 27). The handler moves the caret.
  virtual void Typed(TextView& view, char32_t key) = 0;
  // The paste key (Ctrl+V, Shift+Insert).
  virtual void Paste(TextView& view) = 0;
  // Copy of the selection (the copy key and Copy()); false leaves it to the view, which
  // copies the selected text.
  virtual bool Copy(const TextView& /*view*/) { return false; }
};

// A band behind a run of columns, with its own text colour; all zero draws nothing.
struct TextMarking {
  int FirstColumn = 0;
  int Columns = 0;
  QColor Background;
  QColor Foreground;
  int PaddingPx = 0;       // the band reaches this far beyond its columns on either side
  int CornerRadiusPx = 0;  // of the band's corners
  bool operator==(const TextMarking&) const = default;
};

class TextView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TextView(QWidget* parent = nullptr);
  ~TextView() override;

  void SetSource(const LineSource* source);
  const LineSource* Source() const { return source_; }
  void SetInputHandler(TextInputHandler* handler) { handler_ = handler; }
  bool IsReadOnly() const { return handler_ == nullptr; }

  // The whole content changed (a new device, a load, a fill): line count, scroll range and
  // caret are brought in line and the view repainted.
  void Rebuild();
  // One line's text changed.
  void ReplaceLine(int line);

  int LineCount() const;
  QString LineText(int line) const;
  int LineLength(int line) const;

  // Caret, line and column from 0; the column may be the line's length (its end).
  int CaretLine() const { return caretLine_; }
  int CaretColumn() const { return caretColumn_; }
  // Moves the caret; with `extend` the selection grows from its anchor, else it is cleared.
  void SetCaret(int line, int column, bool extend = false);
  void EnsureCaretVisible();

  bool HasSelection() const;
  // Start and end of the selection as (line, column), start before end.
  void SelectionRange(int& startLine, int& startColumn, int& endLine, int& endColumn) const;
  QString SelectedText() const;
  void ClearSelection();
  void SelectAll();
  void Copy() const;

  // The whole text with '\n' between lines, and positions in it (for screen readers).
  int CharacterCount() const;
  QString TextRange(int startOffset, int endOffset) const;
  int OffsetOf(int line, int column) const;
  void PositionOf(int offset, int& line, int& column) const;

  // The separator columns (from 0) are drawn in the separator colour; a blank one as a rule.
  void SetSeparatorColour(const QColor& colour);
  void SetSeparatorColumns(QVector<int> columns);
  void SetMarking(const TextMarking& marking);
  const TextMarking& Marking() const { return marking_; }
  QColor SeparatorColour() const { return separatorColour_; }

  // Files may be dropped on the view (their local paths arrive through FilesDropped).
  void SetFileDropEnabled(bool enabled);

  // Geometry in the viewport, for painting and hit tests.
  int CharWidth() const { return charWidth_; }
  int LineHeight() const { return lineHeight_; }
  // The lines and columns the view asks for in a layout (10 lines, and its longest line or
  // 40 columns, unless set).
  void SetPreferredLines(int lines);
  void SetPreferredColumns(int columns);
  QRect CharacterRect(int line, int column) const;
  // The caret position nearest to a viewport point.
  void PositionAt(const QPoint& point, int& line, int& column) const;
  int FirstVisibleLine() const;
  int VisibleLineCount() const;

  // The width that shows `columns` characters of every line without scrolling.
  int WidthForColumns(int columns) const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void CaretMoved(int line, int column);
  void SelectionChanged();
  // A double click; the caret is at the click.
  void DoubleClicked(int line, int column);
  void FilesDropped(const QStringList& paths);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateMetrics();
  void UpdateScrollBars();
  int MaxLineLength() const;
  void MoveCaret(int line, int column, bool extend);
  void RestartBlink();
  void UpdateCaretArea(int line);
  void ClampCaret();
  // Offsets of the line starts, built when first needed for lines of differing lengths.
  const std::vector<int>& LineStarts() const;

  const LineSource* source_ = nullptr;
  TextInputHandler* handler_ = nullptr;
  int caretLine_ = 0;
  int caretColumn_ = 0;
  int anchorLine_ = 0;
  int anchorColumn_ = 0;
  bool selecting_ = false;
  bool caretVisible_ = true;
  int blinkTimer_ = 0;
  int charWidth_ = 8;
  int lineHeight_ = 16;
  int preferredLines_ = 10;
  int preferredColumns_ = 0;
  int ascent_ = 12;
  int margin_ = 6;
  bool exactGrid_ = false;
  QColor separatorColour_;
  QVector<int> separatorColumns_;
  TextMarking marking_;
  mutable int maxLineLength_ = -1;
  mutable std::vector<int> lineStarts_;
  mutable bool lineStartsValid_ = false;
};

// The font of the views: "DejaVu Sans Mono" where it exists, else the system's fixed font.
QFont FixedPitchFont();

}  // namespace kestrum
