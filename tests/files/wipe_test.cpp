#include "quillfern/files/wipe.hpp"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>

#include "file_test_support.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/platform/file_system.hpp"
#include "quillfern/platform/system_calls.hpp"
#include "testing/doubles.hpp"
#include "support.hpp"

namespace quillfern {
namespace {

using files::wipe_file_clean;
using test::read_file;
using test::ScratchFolder;
using test::write_file;
namespace fs = std::filesystem;

constexpr uid_t nobody = 65534;

std::uint32_t mode_of(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<std::uint32_t>(st.st_mode & 07777) : 0;
}

// The outcome of a job run in a child process: the error number it raised,
// 0 for none, 255 for any other exception, 254 when the child could not be
// set up, -1 when it did not exit.
int outcome_of(pid_t child) {
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

int run_and_exit(const std::function<void()>& job) {
  try {
    job();
  } catch (const Error& e) {
    return e.code();
  } catch (...) {
    return 255;
  }
  return 0;
}

// Runs `job` as an unprivileged user, in a child process: as nobody when
// the tests run as root, as ourselves otherwise. Returns its outcome.
int as_unprivileged(const std::function<void()>& job) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
      ::_exit(254);
    }
    ::_exit(run_and_exit(job));
  }
  return outcome_of(child);
}

// Runs `job` in a child process whose files may not grow past `limit`
// bytes, a write beyond that failing with EFBIG as on a full device.
int under_size_limit(std::uint64_t limit, const std::function<void()>& job) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit cap{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    if (::setrlimit(RLIMIT_FSIZE, &cap) != 0) ::_exit(254);
    ::_exit(run_and_exit(job));
  }
  return outcome_of(child);
}

// Sets a file's or a folder's inode flags (immutable, append-only) for
// the life of the guard; ok() is false where the system refuses (without
// the privilege, on a file system without them).
class InodeFlags {
 public:
  InodeFlags(const std::string& path, int flags) : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK)) {
    int now = 0;
    if (fd_ < 0 || ::ioctl(fd_, FS_IOC_GETFLAGS, &now) != 0) return;
    before_ = now;
    now |= flags;
    ok_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &now) == 0;
  }
  ~InodeFlags() {
    if (ok_) ::ioctl(fd_, FS_IOC_SETFLAGS, &before_);
    if (fd_ >= 0) ::close(fd_);
  }
  InodeFlags(const InodeFlags&) = delete;
  InodeFlags& operator=(const InodeFlags&) = delete;
  [[nodiscard]] bool ok() const noexcept { return ok_; }

 private:
  int fd_;
  int before_ = 0;
  bool ok_ = false;
};

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

// A read-only file of an ordinary user is made writable through the held
// file, never through its name, and gets its permissions back whenever it
// survives: after a failure, and under its other names.
TEST(Wipe, ChangesTheModeOfTheHeldFileOnlyAndPutsItBack) {
  ScratchFolder folder;
  fs::permissions(folder.path(), fs::perms::all);
  const std::string mine = folder / "mine";
  fs::create_directory(mine);
  const std::string victim = mine + "/victim", witness = mine + "/witness", bystander = mine + "/bystander";
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(mine.c_str(), nobody, nobody), 0);
  }

  // A symbolic link swapped in for the name just before the mode changes.
  class SwapBeforeChmod final : public platform::SystemCallHook {
   public:
    explicit SwapBeforeChmod(std::string name) : name_(std::move(name)) {}
    int before(platform::SystemCall call, std::size_t&) noexcept override {
      if (call == platform::SystemCall::chmod && !swapped_) {
        swapped_ = true;
        ::symlink("bystander", (name_ + ".new").c_str());
        ::rename((name_ + ".new").c_str(), name_.c_str());
      }
      return 0;
    }

   private:
    std::string name_;
    bool swapped_ = false;
  };
  // A write that fails once the wipe has begun.
  class FailSecondWrite final : public platform::SystemCallHook {
   public:
    int before(platform::SystemCall call, std::size_t&) noexcept override {
      return call == platform::SystemCall::write && ++writes_ == 2 ? EIO : 0;
    }

   private:
    int writes_ = 0;
  };

  const struct {
    const char* name;
    int hook;  // 0 none, 1 swap a link in, 2 fail a write
    int error;
  } cases[] = {
      {"read-only file", 0, 0},
      {"a link swapped in before the mode changes", 1, 75},
      {"a write that fails", 2, 57},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int outcome = as_unprivileged([&] {
      write_file(victim, std::string(5000, 'v'));
      write_file(bystander, "bystander");
      ::chmod(victim.c_str(), 0444);
      ::chmod(bystander.c_str(), 0444);
      ::link(victim.c_str(), witness.c_str());
      std::optional<SwapBeforeChmod> swap;
      std::optional<FailSecondWrite> fail;
      platform::SystemCallHook* hook = nullptr;
      if (c.hook == 1) hook = &swap.emplace(victim);
      if (c.hook == 2) hook = &fail.emplace();
      platform::set_system_call_hook(hook);
      wipe_file_clean(victim);
    });
    EXPECT_EQ(outcome, c.error);
    EXPECT_EQ(mode_of(witness), 0444u) << "the wiped file's permissions were not put back";
    EXPECT_EQ(mode_of(bystander), 0444u) << "a file the name came to point at was changed";
    EXPECT_EQ(read_file(bystander), "bystander");
    if (c.hook != 2) {
      EXPECT_EQ(read_file(witness), std::string(8192, ' '));
    }
    if (c.hook == 1) {
      EXPECT_TRUE(fs::is_symlink(victim)) << "the swapped-in link was deleted";
    }
    if (c.hook == 2) {
      EXPECT_TRUE(fs::exists(victim));
    }
    fs::remove(victim);
    fs::remove(witness);
    fs::remove(bystander);
  }
}

