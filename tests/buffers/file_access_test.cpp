// SPDX-License-Identifier: GPL-3.0-or-later
// Saves replace a file only when they succeed.
#include "buffers/file_access.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "file_test_support.hpp"

namespace kestrum {
namespace {

using testing::ReadAll;
using testing::WriteAll;

TEST(WriteFileReplacing, OnlyASuccessfulSaveReplacesTheFileWhichKeepsItsModeAndLinks) {
  testing::ScratchDir dir;
  const std::string target = dir / "image.hex";
  WriteAll(target, "old contents");
  chmod(target.c_str(), 0640);
  std::filesystem::create_symlink(target, dir / "link.hex");
  const auto diskFullAfterThreeBytes = [](int fd, std::string_view bytes) {
    PosixWriteAll(fd, bytes.substr(0, 3));
    return ENOSPC;
  };
  EXPECT_EQ(WriteFileReplacing(target, "new contents", diskFullAfterThreeBytes), ENOSPC);
  EXPECT_EQ(ReadAll(target), "old contents");
  const auto files = [&] {
    return std::distance(std::filesystem::directory_iterator(dir.Path()), {});
  };
  EXPECT_EQ(files(), 2);  // no temporary file left behind

  EXPECT_EQ(WriteFileReplacing(dir / "link.hex", "new contents"), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.hex"));
  EXPECT_EQ(ReadAll(target), "new contents");
  struct stat st {};
  stat(target.c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(files(), 2);
}

}  // namespace
}  // namespace kestrum
