// SPDX-License-Identifier: GPL-3.0-or-later
// The printed listing of the active buffer slot, without a printer: the print job (title,
// header and footer lines with their alignment, the body text), the header and footer macros,
// and the pagination. The window paints the pages this produces on a printer or a PDF file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "buffers/workspace.hpp"

namespace kestrum {

enum class PrintAlign { Left, Right, Centre };

struct PrintLine {
  std::string Text;
  PrintAlign Align = PrintAlign::Left;
  bool operator==(const PrintLine&) const = default;
};

// Margins in thousandths of an inch: 500 is half an inch on each side.
inline constexpr int kPrintMargin = 500;

struct PrintJob {
  std::string Title;
  std::vector<PrintLine> Header;
  std::vector<PrintLine> Footer;
  std::vector<std::string> Body;  // UTF-8
  bool SelectedOnly = false;
  bool WrapLongLines = false;  // long lines are cut at the right margin
  int Copies = 1;
  int Margin = kPrintMargin;
};

// The selection of the code view, in lines (both inclusive); the print dialog offers it.
struct PrintSelection {
  int FirstLine = 0;
  int LastLine = -1;
};

// The listing of the active slot: header with file, device and checksum; body with the code
// view's text, the data view's text when the device has data, and the configuration controls
// that are visible. With a selection, the body is the selected lines of the code view.
PrintJob MakePrintJob(const Workspace& workspace, const PrintSelection* selection = nullptr);

// The moment of printing as the user's system writes it, for TIME, DATE and their pairs.
struct PrintMoment {
  std::string Date;
  std::string Time;
};

// `ExpandMacros`: "$name$" macros of a header or footer line (PAGENUM, TITLE, TIME, DATE,
// DATETIME, TIMEDATE, "$$" for "$"; any other name upper-cased without its "$").
std::string ExpandMacros(std::string_view line, const PrintJob& job, int page,
                         const PrintMoment& moment);

// One printed page: its header and footer expanded, its share of the body.
struct PrintedPage {
  int Number = 1;
  std::vector<PrintLine> Header;
  std::vector<std::string> Body;  // UTF-8
  std::vector<PrintLine> Footer;
};

// Splits the body over pages of `linesPerPage` lines (header, body and footer lines counted
// together; at least one body line goes on each page). An empty body still prints one page.
std::vector<PrintedPage> Paginate(const PrintJob& job, int linesPerPage,
                                  const PrintMoment& moment);

}  // namespace kestrum
