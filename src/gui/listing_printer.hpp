// SPDX-License-Identifier: GPL-3.0-or-later
// Painting the printed listing: the pages of a print job on a printer or a PDF file, in the
// code view's font, with the job's margins, header and footer on every page.
#pragma once

#include <QFont>

#include <string>

#include "app/print_listing.hpp"
#include "core/ui.hpp"

class QPagedPaintDevice;

namespace kestrum {

// The date and time of printing in the user's formats.
PrintMoment CurrentPrintMoment();

// Paints `job` (its copies one after the other) on `device`; the number of pages painted.
int PaintListing(const PrintJob& job, QPagedPaintDevice& device, const QFont& font,
                 const PrintMoment& moment);

// Writes `job` to the PDF file `path` on A4; false (and the reason to `ui`) when it cannot be
// written. Works without a window: a run without one gets a graphics context of its own.
bool WritePdfListing(const PrintJob& job, const std::string& path, Ui& ui);

}  // namespace kestrum
