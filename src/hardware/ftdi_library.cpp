// SPDX-License-Identifier: GPL-3.0-or-later
// The FTDI calls on libftdi1.
#include <ftdi.h>

#include <cerrno>

#include "hardware/ftdi_interface.hpp"

namespace kestrum {
namespace {

class LibFtdi final : public FtdiInterface {
 public:
  LibFtdi() : context_(ftdi_new()) {}
  ~LibFtdi() override {
    if (context_) ftdi_free(context_);
  }
  LibFtdi(const LibFtdi&) = delete;
  LibFtdi& operator=(const LibFtdi&) = delete;

  int Open(int vendor, int product, const std::string& serial, int index) override {
    if (!context_) return -ENOMEM;
    // The kernel's serial driver lets go of the device now and gets it back on close.
    context_->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    const int result = ftdi_usb_open_desc_index(context_, vendor, product, nullptr,
                                                serial.empty() ? nullptr : serial.c_str(),
                                                static_cast<unsigned>(index));
    switch (result) {
      case 0:
        return 0;
      case -3:
        return -ENODEV;  // no such device
      case -5:
        return -EBUSY;  // the interface is claimed by someone else
      case -8:
        return -EACCES;  // libusb: inappropriate permissions on the device
      default:
        return -EIO;
    }
  }
  int Close() override { return Mapped(ftdi_usb_close(context_)); }
  FtdiChipType Chip() const override {
    switch (context_->type) {
      case TYPE_230X:
        return FtdiChipType::Ft230X;
      case TYPE_232H:
        return FtdiChipType::Ft232H;
      case TYPE_2232H:
        return FtdiChipType::Ft2232H;
      case TYPE_4232H:
        return FtdiChipType::Ft4232H;
      default:
        return FtdiChipType::Ft232R;
    }
  }
  int SetBitMode(std::uint8_t mask, std::uint8_t mode) override {
    return Mapped(ftdi_set_bitmode(context_, mask, mode));
  }
  int SetLatencyTimer(int ms) override {
    return Mapped(ftdi_set_latency_timer(context_, static_cast<unsigned char>(ms)));
  }
  int SetBaudRate(int baud) override { return Mapped(ftdi_set_baudrate(context_, baud)); }
  int Purge() override { return Mapped(ftdi_tcioflush(context_)); }
  int Write(const std::uint8_t* data, int size) override {
    return Mapped(ftdi_write_data(context_, data, size));
  }
  int Read(std::uint8_t* data, int size) override {
    return Mapped(ftdi_read_data(context_, data, size));
  }

 private:
  // libftdi's own negative codes mean the device did not answer as asked.
  static int Mapped(int result) { return result < 0 ? -EIO : result; }

  ftdi_context* context_;
};

}  // namespace

std::unique_ptr<FtdiInterface> SystemFtdi() {
  return std::make_unique<LibFtdi>();
}

}  // namespace kestrum
