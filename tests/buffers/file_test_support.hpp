// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the file tests: a scratch folder, whole files, the committed test files, a
// workspace with a selected device and a recording Ui, and an input that fails part way.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "buffers/file_commands.hpp"
#include "core/recording_ui.hpp"
#include "device/catalogue.hpp"

namespace kestrum::testing {

class ScratchDir {
 public:
  ScratchDir() : path_(::testing::TempDir() + "kestrum-files-XXXXXX") { mkdtemp(path_.data()); }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void WriteAll(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
inline std::string TestData(std::string_view name) {
  return std::string(KESTRUM_TEST_DATA) + "/" + std::string(name);
}

struct Bench {
  explicit Bench(std::string_view device) { ws.SelectDevice(*FindDeviceByName(device)); }
  MemorySettingsStore settings;
  Workspace ws{settings};
  RecordingUi ui;
  FileCommands files{ws, ui, settings};
  BufferSlot& Slot() { return ws.Active(); }
};

// The elements that belong to the device are equal.
inline bool SameImage(const DeviceDescriptor& d, const BufferSlot& a, const BufferSlot& b) {
  auto same = [](const auto& x, const auto& y, int n) {
    return std::equal(x.begin(), x.begin() + std::max(n, 0), y.begin());
  };
  return same(a.CodeBuffer, b.CodeBuffer, d.CodeSize) &&
         same(a.DataBuffer, b.DataBuffer, d.DataSize) &&
         same(a.ConfigArea, b.ConfigArea, d.ConfigAreaWords);
}

// Gives `data` a few bytes at a time, then fails with `error`: a file whose medium goes away
// while it is read.
class FailingSource : public InputSource {
 public:
  FailingSource(std::string data, int error) : data_(std::move(data)), error_(error) {}
  std::size_t Read(std::span<char> buffer, int& error) override {
    const std::size_t n = std::min({buffer.size(), data_.size() - pos_, std::size_t{7}});
    if (n == 0) error = error_;
    pos_ += data_.copy(buffer.data(), n, pos_);
    return n;
  }

 private:
  std::string data_;
  std::size_t pos_ = 0;
  int error_;
};

}  // namespace kestrum::testing
