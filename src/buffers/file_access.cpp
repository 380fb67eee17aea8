// SPDX-License-Identifier: GPL-3.0-or-later
// POSIX file input and the replace-on-success save.
#include "buffers/file_access.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kestrum {
namespace {

constexpr std::size_t kStreamBufferSize = 64 * 1024;
constexpr int kTemporaryNameAttempts = 100;

std::atomic<unsigned> temporaryCounter{0};

// A symbolic link is followed to the file it names, so the save replaces that file and the
// link stays a link.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::unique_ptr<PosixInputFile> PosixInputFile::Open(const std::string& path, int& error) {
  // Non-blocking only for the open itself, so a FIFO without a writer cannot hang it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  error = 0;
  return std::unique_ptr<PosixInputFile>(new PosixInputFile(fd));
}

PosixInputFile::~PosixInputFile() {
  ::close(fd_);
}

std::size_t PosixInputFile::Read(std::span<char> buffer, int& error) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno == EINTR) continue;
    error = errno;
    return 0;
  }
}

std::int64_t PosixInputFile::Size() const {
  struct stat st {};
  if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return st.st_size;
}

ByteStream::ByteStream(std::string_view data, std::string name)
    : name_(std::move(name)), data_(data) {}

ByteStream::ByteStream(InputSource& source, std::string name)
    : source_(&source), name_(std::move(name)), buffer_(kStreamBufferSize) {}

bool ByteStream::Refill() {
  if (source_ == nullptr || error_ != 0) return false;
  int error = 0;
  std::size_t n = source_->Read(buffer_, error);
  if (n > 0 && taken_ + n > limit_) {
    n = 0;
    error = EFBIG;
  }
  taken_ += n;
  if (n == 0) {
    error_ = error;
    source_ = nullptr;  // the end, or a failure: nothing more comes from this source
    return false;
  }
  data_ = std::string_view(buffer_.data(), n);
  pos_ = 0;
  return true;
}

std::size_t ByteStream::Read(std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    if (pos_ == data_.size() && !Refill()) break;
    const std::size_t n = std::min(out.size() - done, data_.size() - pos_);
    std::memcpy(out.data() + done, data_.data() + pos_, n);
    pos_ += n;
    done += n;
  }
  return done;
}

std::size_t ByteStream::Skip(std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    if (pos_ == data_.size() && !Refill()) break;
    const std::size_t n = std::min(count - done, data_.size() - pos_);
    pos_ += n;
    done += n;
  }
  return done;
}

int PosixWriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

int WriteFileReplacing(const std::string& path, std::string_view bytes,
                       const WriteFunction& write) {
  const std::string target = ResolveTarget(path);
  const std::string folder = FolderOf(target);
  // A file the user made read-only is not replaced behind their back (the rename would need
  // only the folder's permission).
  struct stat existing {};
  const bool exists = stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return EISDIR;
  if (exists && S_ISREG(existing.st_mode) &&
      ((existing.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0)) {
    return EACCES;
  }
  // The temporary name keeps within the file system's limit for a name, however long the
  // target's is: its suffix has room for the process and the counter.
  constexpr std::size_t kSuffixRoom = 32;
  const std::string base = BaseNameOf(target);
  const std::string prefix =
      folder + "/." + base.substr(0, std::min<std::size_t>(base.size(), NAME_MAX - kSuffixRoom)) +
      ".";

  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < kTemporaryNameAttempts && fd < 0; ++attempt) {
    temporary = prefix + std::to_string(getpid()) + "-" + std::to_string(temporaryCounter++);
    // 0666 under the user's umask: the same permissions a plain create would give.
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;

  int error = 0;
  if (exists && S_ISREG(existing.st_mode)) fchmod(fd, existing.st_mode & 07777);
  error = write(fd, bytes);
  // Some file systems report a full disk only when the data reach it.
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  return error;
}

std::string SystemReason(int error) {
  char buffer[256];
  // The GNU strerror_r returns its text, which need not be in `buffer`.
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace kestrum
