// SPDX-License-Identifier: GPL-3.0-or-later
// Names typed by a user (on the command line) matched against a list of names: case, blanks
// and punctuation do not matter, a leading family word may be left out ("16F84A" for
// "PIC 16F84A"), and a beginning that fits one name only is that name. When none or several
// fit, the closest names are offered.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

struct NameMatch {
  int index = -1;  // the name meant, or -1
  bool ambiguous = false;
  // When no single name fits: the names that fit (ambiguous), else the closest ones, best
  // first, at most kClosestNames.
  std::vector<int> closest;
};
inline constexpr std::size_t kClosestNames = 5;

NameMatch MatchName(std::string_view query, const std::vector<std::string>& names);

}  // namespace kestrum
