// SPDX-License-Identifier: GPL-3.0-or-later
// The listing text, its macros and its pages.
#include "app/print_listing.hpp"

#include <algorithm>
#include <cctype>

#include "app/texts.hpp"
#include "buffers/hex_view.hpp"
#include "core/text.hpp"

namespace kestrum {
namespace {

void AppendView(std::vector<std::string>& body, HexView view, const Workspace& workspace,
                int first, int last) {
  const int count = HexViewLineCount(view, workspace.Device);
  last = std::min(last, count - 1);
  for (int line = std::max(first, 0); line <= last; ++line) {
    // The bytes of the line as the view shows them.
    body.push_back(BytesToUtf8(HexViewLine(view, workspace.Active(), line)));
  }
}

bool HasConfigSection(const DeviceDescriptor& device) {
  const DeviceFamily family = FamilyOf(device);
  return device.ConfigAreaWords >= 1 || family == DeviceFamily::SpiEeprom ||
         family == DeviceFamily::FlashMicro || family == DeviceFamily::SpiMicro89S ||
         family == DeviceFamily::AvrMicro;
}

void AppendList(std::vector<std::string>& body, const ConfigListBox& list) {
  if (!list.Visible) return;
  std::string caption = list.Caption;
  if (!caption.empty()) caption.back() = ' ';
  const std::string item =
      list.Selected >= 0 && list.Selected < static_cast<int>(list.Items.size())
          ? list.Items[static_cast<std::size_t>(list.Selected)]
          : std::string();
  body.push_back(caption + "= " + item);
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace

PrintJob MakePrintJob(const Workspace& workspace, const PrintSelection* selection) {
  PrintJob job;
  job.Title = std::string(text::kPrintTitle);
  const BufferSlot& slot = workspace.Active();
  const DeviceDescriptor& device = workspace.Device;
  const std::string file =
      slot.FileName.empty() ? std::string(text::kPrintNoFile) : slot.FileName;
  job.Header = {{std::string(text::kPrintTitleLine), PrintAlign::Centre},
                {"", PrintAlign::Left},
                {std::string(text::kPrintFile) + file, PrintAlign::Left},
                {std::string(text::kPrintDevice) + device.Name, PrintAlign::Left},
                {std::string(text::kPrintChecksum) + workspace.Config.ChecksumText +
                     std::string(text::kPrintHexSuffix),
                 PrintAlign::Left},
                {"", PrintAlign::Left}};
  job.Footer = {{"", PrintAlign::Left}, {std::string(text::kPrintPageFooter), PrintAlign::Right}};

  std::vector<std::string>& body = job.Body;
  if (selection != nullptr) {
    job.SelectedOnly = true;
    AppendView(body, HexView::Code, workspace, selection->FirstLine, selection->LastLine);
    return job;
  }
  body.push_back(std::string(text::kPrintCodeMemory));
  AppendView(body, HexView::Code, workspace, 0, HexViewLineCount(HexView::Code, device) - 1);
  if (device.DataSize > 0) {
    body.insert(body.end(), {"", "", std::string(text::kPrintDataMemory)});
    AppendView(body, HexView::Data, workspace, 0, HexViewLineCount(HexView::Data, device) - 1);
  }
  if (HasConfigSection(device)) {
    body.insert(body.end(), {"", "", std::string(text::kPrintConfiguration)});
    const ConfigBox& box = workspace.Config;
    AppendList(body, box.Oscillator);
    AppendList(body, box.CodeProtect);
    AppendList(body, box.BrownOut);
    for (const FuseCheckBox& fuse : box.Fuses) {
      if (!fuse.Visible) continue;
      body.push_back(fuse.Caption + " = " +
                     std::string(fuse.Checked ? text::kPrintEnabled : text::kPrintDisabled));
    }
    if (device.ConfigAreaWords > 0) {
      body.push_back(std::string(text::kIdValueLabel) + " = " + box.IdText +
                     std::string(text::kPrintHexSuffix));
    }
  }
  return job;
}

std::string ExpandMacros(std::string_view line, const PrintJob& job, int page,
                         const PrintMoment& moment) {
  std::string out;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] != '$') {
      out += line[i++];
      continue;
    }
    const std::size_t end = line.find('$', i + 1);
    const std::string_view raw =
        line.substr(i + 1, end == std::string_view::npos ? std::string_view::npos : end - i - 1);
    i = end == std::string_view::npos ? line.size() : end + 1;
    const std::string name = Upper(Trim(raw));
    if (name.empty()) {
      out += '$';
    } else if (name == "PAGENUM") {
      out += std::to_string(page);
    } else if (name == "TITLE") {
      out += job.Title;
    } else if (name == "TIME") {
      out += moment.Time;
    } else if (name == "DATE") {
      out += moment.Date;
    } else if (name == "DATETIME") {
      out += moment.Date + " " + moment.Time;
    } else if (name == "TIMEDATE") {
      out += moment.Time + " " + moment.Date;
    } else {
      out += name;
    }
  }
  return out;
}

std::vector<PrintedPage> Paginate(const PrintJob& job, int linesPerPage,
                                  const PrintMoment& moment) {
  const int fixed = static_cast<int>(job.Header.size() + job.Footer.size());
  const auto perPage = static_cast<std::size_t>(std::max(1, linesPerPage - fixed));
  std::vector<PrintedPage> pages;
  std::size_t next = 0;
  do {
    PrintedPage page;
    page.Number = static_cast<int>(pages.size()) + 1;
    for (const PrintLine& line : job.Header) {
      page.Header.push_back({ExpandMacros(line.Text, job, page.Number, moment), line.Align});
    }
    const std::size_t end = std::min(job.Body.size(), next + perPage);
    page.Body.assign(job.Body.begin() + static_cast<std::ptrdiff_t>(next),
                     job.Body.begin() + static_cast<std::ptrdiff_t>(end));
    next = end;
    for (const PrintLine& line : job.Footer) {
      page.Footer.push_back({ExpandMacros(line.Text, job, page.Number, moment), line.Align});
    }
    pages.push_back(std::move(page));
  } while (next < job.Body.size());
  return pages;
}

}  // namespace kestrum
