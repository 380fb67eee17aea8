// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: the single-letter options of batch programming and the long options of
// this port, parsed into what start-up and the first activation carry out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "hardware/programmer_types.hpp"

namespace kestrum {

// An option that acts at once, in argument order (a load uses the device selected so far).
// "-t", "-g" and "-o" take a number or a name: the names are looked up when the step runs.
struct CommandStep {
  enum class Kind {
    LoadFile,
    SelectDevice,
    SelectDeviceByName,
    Programmer,
    Port,
    ConfigWord,
    ProgrammerName,
    PortName
  } Type;
  std::string Path;  // LoadFile; the name of SelectDeviceByName, ProgrammerName, PortName
  int Number = 0;    // SelectDevice, Programmer, Port (already normalised), ConfigWord
  bool operator==(const CommandStep&) const = default;
};

enum class QuitMode { None = 0, AfterProgram = 1, AfterVerify = 2, AfterRead = 3 };

struct CommandLine {
  // Pending actions of the first activation, run in this order.
  bool Detect = false;  // --detect
  bool ProgramAll = false;
  bool Verify = false;
  bool ReadAll = false;
  std::optional<std::string> SaveFile;  // -s

  QuitMode Quit = QuitMode::None;  // the last of -p, -v, -r
  bool QuitRequested = false;      // -q
  bool NoWindow = false;           // -i
  bool Smartcard = false;          // -x, not saved
  std::vector<CommandStep> Steps;

  bool Help = false;
  bool Version = false;
  bool ListDevices = false;
  bool ListPorts = false;                     // --list-ports
  std::optional<std::string> ShowProgrammer;  // --show-programmer=NAME
  bool Yes = false;
  bool ForceFuses = false;  // --force-fuses: write fuses that lock a part out without asking
  bool SlowSck = false;     // --slow-sck: AVRs clocked below 100 kHz
  std::optional<std::string> SimulateDir;  // set (possibly empty) by --simulate
  std::optional<std::string> TraceFile;    // --trace=FILE
  std::optional<std::string> Disassemble;  // set (empty: standard output) by --disassemble
  std::optional<std::string> PrintPdf;     // --print-pdf=FILE: the printed listing as PDF
  // --socket=NAME: the part in the virtual programmer's socket, whatever is selected.
  std::optional<std::string> SocketPart;
  std::optional<std::string> ShowDevice;  // --show-device=NAME
  bool NoIdCheck = false;                 // --no-id-check, for this run
  bool OverwriteCalibration = false;      // --overwrite-calibration, for this run
};

struct UsageError {
  std::string Reason;
};

// Parses the arguments after the program name. Option letters are compared in lower case;
// values are the rest of the argument, taken whole, or the next argument when the rest is empty
// and the next one is not an option.
std::variant<CommandLine, UsageError> ParseCommandLine(const std::vector<std::string>& args);

// The arguments split into the program's and the toolkit's own (-style, -stylesheet,
// -platform, -display, -geometry, ... with their values, as "-name value", "-name=value" or
// with two dashes), each in its order. The toolkit's are handed to it untouched; the
// program's parser never sees them, so "-stylesheet=x" is not read as "-s".
struct SplitArguments {
  std::vector<std::string> Program;
  std::vector<std::string> Toolkit;
};
SplitArguments SplitToolkitOptions(const std::vector<std::string>& args);

// "-o": 0 and values above 4 select port 1.
int NormalisePortNumber(int number);

// "-g": a parallel programmer moves a serial port name to "LPT1", the serial programmer (type 0)
// moves a parallel one to "Com1"; other names stay.
std::string PortForProgrammer(int programmerType, const std::string& portName);
// The same by port kind: a GPIO programmer moves any other name to "gpiochip0", the others move
// a GPIO chip's name to their first port.
std::string PortForProgrammer(PortKind kind, const std::string& portName);
// "-o": "LPT" + number for parallel programmers, "Com" + number for the serial one, "USB" +
// number for FTDI chips, and "gpiochip" + (number - 1) for GPIO chips.
std::string PortForNumber(int programmerType, int portNumber);
std::string PortForNumber(PortKind kind, int portNumber);

// "-l" name: a relative one is joined to `currentDir`, as a shell user reads it (and as "-s"
// saves), whatever folder the file dialogs last used.
std::string ResolveLoadPath(const std::string& name, const std::string& currentDir);

}  // namespace kestrum
