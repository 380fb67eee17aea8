// SPDX-License-Identifier: GPL-3.0-or-later
// The family-driver interface: what the operation driver asks of a device family, and what it
// offers the family in return.
//
// The operation driver (operations/) knows no family. For each command it does what every
// family shares: the support check, the confirmations, the progress window, running workers
// and waiting for them, Cancel, copying what was read into the active slot (or into scratch
// arrays for Verify and Blank Check), the comparisons and the verdicts. A family driver does
// the rest in its own unit under protocols/: which workers run in which order for each command,
// what they are given from the slot, and how what they read becomes buffer elements.
//
// A family driver implements:
//   Read           the regions Read All, Verify and Blank Check need (FamilyContext::Purpose),
//                  each handed over with FamilyContext::Store once it has been read whole;
//                  a region whose read failed is not stored, so the slot keeps what it held;
//   Program        Program All's programming; the verify after it is the driver's;
//   ProgramHeld    what Program held back until the verify had passed (protection that would
//                  make the part read back as something else);
//   Erase          Erase All (offered only for devices with Erasable);
//   ProgramConfig  Program Config (offered only where the configuration box enables it);
//   CodeCheckCount the program elements Verify and Blank Check compare;
//   HasId, ReadId  the part's identity (a PIC's device ID word, an AVR's signature), for
//                  Detect and for the check before Program All, Verify and Erase All; a
//                  family without one keeps the defaults, and Detect says so.
// The table in families.hpp picks the driver from the device's family (with the parallel-only
// PICs and the smartcard reader as rows of their own) and names the family's support group.
// Adding a family is one protocol unit, one chip model, one table row and their tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "buffers/workspace.hpp"
#include "core/ui.hpp"
#include "device/device_descriptor.hpp"
#include "hardware/line_context.hpp"
#include "hardware/programmer_types.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

enum class SupportGroup {
  StandardProgrammers,  // every type but TAFE and TAIT Parallel
  TafeOnly,             // the 89C1051/2051/4051 flash parts
  TaitParallelOnly,     // PICs that program in parallel only
  AnyProgrammer,        // the programmer is not used (the smartcard reader)
};

bool ProgrammerSupports(ProgrammerType type, SupportGroup group);

// The options the operations follow (settings of the same names).
struct OperationOptions {
  bool Progging = true;     // confirm programming (Program All, Program Config)
  bool Erasing = false;     // confirm erasing
  bool Verify = true;       // verify after programming
  bool VerDurProg = false;  // verify each word as it is programmed
  bool Warning = false;     // confirm programming with code protection enabled
  bool Smart = false;       // smartcard (Phoenix) mode for I2C EEPROMs
  bool EnableMCLR = false;  // I2C: MCLR powers the device too
  bool ByteWrite = false;   // I2C: one byte per write cycle instead of pages
  // Program All, Verify and Erase All first read the part's identity and stop when it is not
  // the selected device's.
  bool CheckDeviceId = true;
  // Program All, Erase All and Program Config write the buffer's factory calibration (a
  // 12F629/675's OSCCAL word and bandgap bits) over the part's own, instead of keeping them.
  bool OverwriteCalibration = false;
  // AVRs: poll RDY/BSY after each write cycle where the part answers it, or read the byte
  // back on the 90S parts (else the datasheet waits), and clock SCK slowly enough for parts
  // running below 100 kHz.
  bool AvrPollReady = true;
  bool AvrSlowSck = false;
  // Write configuration values that take the part away from the programmer (an AVR's RESET
  // disabled, say) without asking: --force-fuses.
  bool ForceFuses = false;
  // "Program erased words too": after an erase, write every word as before, even those that
  // already hold the erased value. Off: such words are passed over without a write cycle.
  bool ProgramErasedWords = false;
  // "Write only what differs": the EEPROM families read each page first and write only the
  // pages whose contents differ from the buffer.
  bool WriteOnlyDiffers = false;
};

// The regions of a buffer slot.
enum class Region { Code, Data, Config };

// Why a family reads the device.
enum class ReadPurpose {
  ReadAll,     // into the active slot, every region the device has
  Verify,      // into scratch arrays: code and data only
  BlankCheck,  // the same
};

// What Program All's programming leaves for the driver to do.
struct ProgramOutcome {
  // False when the command ended before anything was programmed: no verify follows.
  bool VerifyAllowed = true;
  // A step was held back for ProgramHeld, to run once the verify has passed.
  bool Held = false;
};

