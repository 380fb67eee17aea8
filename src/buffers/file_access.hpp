// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing whole files with the POSIX calls: a buffered byte stream over a file
// or over memory (the readers parse both alike), and a save that replaces the target only
// once the new contents are completely on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

// Where a stream gets its bytes.
class InputSource {
 public:
  virtual ~InputSource() = default;
  // Fills `buffer` with up to its size: the number of bytes read, 0 at the end of the input.
  // On a failure returns 0 and sets `error` to the errno value.
  virtual std::size_t Read(std::span<char> buffer, int& error) = 0;
  // The whole size when it is known before reading (a regular file); -1 otherwise.
  virtual std::int64_t Size() const { return -1; }
};

// A file opened read-only by name.
class PosixInputFile final : public InputSource {
 public:
  // Null when the file cannot be opened; `error` then holds the errno value.
  static std::unique_ptr<PosixInputFile> Open(const std::string& path, int& error);
  // The size of a regular file; -1 for anything else (a pipe, a device).
  std::int64_t Size() const override;
  ~PosixInputFile() override;
  PosixInputFile(const PosixInputFile&) = delete;
  PosixInputFile& operator=(const PosixInputFile&) = delete;

  std::size_t Read(std::span<char> buffer, int& error) override;

 private:
  explicit PosixInputFile(int fd) : fd_(fd) {}
  int fd_;
};

// Byte-at-a-time reading with a buffer. A read failure ends the stream and is kept in Error().
// The name (a file's path) is what the readers' messages call the input.
class ByteStream {
 public:
  explicit ByteStream(std::string_view data, std::string name = {});
  explicit ByteStream(InputSource& source, std::string name = {});

  const std::string& Name() const { return name_; }
  // A source that goes on past `bytes` (a device file, a pipe) ends the stream there with
  // EFBIG: no device could use more.
  void Limit(std::size_t bytes) { limit_ = bytes; }

  // The next byte (0..255), or -1 at the end of the input or after a failure.
  int Get() {
    if (pos_ == data_.size() && !Refill()) return -1;
    return static_cast<unsigned char>(data_[pos_++]);
  }
  int Peek() {
    if (pos_ == data_.size() && !Refill()) return -1;
    return static_cast<unsigned char>(data_[pos_]);
  }
  // Reads up to `out.size()` bytes; fewer only at the end of the input or after a failure.
  std::size_t Read(std::span<std::uint8_t> out);
  // Skips up to `count` bytes; returns how many were skipped.
  std::size_t Skip(std::size_t count);
  // The errno value of a failed read, 0 when none failed.
  int Error() const { return error_; }

 private:
  bool Refill();

  InputSource* source_ = nullptr;
  std::string name_;
  std::size_t limit_ = SIZE_MAX;
  std::size_t taken_ = 0;  // bytes taken from the source so far
  std::vector<char> buffer_;
  std::string_view data_;
  std::size_t pos_ = 0;
  int error_ = 0;
};

// Writes all of `bytes` to an open descriptor; 0 or the errno value.
using WriteFunction = std::function<int(int fd, std::string_view bytes)>;
int PosixWriteAll(int fd, std::string_view bytes);

// Saves `bytes` as `path`: the bytes go to a new file in the target's folder, which is then
// renamed over the target, so a failure at any point leaves an existing file as it was. A
// replaced file keeps its permissions; a symbolic link keeps pointing at the file it names.
// Returns 0 or the errno value of the step that failed. `write` is replaceable for tests.
int WriteFileReplacing(const std::string& path, std::string_view bytes,
                       const WriteFunction& write = PosixWriteAll);

// The system's text for an errno value.
std::string SystemReason(int error);

}  // namespace kestrum
