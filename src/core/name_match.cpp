// SPDX-License-Identifier: GPL-3.0-or-later
// Matching typed names.
#include "core/name_match.hpp"

#include <algorithm>
#include <numeric>

namespace kestrum {
namespace {

std::string Key(std::string_view text) {
  std::string key;
  for (char c : text) {
    if (c >= 'A' && c <= 'Z') key += static_cast<char>(c - 'A' + 'a');
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) key += c;
  }
  return key;
}

// The name without its first word ("PIC 16F84A" -> "16F84A"); empty for one word.
std::string_view Tail(std::string_view name) {
  const std::size_t blank = name.find(' ');
  return blank == std::string_view::npos ? std::string_view{} : name.substr(blank + 1);
}

std::size_t Distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), 0);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

NameMatch MatchName(std::string_view query, const std::vector<std::string>& names) {
  NameMatch match;
  const std::string key = Key(query);
  if (key.empty()) return match;
  const auto fitting = [&](auto fits) {
    std::vector<int> found;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (fits(Key(names[i]), Key(Tail(names[i])))) found.push_back(static_cast<int>(i));
    }
    return found;
  };
  // Whole names first, then names without their first word, then beginnings.
  const auto stages = {
      fitting([&](const std::string& whole, const std::string&) { return whole == key; }),
      fitting([&](const std::string&, const std::string& tail) { return tail == key; }),
      fitting([&](const std::string& whole, const std::string& tail) {
        return whole.starts_with(key) || (!tail.empty() && tail.starts_with(key));
      }),
  };
  for (const std::vector<int>& found : stages) {
    if (found.size() == 1) {
      match.index = found.front();
      return match;
    }
    if (found.size() > 1) {
      match.ambiguous = true;
      match.closest = found;
      // The shortest first: they are the nearest to what was typed.
      std::stable_sort(match.closest.begin(), match.closest.end(), [&](int a, int b) {
        return Key(names[static_cast<std::size_t>(a)]).size() <
               Key(names[static_cast<std::size_t>(b)]).size();
      });
      if (match.closest.size() > kClosestNames) match.closest.resize(kClosestNames);
      return match;
    }
  }
  std::vector<std::pair<std::size_t, int>> ranked;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string tail = Key(Tail(names[i]));
    std::size_t distance = Distance(key, Key(names[i]));
    if (!tail.empty()) distance = std::min(distance, Distance(key, tail));
    ranked.emplace_back(distance, static_cast<int>(i));
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  // Names much further off than the closest are no help.
  for (std::size_t i = 0; i < ranked.size() && i < kClosestNames; ++i) {
    if (ranked[i].first > ranked.front().first + 2) break;
    match.closest.push_back(ranked[i].second);
  }
  return match;
}

}  // namespace kestrum
