// SPDX-License-Identifier: GPL-3.0-or-later
// SPI EEPROMs. The 25010, 25020 and 25040: the read worker (status register, then the memory
// in blocks of 256 bytes with address bit 8 in the instruction), the programming worker (write
// enable, one byte, the write-in-progress poll, byte by byte, then the status register with
// the block protection chosen). The 25xx080 to 25xx512 with 16-bit addresses: one sequential
// read; programming by pages, never across a page's end (the part would wrap into the same
// page), each page polled until its write is over, with any block protection lifted first and
// the chosen status register written last; on the 25xx512 the chip erase and the electronic
// signature. /CS is the MCLR line, active low: the part is selected with VPP off and
// deselected with VPP on.
#pragma once

#include <cstdint>
#include <vector>

#include "protocols/family_driver.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

namespace spi {
inline constexpr std::uint8_t kWriteStatus = 0x01;
inline constexpr std::uint8_t kWrite = 0x02;
inline constexpr std::uint8_t kRead = 0x03;
inline constexpr std::uint8_t kReadStatus = 0x05;
inline constexpr std::uint8_t kWriteEnable = 0x06;
inline constexpr std::uint8_t kChipErase = 0xC7;
inline constexpr std::uint8_t kReadId = 0xAB;
// The status register's non-volatile protection: WPEN and BP1:BP0.
inline constexpr std::uint8_t kProtectionBits = 0x8C;
}  // namespace spi

// A write cycle takes at most 5 ms; a part still busy after this long never ends it.
inline constexpr std::int64_t kSpiBusyLimitUs = 50000;

// The instruction byte carrying address bit 8.
inline std::uint8_t SpiInstruction(std::uint8_t code, int address) {
  return static_cast<std::uint8_t>(code | (((address >> 8) & 1) << 3));
}

class TSpiRead final : public OperationWorker {
 public:
  TSpiRead(const LineContext& lines, int count, std::uint16_t blankValue);

  std::vector<std::uint16_t> Bytes;
  std::uint8_t StatusRegister = 0;
  // The status register kept its write-in-progress bit: no part at rest answered.
  bool NoAnswer = false;
  // 2: a 16-bit address and one sequential read of the whole part.
  int AddressBytes = 1;

 protected:
  void Body() override;

 private:
  std::uint16_t mask_;
};

class TSpiProgThread final : public OperationWorker {
 public:
  TSpiProgThread(const LineContext& lines, int count);

  std::vector<std::uint16_t> Bytes;
  std::uint8_t StatusRegister = 0;  // written after the memory
  // Bytes one write instruction takes: the part's page (16 on the 25010/20/40), 1 for a byte
  // at a time. Failed / FailAddress: the first byte of the write that never finished.
  int PageSize = 1;
  // Each page is read first and written only where it differs from Bytes.
  bool WriteOnlyDiffers = false;

 protected:
  void Body() override;
};

// The parts with 16-bit addresses: Program writes Count bytes from Bytes page by page and then
// StatusRegister; Erase is the chip erase; ReadId reads the electronic signature into
// StatusRegister. Failed / FailAddress: a write or erase whose cycle never ended.
class TSpiPageThread final : public OperationWorker {
 public:
  enum class Step { Program, Erase, ReadId };
  TSpiPageThread(const LineContext& lines, Step step, int count, int pageSize);

  std::vector<std::uint16_t> Bytes;
  std::uint8_t StatusRegister = 0;
  // Program: each page is read first and written only where it differs from Bytes.
  bool WriteOnlyDiffers = false;

 protected:
  void Body() override;

 private:
  // Lifts WPEN and block protection where the part has any: a protected block refuses writes
  // and erases. False when the status write never ended.
  bool Unprotect();
  bool WriteStatus(std::uint8_t value);

  Step step_;
  int pageSize_;
};

class SpiEepromDriver final : public FamilyDriver {
 public:
  void Read(FamilyContext& context) override;
  ProgramOutcome Program(FamilyContext& context) override;
  bool Erase(FamilyContext& context) override;
  bool ProgramConfig(FamilyContext& context) override;
  // The 25xx512's electronic signature: a presence check, since no source at hand gives the
  // value that would name the part.
  bool HasId(const DeviceDescriptor& device) const override;
  IdReading ReadId(FamilyContext& context) override;
  std::string IdText(std::uint32_t id) const override;
};

}  // namespace kestrum