// Nothing is written when the name could not be deleted afterwards: the
// file keeps its bytes, its mode and its name.
TEST(Wipe, RefusesANameThatCouldNotBeDeletedBeforeWritingAnything) {
  ScratchFolder folder;
  fs::permissions(folder.path(), fs::perms::all);
  const std::string data(6000, 'k');
  const auto prepare = [&](const std::string& sub, fs::perms folder_mode, fs::perms file_mode) {
    fs::create_directory(folder / sub);
    write_file(folder / (sub + "/f"), data);
    fs::permissions(folder / (sub + "/f"), file_mode);
    fs::permissions(folder / sub, folder_mode);
    return folder / (sub + "/f");
  };
  const auto untouched = [&](const std::string& name, std::uint32_t mode) {
    EXPECT_EQ(read_file(name), data) << name;
    EXPECT_EQ(mode_of(name), mode) << name;
  };
  const auto rw = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
  const auto anyone_writes = fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);

  // Flags that only the administrator sets; each case is skipped where the
  // file system has none.
  const struct {
    const char* sub;
    bool on_folder;
    int flag;
  } flagged[] = {
      {"append-only folder", true, FS_APPEND_FL},
      {"immutable folder", true, FS_IMMUTABLE_FL},
      {"append-only file", false, FS_APPEND_FL},
      {"immutable file", false, FS_IMMUTABLE_FL},
  };
  for (const auto& c : flagged) {
    SCOPED_TRACE(c.sub);
    const std::string name = prepare(c.sub, fs::perms::owner_all, rw);
    InodeFlags flags(c.on_folder ? folder / c.sub : name, c.flag);
    if (!flags.ok()) {
      std::cout << "skipped: " << c.sub << " (the flag cannot be set here)\n";
      continue;
    }
    EXPECT_QF_ERROR(wipe_file_clean(name), ErrorNumber::permission_denied);
    untouched(name, 0644);
  }

  // Folders that an ordinary user may not delete from, with a file that
  // user may write.
  const struct {
    const char* sub;
    fs::perms folder_mode;
  } folders[] = {
      {"read-only folder", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec},
      {"sticky folder of another user", fs::perms::all | fs::perms::sticky_bit},
  };
  if (::geteuid() != 0) {
    std::cout << "skipped: folders of another user (the tests do not run as root)\n";
    return;
  }
  for (const auto& c : folders) {
    SCOPED_TRACE(c.sub);
    const std::string name = prepare(c.sub, c.folder_mode, anyone_writes);
    EXPECT_EQ(as_unprivileged([&] { wipe_file_clean(name); }), 70);
    untouched(name, 0666);
  }
}

