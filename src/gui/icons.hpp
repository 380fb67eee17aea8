// SPDX-License-Identifier: GPL-3.0-or-later
// The tool bar's icons, drawn here so the window looks the same on every desktop, with or
// without an icon theme.
#pragma once

#include <QIcon>

namespace kestrum {

enum class ToolIcon {
  Open,
  Save,
  ReadAll,
  ProgramAll,
  Verify,
  EraseAll,
  Hardware,
  Options,
  SmartcardWizard,
  HexView,
  AssemblerView,
  Help,
};

// `onDark`: for a dark palette, with light outlines and lighter chips.
QIcon MakeToolIcon(ToolIcon icon, bool onDark = false);

}  // namespace kestrum

namespace kestrum {
// The program's own icon (the about box, the windows).
QIcon ProgramIcon();
}  // namespace kestrum
