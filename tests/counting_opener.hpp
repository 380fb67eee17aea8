// SPDX-License-Identifier: GPL-3.0-or-later
// A port opener that counts the ports of another while they are open, so a test can tell that
// every worker closed the port it opened.
#pragma once

#include <atomic>
#include <memory>
#include <string_view>

#include "hardware/port_opener.hpp"

namespace kestrum::testing {

class CountingOpener final : public PortOpener {
 public:
  explicit CountingOpener(PortOpener& inner) : inner_(inner) {}
  std::unique_ptr<Port> Open(const HardwareSettings& settings, Ui& ui, bool report) override {
    std::unique_ptr<Port> port = inner_.Open(settings, ui, report);
    return port ? std::make_unique<Counted>(std::move(port), open_) : nullptr;
  }
  bool Available(const HardwareSettings& settings, std::string_view portName) override {
    return inner_.Available(settings, portName);
  }
  int OpenPorts() const { return open_.load(); }

 private:
  class Counted final : public Port {
   public:
    Counted(std::unique_ptr<Port> port, std::atomic<int>& open)
        : port_(std::move(port)), open_(open) {
      ++open_;
    }
    ~Counted() override { --open_; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    std::uint16_t Base() const override { return port_->Base(); }
    std::uint8_t In(std::uint16_t address) override { return port_->In(address); }
    void Out(std::uint16_t address, std::uint8_t value) override { port_->Out(address, value); }
    void SetDtr(bool on) override { port_->SetDtr(on); }
    void SetRts(bool on) override { port_->SetRts(on); }
    void SetBreak(bool on) override { port_->SetBreak(on); }
    bool Cts() override { return port_->Cts(); }
    void SetLineFormat(const LineFormat& format) override { port_->SetLineFormat(format); }
    void WriteByte(std::uint8_t value) override { port_->WriteByte(value); }
    bool ReadByte(std::uint8_t& value, int timeoutMs) override {
      return port_->ReadByte(value, timeoutMs);
    }
    PinStream* Stream() override { return port_->Stream(); }
    PinPort* Pins() override { return port_->Pins(); }
    void ReportFailuresTo(std::string* sink) override { port_->ReportFailuresTo(sink); }

   private:
    std::unique_ptr<Port> port_;
    std::atomic<int>& open_;
  };

  PortOpener& inner_;
  std::atomic<int> open_{0};
};

}  // namespace kestrum::testing