// On a full device (here a file-size limit, which refuses growth as a
// full device does) both passes still cover the file's own bytes, the
// error says what is missing, and the file stays with its mode.
TEST(Wipe, OnAFullDeviceBothPassesStillCoverTheFilesOwnBytes) {
  ScratchFolder folder;
  const struct {
    std::uint64_t size, limit, spaces;
  } cases[] = {
      {8192, 8192, 8192},  // no room for the block past the end
      {5000, 6000, 6000},  // room for part of it, which gets both passes too
      {0, 0, 0},           // no room at all: an empty file has nothing of its own
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string name = folder / "f", witness = folder / "witness";
    write_file(name, std::string(c.size, 'd'));
    ::chmod(name.c_str(), 0440);
    fs::create_hard_link(name, witness);
    EXPECT_EQ(under_size_limit(c.limit, [&] { wipe_file_clean(name); }), 61);
    EXPECT_TRUE(fs::exists(name));
    EXPECT_EQ(read_file(witness), std::string(c.spaces, ' '));
    EXPECT_EQ(mode_of(name), 0440u);
    fs::remove(name);
    fs::remove(witness);
  }
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

// The name is deleted only while it still names the file that was
// overwritten: what a rename or a link put in its place stays.
TEST(Wipe, DeletesTheNameOnlyIfItStillNamesTheWipedFile) {
  ScratchFolder folder;
  const std::string name = folder / "victim", witness = folder / "witness", other = folder / "other";
  const struct {
    const char* what;
    std::function<void()> meanwhile;
    ErrorNumber error;
  } cases[] = {
      {"another file renamed over it", [&] { fs::rename(other, name); }, ErrorNumber::path_file_access},
      {"a symbolic link put in its place",
       [&] {
         fs::create_symlink(other, name + ".new");
         fs::rename(name + ".new", name);
       },
       ErrorNumber::path_file_access},
      {"the name removed", [&] { fs::remove(name); }, ErrorNumber::file_not_found},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    write_file(name, std::string(10000, 'v'));
    write_file(other, "not to be wiped");
    fs::create_hard_link(name, witness);
    bool done = false;
    EXPECT_QF_ERROR(wipe_file_clean(name,
                                    [&](std::uint64_t, std::uint64_t) {
                                      if (!std::exchange(done, true)) c.meanwhile();
                                    }),
                    c.error);
    EXPECT_EQ(read_file(witness), std::string(12288, ' ')) << "the file was not wiped";
    if (c.error == ErrorNumber::path_file_access) {
      EXPECT_EQ(read_file(name), "not to be wiped") << "what took the name was deleted or changed";
    }
    std::error_code ignored;
    for (const std::string& left : {name, witness, other}) fs::remove(left, ignored);
  }
}

// Other names of the file are told of before the first write; the wipe
// goes on, as the control's does.
TEST(Wipe, TellsOfOtherHardLinksBeforeWriting) {
  ScratchFolder folder;
  for (std::uint64_t links : {0u, 1u, 2u}) {
    SCOPED_TRACE(links);
    write_file(folder / "f", "shared data");
    for (std::uint64_t i = 0; i < links; ++i) fs::create_hard_link(folder / "f", folder / ("l" + std::to_string(i)));
    std::vector<std::string> heard;
    wipe_file_clean(
        folder / "f", [&](std::uint64_t, std::uint64_t) { heard.push_back("progress"); },
        [&](std::uint64_t others) { heard.push_back("links " + std::to_string(others)); });
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.front(), links == 0 ? "progress" : "links " + std::to_string(links));
    EXPECT_EQ(std::count(heard.begin(), heard.end(), heard.front()), links == 0 ? heard.size() : 1u);
    EXPECT_FALSE(fs::exists(folder / "f"));
    for (std::uint64_t i = 0; i < links; ++i) {
      EXPECT_EQ(read_file(folder / ("l" + std::to_string(i))), std::string(4096, ' '));
      fs::remove(folder / ("l" + std::to_string(i)));
    }
  }
}

TEST(Wipe, MissingFilesCreateNothing) {
  ScratchFolder folder;
  EXPECT_QF_ERROR(wipe_file_clean(folder / "missing"), ErrorNumber::file_not_found);
  EXPECT_QF_ERROR(wipe_file_clean(folder / "nofolder/missing"), ErrorNumber::path_not_found);
  EXPECT_QF_ERROR(wipe_file_clean(""), ErrorNumber::file_not_found);
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
