// The atomic file writer: where it writes (link chains, descriptor names,
// names near the length limit), what a replaced file keeps (mode, owner,
// group), what it refuses (read-only files) and what it reports (other
// hard links), and that a termination signal takes its temporary file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "files/file_test_support.hpp"
#include "quillfern/platform/file_system.hpp"
#include "support.hpp"

namespace quillfern::platform {
namespace {

using test::entries;
using test::read_file;
using test::ScratchFolder;
using test::write_file;
namespace fs = std::filesystem;

void replace(const std::string& path, const std::string& data, const ReplaceOptions& options = {}) {
  ReplacingFile file(path, options);
  file.write(data.data(), data.size());
  file.commit();
}

struct stat stat_of(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

TEST(ReplacingFile, WritesWhereAChainOfLinksEnds) {
  ScratchFolder folder;
  fs::create_directory(folder / "sub");
  // link1 -> sub/link2 -> ../missing.txt: each link read from its own folder.
  fs::create_symlink("sub/link2", folder / "link1");
  fs::create_symlink("../missing.txt", folder / "sub/link2");
  replace(folder / "link1", "new");
  EXPECT_EQ(read_file(folder / "missing.txt"), "new");
  EXPECT_TRUE(fs::is_symlink(folder / "link1"));
  EXPECT_TRUE(fs::is_symlink(folder / "sub/link2"));
  // The same chain, now complete, and one through an absolute link.
  replace(folder / "link1", "again");
  fs::create_symlink(folder / "link1", folder / "absolute");
  replace(folder / "absolute", "third");
  EXPECT_EQ(read_file(folder / "missing.txt"), "third");
  EXPECT_TRUE(fs::is_symlink(folder / "sub/link2"));
  EXPECT_EQ(entries(folder.path()), 4u);
  EXPECT_EQ(entries(folder.path() / "sub"), 1u);
  // A loop is an error, and nothing is created.
  fs::create_symlink("loop2", folder / "loop1");
  fs::create_symlink("loop1", folder / "loop2");
  EXPECT_QF_ERROR(replace(folder / "loop1", "x"), ErrorNumber::path_not_found);
  EXPECT_EQ(entries(folder.path()), 6u);
}

TEST(ReplacingFile, DescriptorNamesAreWrittenInPlace) {
  const struct {
    const char* name;
    int descriptor;
  } names[] = {{"/dev/stdout", 1}, {"/dev/stderr", 2}, {"/dev/stdin", 0}, {"/dev/fd/7", 7},
               {"/proc/self/fd/12", 12}, {"/dev/fd/", -1}, {"/dev/fd/1x", -1}, {"/dev/stdout2", -1}};
  for (const auto& n : names) EXPECT_EQ(output_target(n.name).descriptor, n.descriptor) << n.name;

  // A regular file behind the descriptor goes on where the descriptor is,
  // as a shell's redirection expects; the file is not replaced.
  ScratchFolder folder;
  const std::string path = folder / "redirected";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "header\n", 7), 7);
  const ino_t inode = stat_of(path).st_ino;
  replace("/dev/fd/" + std::to_string(fd), "body\n");
  ASSERT_EQ(::write(fd, "footer\n", 7), 7);
  ::close(fd);
  EXPECT_EQ(read_file(path), "header\nbody\nfooter\n");
  EXPECT_EQ(stat_of(path).st_ino, inode);
  EXPECT_EQ(entries(folder.path()), 1u);
  // A closed descriptor is a bad file number.
  EXPECT_QF_ERROR(replace("/dev/fd/987", "x"), ErrorNumber::bad_file_name);
}

TEST(ReplacingFile, NamesUpToTheLimitGetAShorterTemporaryName) {
  ScratchFolder folder;
  for (std::size_t length : {248u, 249u, 250u, 254u, 255u}) {
    const std::string name = folder / std::string(length, 'n');
    write_file(name, "old");
    replace(name, "new");
    EXPECT_EQ(read_file(name), "new") << length;
    fs::remove(name);
    replace(name, "fresh");
    EXPECT_EQ(read_file(name), "fresh") << length;
    fs::remove(name);
    EXPECT_EQ(entries(folder.path()), 0u) << length;
  }
  // One byte over the limit fails as the system says, with nothing left.
  EXPECT_QF_ERROR(replace(folder / std::string(256, 'n'), "x"), ErrorNumber::bad_file_name);
  EXPECT_EQ(entries(folder.path()), 0u);
}

TEST(ReplacingFile, KeepsModeOwnerAndGroupAndRefusesReadOnlyFiles) {
  ScratchFolder folder;
  const std::string path = folder / "out";
  const mode_t mask = ::umask(077);
  write_file(path, "old");
  ::chmod(path.c_str(), 0754);
  replace(path, "new");
  EXPECT_EQ(stat_of(path).st_mode & 07777, 0754u);

  // A file without write permission stays as it is unless asked.
  ::chmod(path.c_str(), 0444);
  try {
    replace(path, "refused");
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (const ReadOnlyOutput& e) {
    EXPECT_EQ(e.number(), ErrorNumber::permission_denied);
    EXPECT_NE(e.detail().find("read-only"), std::string::npos) << e.what();
  }
  EXPECT_EQ(read_file(path), "new");
  ReplaceOptions force;
  force.replace_read_only = true;
  replace(path, "forced", force);
  EXPECT_EQ(read_file(path), "forced");
  EXPECT_EQ(stat_of(path).st_mode & 07777, 0444u);
  EXPECT_EQ(entries(folder.path()), 1u);
  ::umask(mask);

  if (::geteuid() == 0) {
    // Root gives the new file the old one's owner and group, set-id bits
    // and all.
    ::chmod(path.c_str(), 06750);
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    ::chmod(path.c_str(), 06750);
    replace(path, "owned");
    const struct stat st = stat_of(path);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 06750u);
  }
}

TEST(ReplacingFile, ReportsTheOtherNamesOfTheReplacedFile) {
  ScratchFolder folder;
  write_file(folder / "out", "old");
  fs::create_hard_link(folder / "out", folder / "second");
  fs::create_hard_link(folder / "out", folder / "third");
  std::string told;
  std::uint64_t others = 0;
  ReplaceOptions options;
  options.on_other_links = [&](const std::string& target, std::uint64_t count) {
    told = target;
    others = count;
  };
  replace(folder / "out", "new", options);
  EXPECT_EQ(told, folder / "out");
  EXPECT_EQ(others, 2u);
  EXPECT_EQ(read_file(folder / "second"), "old");
  // The new file has one name: nothing to tell.
  told.clear();
  replace(folder / "out", "newer", options);
  EXPECT_EQ(told, "");
}

// In a child process: a writer with its temporary file open, then `signal`.
TEST(ReplacingFile, ATerminationSignalRemovesTheTemporaryFile) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    ScratchFolder folder;
    const std::string path = folder / "out";
    write_file(path, "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(signal_number, SIG_DFL);
      remove_temporaries_on_signals();
      ReplacingFile file(path);
      file.write("partial", 7);
      ::raise(signal_number);
      ::_exit(0);  // not reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << "status " << status;
    EXPECT_EQ(read_file(path), "old");
    EXPECT_EQ(entries(folder.path()), 1u) << "signal " << signal_number;
  }
}

}  // namespace
}  // namespace quillfern::platform
