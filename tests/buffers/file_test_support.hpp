// Helpers of the file tests: a scratch folder, whole-file reads and writes, the committed test
// files, and a workspace with a selected device wired to a recording Ui.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "buffers/file_commands.hpp"
#include "core/recording_ui.hpp"
#include "device/catalogue.hpp"

namespace kestrum::testing {

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = ::testing::TempDir() + "kestrum-files-XXXXXX";
    path_ = mkdtemp(pattern.data());
  }
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

// Gives `data` in small pieces, then fails with `error` instead of reporting the end: a file
// whose medium goes away while it is read.
class FailingSource : public InputSource {
 public:
  FailingSource(std::string data, int error) : data_(std::move(data)), error_(error) {}
  std::size_t Read(std::span<char> buffer, int& error) override {
    const std::size_t n = std::min({buffer.size(), data_.size() - pos_, std::size_t{7}});
    if (n == 0) error = error_;
    data_.copy(buffer.data(), n, pos_);
    pos_ += n;
    return n;
  }

 private:
  std::string data_;
  std::size_t pos_ = 0;
  int error_;
};

// A workspace with one device selected, its file commands, and the messages they show.
struct Bench {
  explicit Bench(std::string_view device) { ws.SelectDevice(*FindDeviceByName(device)); }
  MemorySettingsStore settings;
  Workspace ws{settings};
  RecordingUi ui;
  FileCommands files{ws, ui, settings};
  const DeviceDescriptor& Device() const { return ws.Device; }
  BufferSlot& Slot() { return ws.Active(); }
};

// The elements that belong to the device are equal.
inline ::testing::AssertionResult SameImage(const DeviceDescriptor& d, const BufferSlot& a,
                                            const BufferSlot& b) {
  auto differ = [&](const char* what, const std::vector<std::uint16_t>& x,
                    const std::vector<std::uint16_t>& y, int n) -> std::string {
    for (int i = 0; i < n; ++i) {
      if (x[i] != y[i]) {
        return std::string(what) + "[" + std::to_string(i) + "]: " + std::to_string(x[i]) + " vs " +
               std::to_string(y[i]);
      }
    }
    return "";
  };
  for (const std::string& diff :
       {differ("code", a.CodeBuffer, b.CodeBuffer, d.CodeSize),
        differ("data", a.DataBuffer, b.DataBuffer, std::max(d.DataSize, 0)),
        differ("config", a.ConfigArea, b.ConfigArea, d.ConfigAreaWords)}) {
    if (!diff.empty()) return ::testing::AssertionFailure() << d.Name << " " << diff;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace kestrum::testing
