// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line parsing.
#include "app/command_line.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

#include "app/texts.hpp"
#include "core/text.hpp"
#include "hardware/programmer_types.hpp"
#include "hardware/texts.hpp"

namespace kestrum {
namespace {

std::optional<int> Decimal(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0) {
    return std::nullopt;
  }
  return value;
}

UsageError Error(std::string_view reason, std::string_view argument) {
  return UsageError{std::string(reason) + std::string(argument)};
}

// The toolkit's options, by whether a value follows. Names are matched whole and with their
// case, so none of them can be one of the program's letter options with a value.
constexpr std::array<std::string_view, 16> kToolkitValueOptions = {"platform",
                                                                   "platformpluginpath",
                                                                   "platformtheme",
                                                                   "plugin",
                                                                   "qwindowgeometry",
                                                                   "qwindowicon",
                                                                   "qwindowtitle",
                                                                   "session",
                                                                   "display",
                                                                   "geometry",
                                                                   "name",
                                                                   "title",
                                                                   "icon",
                                                                   "visual",
                                                                   "style",
                                                                   "stylesheet"};
constexpr std::array<std::string_view, 7> kToolkitFlagOptions = {
    "reverse", "widgetcount", "sync", "nograb", "dograb", "testability", "qmljsdebugger"};

}  // namespace

SplitArguments SplitToolkitOptions(const std::vector<std::string>& args) {
  SplitArguments split;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string_view name(arg);
    if (name.starts_with("--")) {
      name.remove_prefix(2);
    } else if (name.starts_with('-')) {
      name.remove_prefix(1);
    } else {
      split.Program.push_back(arg);
      continue;
    }
    const std::size_t eq = name.find('=');
    const std::string_view bare = name.substr(0, eq);
    const auto in = [bare](const auto& list) {
      return std::find(list.begin(), list.end(), bare) != list.end();
    };
    if (in(kToolkitValueOptions)) {
      split.Toolkit.push_back(arg);
      if (eq == std::string_view::npos && i + 1 < args.size()) split.Toolkit.push_back(args[++i]);
    } else if (in(kToolkitFlagOptions)) {
      split.Toolkit.push_back(arg);
    } else {
      split.Program.push_back(arg);
    }
  }
  return split;
}