// The operation driver's side, as a family sees it during one command. Everything runs on the
// user-interface thread except the workers the family hands to Run.
class FamilyContext {
 public:
  virtual const DeviceDescriptor& Device() const = 0;
  // The selected device's slots, configuration box and begin-programming command. Programming
  // takes its values from the active slot; only Read All's Store writes into it.
  virtual Workspace& Work() = 0;
  virtual const OperationOptions& Options() const = 0;
  // The application's programmer lines: a worker takes a copy when it is built, and sequences
  // run on the user-interface thread (an erase, say) drive them directly.
  virtual LineContext& Lines() = 0;
  virtual Ui& ui() = 0;
  virtual ReadPurpose Purpose() const = 0;

  // The progress window's text line.
  virtual void SetText(std::string_view text) = 0;
  // The text of a region being read: "Reading Code (" + count + ") bytes", "Verifying Data
  // (...", "Reading Configuration". Verify and Blank Check open the window with their code
  // text already shown, so there only the data text is set.
  virtual void ShowReadPhase(Region region, int count) = 0;
  // Runs `worker` on its own thread until it is done, with the progress window's Cancel
  // reaching it, and takes its line state back. False when its port did not open: the user
  // has been told and the command ends.
  virtual bool Run(OperationWorker& worker) = 0;
  // Cancel was pressed during this command.
  virtual bool Cancelled() const = 0;

  // A region read whole: elements [first, first + words.size()) of `region`, as the buffers
  // hold them (masked, parity bits dropped). Read All puts them into the active slot; Verify
  // and Blank Check into their scratch arrays.
  virtual void Store(Region region, int first, std::span<const std::uint16_t> words) = 0;

  // "Programming failed at Code address XXXXh !" (or Data): the command has failed.
  virtual void ProgrammingFailed(Region region, int address) = 0;
  // The family has shown a failure of its own (a missing acknowledge, say): the command has
  // failed and no verify follows.
  virtual void Failed() = 0;
  // A port opened outside a worker did not open (the user has been told).
  virtual void PortFailed() = 0;
  // Program All changed the active slot (a factory word taken over from the part): the views
  // are rebuilt afterwards.
  virtual void SlotChanged() = 0;

 protected:
  ~FamilyContext() = default;
};

// What reading a part's identity found.
struct IdReading {
  enum class Outcome {
    PortFailed,  // the port did not open (the user has been told) or Cancel came first
    Nothing,     // no identity came back: an empty socket, or a part that has none
    Read,
    // A part answered with a signature that does not name it (an SPI EEPROM's electronic
    // signature, shared by its kin): it is there, but not known.
    Present,
  };
  Outcome Result = Outcome::Nothing;
  std::uint32_t Value = 0;
};

class FamilyDriver {
 public:
  virtual ~FamilyDriver() = default;

  virtual void Read(FamilyContext& context) = 0;
  virtual ProgramOutcome Program(FamilyContext& context) = 0;
  virtual void ProgramHeld(FamilyContext& /*context*/) {}
  // Erase and ProgramConfig return true when they completed ("Device is erased." or
  // "Configuration programmed!" follows); otherwise the driver has told the user and called
  // PortFailed or Failed.
  virtual bool Erase(FamilyContext& context) = 0;
  virtual bool ProgramConfig(FamilyContext& context) = 0;
  // Program elements compared by Verify and Blank Check, from element 0.
  virtual int CodeCheckCount(const DeviceDescriptor& device) const { return device.CodeSize; }
  // Program All asks the code-protect question when the configuration box protects the part.
  virtual bool WarnsOfCodeProtect() const { return false; }
  // Whether this family, driven as for `device`, can read a part's identity.
  virtual bool HasId(const DeviceDescriptor& /*device*/) const { return false; }
  virtual IdReading ReadId(FamilyContext& /*context*/) { return {}; }
  // An identity as messages show it: four hexadecimal digits and "h".
  virtual std::string IdText(std::uint32_t id) const;
};

// "Reading Code (" + count + ") " + "bytes" and its kin.
std::string PhaseText(std::string_view phase, int count);
// Text + four hexadecimal digits + "h !".
std::string AddressText(std::string_view text, int address);

}  // namespace kestrum
