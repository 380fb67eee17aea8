// SPDX-License-Identifier: GPL-3.0-or-later
// --list-ports and --show-programmer.
#include "app/port_listing.hpp"

#include "app/texts.hpp"
#include "core/name_match.hpp"
#include "hardware/port_discovery.hpp"
#include "hardware/programmer_file.hpp"

namespace kestrum {
namespace {

void Write(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

int RunListing(const CommandLine& commandLine, const SettingsStore& settings, std::FILE* out,
               std::FILE* err, OsInterface& os, const std::string& programmersFile) {
  const ProgrammerFile file =
      ReadProgrammerFile(programmersFile.empty() ? ProgrammersFilePath() : programmersFile);
  for (const std::string& problem : file.problems) Write(err, problem + "\n");
  HardwareSettings hardware = LoadHardwareSettings(settings, file.programmers);
  if (commandLine.ListPorts) Write(out, PortListingText(FindPorts(os, hardware)));
  if (!commandLine.ShowProgrammer) return 0;
  const std::vector<std::string> names = ProgrammerNames(file.programmers);
  const NameMatch match = MatchName(*commandLine.ShowProgrammer, names);
  if (match.index < 0) {
    std::string listed;
    for (int i : match.closest) {
      listed += (listed.empty() ? "" : ", ") + names[static_cast<std::size_t>(i)];
    }
    const std::string& name = *commandLine.ShowProgrammer;
    Write(err,
          std::string(text::kProgramName) + ": " +
              (match.ambiguous
                   ? std::string(text::kAmbiguousBefore) + name +
                         std::string(text::kAmbiguousMiddle) + std::string(text::kKindProgrammer) +
                         std::string(text::kAmbiguousAfter) + listed +
                         std::string(text::kAmbiguousEnd) + "."
                   : std::string(text::kNoNamedBefore) + std::string(text::kKindProgrammer) +
                         std::string(text::kNoNamedMiddle) + name +
                         std::string(text::kClosestAfter) + listed + ".") +
              "\n");
    return 2;
  }
  SelectProgrammer(hardware, file.programmers, match.index);
  Write(out, FormatProgrammer(hardware));
  return 0;
}

}  // namespace kestrum