std::variant<CommandLine, UsageError> ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // The option letter is compared in lower case; the value keeps its case.
    std::string key;
    for (char c : arg.substr(0, 2)) key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);

    if (arg.rfind("--", 0) == 0) {
      const auto eq = arg.find('=');
      const std::string name = arg.substr(0, eq);
      const std::optional<std::string> value =
          eq == std::string::npos ? std::nullopt : std::optional<std::string>(arg.substr(eq + 1));
      if (name == "--help" && !value) {
        cl.Help = true;
      } else if (name == "--version" && !value) {
        cl.Version = true;
      } else if (name == "--list-devices" && !value) {
        cl.ListDevices = true;
      } else if (name == "--list-ports" && !value) {
        cl.ListPorts = true;
      } else if (name == "--show-programmer") {
        // The name may follow as the next argument: most names have blanks in them.
        if (!value && i + 1 < args.size() && !args[i + 1].starts_with('-')) {
          cl.ShowProgrammer = args[++i];
        } else if (!value || value->empty()) {
          return Error(text::kMissingValue, "--show-programmer");
        } else {
          cl.ShowProgrammer = *value;
        }
      } else if (name == "--yes" && !value) {
        cl.Yes = true;
      } else if (name == "--force-fuses" && !value) {
        cl.ForceFuses = true;
      } else if (name == "--slow-sck" && !value) {
        cl.SlowSck = true;
      } else if (name == "--simulate") {
        cl.SimulateDir = value.value_or("");
      } else if (name == "--disassemble") {
        cl.Disassemble = value.value_or("");
      } else if (name == "--print-pdf") {
        if (!value || value->empty()) return Error(text::kMissingValue, "--print-pdf");
        cl.PrintPdf = *value;
      } else if (name == "--detect" && !value) {
        cl.Detect = true;
      } else if (name == "--no-id-check" && !value) {
        cl.NoIdCheck = true;
      } else if (name == "--overwrite-calibration" && !value) {
        cl.OverwriteCalibration = true;
      } else if (name == "--socket" || name == "--show-device" || name == "--device") {
        if (!value || value->empty()) return Error(text::kMissingValue, name);
        if (name == "--socket") cl.SocketPart = *value;
        if (name == "--show-device") cl.ShowDevice = *value;
        if (name == "--device") {
          cl.Steps.push_back({CommandStep::Kind::SelectDeviceByName, *value});
        }
      } else if (name == "--trace") {
        if (!value || value->empty()) return Error(text::kMissingValue, "--trace");
        cl.TraceFile = *value;
      } else {
        return Error(text::kUnknownOption, arg);
      }
      continue;
    }

    if (key == "-p" && arg.size() == 2) {
      cl.ProgramAll = true;
      cl.Quit = QuitMode::AfterProgram;
    } else if (key == "-v" && arg.size() == 2) {
      cl.Verify = true;
      cl.Quit = QuitMode::AfterVerify;
    } else if (key == "-r" && arg.size() == 2) {
      cl.ReadAll = true;
      cl.Quit = QuitMode::AfterRead;
    } else if (key == "-x" && arg.size() == 2) {
      cl.Smartcard = true;
    } else if (key == "-i" && arg.size() == 2) {
      cl.NoWindow = true;
    } else if (key == "-q" && arg.size() == 2) {
      cl.QuitRequested = true;
    } else if (key == "-s" || key == "-l" || key == "-t" || key == "-g" || key == "-o" ||
               key == "-f") {
      std::string value = arg.substr(2);
      if (value.empty() && i + 1 < args.size() && !args[i + 1].starts_with('-')) {
        value = args[++i];
      }
      if (key == "-s") {
        // An empty name would save to ".hex" in whatever folder the run started in.
        if (value.empty()) return Error(text::kMissingValue, arg);
        cl.SaveFile = value;
      } else if (key == "-l") {
        if (value.empty()) return Error(text::kMissingValue, arg);
        cl.Steps.push_back({CommandStep::Kind::LoadFile, value});
      } else if (key == "-f") {
        if (value.size() != 4) return Error(text::kBadConfigWord, arg);
        std::uint16_t word = 0;
        for (char c : value) {
          const int digit = HexDigitValue(c);
          if (digit < 0) return Error(text::kBadConfigWord, arg);
          word = static_cast<std::uint16_t>(word * 16 + digit);
        }
        cl.Steps.push_back({CommandStep::Kind::ConfigWord, {}, word});
      } else {
        if (value.empty()) return Error(text::kMissingValue, arg);
        const std::optional<int> number = Decimal(value);
        if (!number) {
          // A name: the device, the programmer or the port it names is looked up when the
          // step runs, among what this run knows.
          const CommandStep::Kind kind = key == "-t"   ? CommandStep::Kind::SelectDeviceByName
                                         : key == "-g" ? CommandStep::Kind::ProgrammerName
                                                       : CommandStep::Kind::PortName;
          cl.Steps.push_back({kind, value});
          continue;
        }
        if (key == "-t") cl.Steps.push_back({CommandStep::Kind::SelectDevice, {}, *number});
        if (key == "-g") {
          if (!IsValidProgrammerType(*number)) return Error(text::kBadProgrammer, arg);
          cl.Steps.push_back({CommandStep::Kind::Programmer, {}, *number});
        }
        if (key == "-o")
          cl.Steps.push_back({CommandStep::Kind::Port, {}, NormalisePortNumber(*number)});
      }
    } else {
      return Error(text::kUnknownOption, arg);
    }
  }
  // The part in the socket is the virtual programmer's.
  if (cl.SocketPart && !cl.SimulateDir) return Error(text::kSocketNeedsSimulate, "");
  return cl;
}

int NormalisePortNumber(int number) {
  return (number < 1 || number > 4) ? 1 : number;
}

std::string PortForProgrammer(int programmerType, const std::string& portName) {
  return PortForProgrammer(PortKindOf(static_cast<ProgrammerType>(programmerType)), portName);
}

std::string PortForProgrammer(PortKind kind, const std::string& portName) {
  const std::string_view prefix = PortPrefix(kind);
  const auto lower = [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  const bool gpioName = portName.starts_with(text::kGpioPortPrefix);
  if (kind == PortKind::Gpio) {
    return gpioName || portName.starts_with("/dev/") ? portName : PortForNumber(kind, 1);
  }
  const char first = portName.empty() ? '\0' : lower(portName.front());
  // A port of another kind ("Com", "LPT", "USB", a GPIO chip) becomes the first port of the
  // type's kind.
  if (gpioName ||
      (first != lower(prefix.front()) && (first == 'c' || first == 'l' || first == 'u'))) {
    return std::string(prefix) + "1";
  }
  return portName;
}

std::string PortForNumber(int programmerType, int portNumber) {
  return PortForNumber(PortKindOf(static_cast<ProgrammerType>(programmerType)), portNumber);
}

std::string PortForNumber(PortKind kind, int portNumber) {
  if (kind == PortKind::Gpio)
    return std::string(text::kGpioPortPrefix) + std::to_string(portNumber - 1);
  return std::string(PortPrefix(kind)) + std::to_string(portNumber);
}

std::string ResolveLoadPath(const std::string& name, const std::string& currentDir) {
  if (!name.empty() && name.front() == '/') return name;
  // Made whole here, so the recent files and the remembered folder still lead to the file from
  // anywhere else.
  if (currentDir.empty()) return name;
  return currentDir.back() == '/' ? currentDir + name : currentDir + "/" + name;
}

}  // namespace kestrum
