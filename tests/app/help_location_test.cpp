// SPDX-License-Identifier: GPL-3.0-or-later
// The help pages are found beside an installed program and beside the program in the build
// tree, and nowhere else.
#include "app/help_location.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kestrum {
namespace {

namespace fs = std::filesystem;

TEST(HelpLocation, InstalledOrBuildTreeLayout) {
  char pattern[] = "/tmp/kestrum-help-XXXXXX";
  const fs::path root = mkdtemp(pattern);
  struct Case {
    const char* program;  // folder of the program
    const char* pages;    // folder holding index.html, or "" for none
    const char* found;    // what is expected, relative to root ("" for nothing)
  };
  const Case cases[] = {
      {"usr/bin", "usr/share/kestrum/help", "usr/share/kestrum/help/index.html"},
      {"build", "build/share/kestrum/help", "build/share/kestrum/help/index.html"},
      {"opt/bin", "opt/bin/help", ""},
  };
  for (const Case& c : cases) {
    fs::create_directories(root / c.program);
    if (*c.pages != '\0') {
      fs::create_directories(root / c.pages);
      std::ofstream(root / c.pages / "index.html") << "<html></html>";
    }
    const std::string expected = *c.found == '\0' ? "" : (root / c.found).string();
    EXPECT_EQ(FindHelpIndex((root / c.program).string()), expected) << c.program;
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace kestrum
