#include "quillfern/platform/file_system.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "support.hpp"

namespace quillfern::platform {
namespace {

TEST(FileSystem, SystemErrorsBecomeThePlatformsNumbers) {
  const struct {
    int os_error;
    FileAccess access;
    bool folder_exists;
    ErrorNumber expected;
  } cases[] = {
      {ENOENT, FileAccess::read, true, ErrorNumber::file_not_found},
      {ENOENT, FileAccess::read, false, ErrorNumber::path_not_found},
      {ENOENT, FileAccess::create, true, ErrorNumber::path_not_found},
      {ENOENT, FileAccess::remove, true, ErrorNumber::file_not_found},
      {ENOTDIR, FileAccess::read, true, ErrorNumber::path_not_found},
      {EACCES, FileAccess::read, true, ErrorNumber::permission_denied},
      {EPERM, FileAccess::remove, true, ErrorNumber::permission_denied},
      {EROFS, FileAccess::create, true, ErrorNumber::permission_denied},
      {ENOSPC, FileAccess::write, true, ErrorNumber::disk_full},
      {EFBIG, FileAccess::write, true, ErrorNumber::disk_full},
      {EDQUOT, FileAccess::write, true, ErrorNumber::disk_full},
      {EIO, FileAccess::write, true, ErrorNumber::device_io},
      {ENAMETOOLONG, FileAccess::create, true, ErrorNumber::bad_file_name},
      {EISDIR, FileAccess::read, true, ErrorNumber::path_file_access},
      {EBUSY, FileAccess::write, true, ErrorNumber::path_file_access},
      {EXDEV, FileAccess::remove, true, ErrorNumber::path_file_access},
      {not_a_regular_file, FileAccess::write, true, ErrorNumber::path_file_access},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(file_error_number(c.os_error, c.access, c.folder_exists), c.expected) << c.os_error;
  }
}

TEST(FileSystem, ErrorsNameTheFile) {
  try {
    (void)File::open_read("/nonexistent-quillfern-folder/file");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), ErrorNumber::path_not_found);
    EXPECT_NE(e.detail().find("/nonexistent-quillfern-folder/file"), std::string::npos);
  }
  EXPECT_EQ(file_info("/nonexistent-quillfern-folder").kind, FileKind::missing);
  EXPECT_EQ(file_info("/").kind, FileKind::directory);
}

TEST(FileSystem, OnlyARegularFileIsHeldAndAFolderSaysSo) {
  const std::string dir = ::testing::TempDir() + "quillfern_not_regular";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directory(dir);
  ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink("fifo", dir + "/link");
  const struct {
    std::string name;
    const char* reason;
  } cases[] = {{"/fifo", ": not a regular file"}, {"/link", ": not a regular file"}, {"", ": Is a directory"}};
  for (const auto& c : cases) {
    try {
      (void)HeldFile::hold(dir + c.name);
      ADD_FAILURE() << c.name << " was held";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), ErrorNumber::path_file_access) << c.name;
      EXPECT_EQ(e.detail(), dir + c.name + c.reason);
    }
  }
  EXPECT_EQ(file_error_text(not_a_regular_file), "not a regular file");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quillfern::platform
