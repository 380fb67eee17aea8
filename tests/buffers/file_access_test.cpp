// Byte streams over failing inputs, and saves that replace a file only when they succeed.
#include "buffers/file_access.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "file_test_support.hpp"

namespace kestrum {
namespace {

using testing::ReadAll;
using testing::ScratchDir;
using testing::WriteAll;

TEST(ByteStream, AFailedReadEndsTheStreamAndIsKept) {
  testing::FailingSource source("0123456789", EIO);
  ByteStream in(source);
  EXPECT_EQ(in.Get(), '0');
  EXPECT_EQ(in.Skip(3), 3u);
  std::vector<std::uint8_t> rest(20);
  EXPECT_EQ(in.Read(rest), 6u);
  EXPECT_EQ(rest[5], '9');
  EXPECT_EQ(in.Peek(), -1);
  EXPECT_EQ(in.Error(), EIO);
  EXPECT_EQ(in.Get(), -1);
}

TEST(WriteFileReplacing, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  ScratchDir dir;
  const std::string target = dir / "image.hex";
  WriteAll(target, "old contents");
  chmod(target.c_str(), 0640);
  const int error = WriteFileReplacing(target, "new contents", [](int fd, std::string_view bytes) {
    PosixWriteAll(fd, bytes.substr(0, 3));  // the disk fills up after three bytes
    return ENOSPC;
  });
  EXPECT_EQ(error, ENOSPC);
  EXPECT_EQ(ReadAll(target), "old contents");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator{}),
            1);

  // A successful save replaces the contents and keeps the permissions.
  EXPECT_EQ(WriteFileReplacing(target, "new contents"), 0);
  EXPECT_EQ(ReadAll(target), "new contents");
  struct stat st {};
  stat(target.c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(WriteFileReplacing, ASymbolicLinkStaysALinkToTheSavedFile) {
  ScratchDir dir;
  std::filesystem::create_directory(dir / "real");
  WriteAll(dir / "real/image.hex", "old");
  std::filesystem::create_symlink(dir / "real/image.hex", dir / "link.hex");
  EXPECT_EQ(WriteFileReplacing(dir / "link.hex", "new"), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.hex"));
  EXPECT_EQ(ReadAll(dir / "real/image.hex"), "new");
}

}  // namespace
}  // namespace kestrum
