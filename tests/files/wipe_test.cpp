#include "quillfern/files/wipe.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "file_test_support.hpp"
#include "quillfern/control/encryption.hpp"
#include "testing/doubles.hpp"
#include "support.hpp"

namespace quillfern {
namespace {

using files::wipe_file_clean;
using test::read_file;
using test::ScratchFolder;
using test::write_file;

TEST(Wipe, OverwritesOneBlockPastTheWholeBlocksThenDeletes) {
  ScratchFolder folder;
  const struct {
    std::size_t length, extent;
  } cases[] = {{0, 4096}, {1, 4096}, {4095, 4096}, {4096, 8192}, {4097, 8192}, {3u << 20, (3u << 20) + 4096}};
  for (const auto& c : cases) {
    write_file(folder / "f", std::string(c.length, 'd'));
    // A second name keeps the inode alive, so what the wipe left is seen.
    std::filesystem::create_hard_link(folder / "f", folder / "witness");
    std::vector<std::uint64_t> progress;
    wipe_file_clean(folder / "f", [&](std::uint64_t done, std::uint64_t total) {
      EXPECT_EQ(total, 2 * c.extent);
      progress.push_back(done);
    });
    EXPECT_FALSE(std::filesystem::exists(folder / "f"));
    EXPECT_EQ(read_file(folder / "witness"), std::string(c.extent, ' ')) << c.length;
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 2 * c.extent);
    EXPECT_EQ(files::wipe_extent(c.length), c.extent);
    std::filesystem::remove(folder / "witness");
  }
}

TEST(Wipe, WipesReadOnlyFiles) {
  ScratchFolder folder;
  write_file(folder / "ro", "secret");
  ::chmod((folder / "ro").c_str(), 0444);
  wipe_file_clean(folder / "ro");
  EXPECT_FALSE(std::filesystem::exists(folder / "ro"));
}

TEST(Wipe, RefusesAnythingButARegularFileAndLeavesItUntouched) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder / "dir");
  write_file(folder / "target", "keep me");
  std::filesystem::create_symlink(folder / "target", folder / "link");
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  for (const char* name : {"dir", "link", "pipe"}) {
    EXPECT_QF_ERROR(wipe_file_clean(folder / name), ErrorNumber::path_file_access);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(folder / name))) << name;
  }
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link"));
  EXPECT_EQ(read_file(folder / "target"), "keep me");
  EXPECT_QF_ERROR(wipe_file_clean("/dev/null"), ErrorNumber::path_file_access);
}

TEST(Wipe, MissingFilesCreateNothing) {
  ScratchFolder folder;
  EXPECT_QF_ERROR(wipe_file_clean(folder / "missing"), ErrorNumber::file_not_found);
  EXPECT_QF_ERROR(wipe_file_clean(folder / "nofolder/missing"), ErrorNumber::path_not_found);
  EXPECT_EQ(test::entries(folder.path()), 0u);
  // The control raises the same.
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  EXPECT_QF_ERROR(control.WipeFileClean(folder / "missing"), ErrorNumber::file_not_found);
  write_file(folder / "f", "x");
  control.WipeFileClean(folder / "f");
  EXPECT_EQ(test::entries(folder.path()), 0u);
}

}  // namespace
}  // namespace quillfern
