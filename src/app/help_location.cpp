// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the help pages beside the program.
#include "app/help_location.hpp"

#include <filesystem>
#include <system_error>

namespace kestrum {

std::string FindHelpIndex(const std::string& programDir) {
  namespace fs = std::filesystem;
  const fs::path dir(programDir);
  for (const fs::path& candidate : {dir / ".." / "share" / "kestrum" / "help" / "index.html",
                                    dir / "share" / "kestrum" / "help" / "index.html"}) {
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec)) return candidate.lexically_normal().string();
  }
  return {};
}

}  // namespace kestrum
