// The POSIX implementation of the file system interface.
#include "quillfern/platform/file_system.hpp"
#include "quillfern/platform/system_calls.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace quillfern::platform {

namespace {

FileInfo info_from(const struct stat& st) {
  FileInfo info;
  if (S_ISREG(st.st_mode)) info.kind = FileKind::regular;
  else if (S_ISDIR(st.st_mode)) info.kind = FileKind::directory;
  else if (S_ISLNK(st.st_mode)) info.kind = FileKind::symlink;
  else info.kind = FileKind::other;
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.permissions = static_cast<std::uint32_t>(st.st_mode & 07777);
  info.device = static_cast<std::uint64_t>(st.st_dev);
  info.inode = static_cast<std::uint64_t>(st.st_ino);
  info.links = static_cast<std::uint64_t>(st.st_nlink);
  info.owner = static_cast<std::uint32_t>(st.st_uid);
  info.group = static_cast<std::uint32_t>(st.st_gid);
  return info;
}

// What precedes the last name of `path`, its slash included; empty for a
// bare name.
std::string folder_prefix(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The descriptor that `name` stands for (/dev/stdout, /dev/fd/3,
// /proc/self/fd/3), or -1. Opening such a name would give a new file
// position at the start of a regular file; writing through the
// descriptor itself goes on where the shell's redirection is.
int descriptor_named(const std::string& name) noexcept {
  if (name == "/dev/stdin") return 0;
  if (name == "/dev/stdout") return 1;
  if (name == "/dev/stderr") return 2;
  std::string_view number;
  for (std::string_view folder : {"/dev/fd/", "/proc/self/fd/"}) {
    if (name.starts_with(folder)) number = std::string_view(name).substr(folder.size());
  }
  if (number.empty()) return -1;
  int descriptor = -1;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), descriptor);
  if (ec != std::errc{} || end != number.data() + number.size()) return -1;
  return descriptor;
}

// Links followed before a chain counts as a loop, as the system's own limit.
constexpr int max_link_hops = 40;

int open_checked(const std::string& path, int flags, FileAccess access) {
  for (;;) {
    const int fd = hook_fails(SystemCall::open) ? -1 : ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd >= 0) return fd;
    if (errno != EINTR) raise_file_error(errno, access, path);
  }
}

}  // namespace

bool is_directory(const std::string& path) noexcept {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FileInfo file_info(const std::string& path, bool follow_links) {
  struct stat st {};
  const int result = hook_fails(SystemCall::stat) ? -1
                     : follow_links          ? ::stat(path.c_str(), &st)
                                             : ::lstat(path.c_str(), &st);
  if (result != 0) {
    if (errno == ENOENT) return {};
    raise_file_error(errno, FileAccess::read, path);
  }
  return info_from(st);
}

OutputTarget output_target(const std::string& path) {
  std::string name = path;
  for (int hops = 0; hops <= max_link_hops; ++hops) {
    if (const int descriptor = descriptor_named(name); descriptor >= 0) return {name, descriptor};
    struct stat st {};
    // Anything but a link (a missing name included) ends the chain; a name
    // that cannot be looked at fails when it is opened, with its own error.
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {name};
    std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
    const ssize_t length = ::readlink(name.c_str(), link.data(), link.size());
    if (length < 0) raise_file_error(errno, FileAccess::read, name);
    if (length == 0 || static_cast<std::size_t>(length) >= link.size()) raise_file_error(EINVAL, FileAccess::read, name);
    std::string next(link.data(), static_cast<std::size_t>(length));
    // A relative link is read from the folder that holds it.
    name = next.front() == '/' ? next : folder_prefix(name) + next;
  }
  raise_file_error(ELOOP, FileAccess::create, path);
}

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) ::close(handle_);
    handle_ = std::exchange(other.handle_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

File::~File() {
  if (handle_ >= 0) ::close(handle_);
}

File File::open_read(const std::string& path) {
  File file(open_checked(path, O_RDONLY, FileAccess::read), path);
  if (file.info().kind == FileKind::directory) raise_file_error(EISDIR, FileAccess::read, path);
  return file;
}

File File::open_write(const std::string& path) {
  return regular_file(File(open_checked(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK, FileAccess::read), path), path);
}

File File::open_write_existing(const std::string& path) {
  return File(open_checked(path, O_WRONLY, FileAccess::read), path);
}

File File::create_beside(const std::string& path, std::string& temp_path) {
  std::string pattern = path + ".XXXXXX";
  const std::string short_pattern = folder_prefix(path) + ".quillfern.XXXXXX";
  for (;;) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = hook_fails(SystemCall::create) ? -1 : ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
      temp_path.assign(name.data());
      return File(fd, temp_path);
    }
    if (errno == EINTR) continue;
    // A name within 7 bytes of the folder's limit has no room for the
    // suffix; a name that is itself too long fails at the rename.
    if (errno == ENAMETOOLONG && pattern != short_pattern) {
      pattern = short_pattern;
      continue;
    }
    raise_file_error(errno, FileAccess::create, path);
  }
}

File File::duplicate(int descriptor, const std::string& name) {
  const int fd = hook_fails(SystemCall::open) ? -1 : ::fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
  if (fd < 0) raise_file_error(errno, FileAccess::write, name);
  return File(fd, name);
}

FileInfo File::info() const {
  struct stat st {};
  if (hook_fails(SystemCall::stat) || ::fstat(handle_, &st) != 0) raise_file_error(errno, FileAccess::read, path_);
  return info_from(st);
}

namespace {

// Reads `size` bytes through `call(at, wanted, done)` (read or pread) until
// the end of the file, again after an interruption.
template <typename Call>
std::size_t read_to_end(void* buffer, std::size_t size, const std::string& path, Call call) {
  auto* bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    std::size_t wanted = size - done;
    const ssize_t got = hook_fails(SystemCall::read, wanted) ? -1 : call(bytes + done, wanted, done);
    if (got < 0) {
      if (errno == EINTR) continue;
      raise_file_error(errno, FileAccess::read, path);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

// Writes all `size` bytes through `call(at, wanted, done)` (write or
// pwrite), again after an interruption or a short write.
template <typename Call>
void write_all(const void* data, std::size_t size, const std::string& path, Call call) {
  const auto* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    std::size_t wanted = size - done;
    const ssize_t put = hook_fails(SystemCall::write, wanted) ? -1 : call(bytes + done, wanted, done);
    if (put < 0) {
      if (errno == EINTR) continue;
      raise_file_error(errno, FileAccess::write, path);
    }
    done += static_cast<std::size_t>(put);
  }
}

}  // namespace

std::size_t File::read(void* buffer, std::size_t size) {
  return read_to_end(buffer, size, path_,
                     [&](char* at, std::size_t wanted, std::size_t) { return ::read(handle_, at, wanted); });
}

std::size_t File::read_at(void* buffer, std::size_t size, std::uint64_t offset) {
  return read_to_end(buffer, size, path_, [&](char* at, std::size_t wanted, std::size_t done) {
    return ::pread(handle_, at, wanted, static_cast<off_t>(offset + done));
  });
}

void File::write(const void* data, std::size_t size) {
  write_all(data, size, path_,
            [&](const char* at, std::size_t wanted, std::size_t) { return ::write(handle_, at, wanted); });
}

void File::write_at(const void* data, std::size_t size, std::uint64_t offset) {
  write_all(data, size, path_, [&](const char* at, std::size_t wanted, std::size_t done) {
    return ::pwrite(handle_, at, wanted, static_cast<off_t>(offset + done));
  });
}

void File::start_writeback(std::uint64_t offset, std::uint64_t size) noexcept {
#ifdef SYNC_FILE_RANGE_WRITE
  ::sync_file_range(handle_, static_cast<off_t>(offset), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
#else
  (void)offset;
  (void)size;
#endif
}

void File::sync() {
  for (;;) {
    if (!hook_fails(SystemCall::sync) && ::fsync(handle_) == 0) return;
    // A flush that a signal interrupted is asked again.
    if (errno == EINTR) continue;
    // Pipes and terminals cannot be flushed to a device; nothing is lost.
    if (errno == EINVAL || errno == EROFS) return;
    raise_file_error(errno, FileAccess::write, path_);
  }
}

void File::set_permissions(std::uint32_t permissions) {
  if (hook_fails(SystemCall::chmod) || ::fchmod(handle_, static_cast<mode_t>(permissions & 07777)) != 0) {
    raise_file_error(errno, FileAccess::write, path_);
  }
}

void File::set_owner(std::uint32_t owner, std::uint32_t group) noexcept {
  if (::fchown(handle_, static_cast<uid_t>(owner), static_cast<gid_t>(group)) == 0) return;
  // Not allowed to give the file away: at least the group, when the user
  // belongs to it.
  (void)::fchown(handle_, static_cast<uid_t>(-1), static_cast<gid_t>(group));
}

void File::close() {
  if (handle_ < 0) return;
  const int fd = std::exchange(handle_, -1);
  // Linux releases the descriptor even when close fails; never retry.
  int result = ::close(fd);
  if (hook_fails(SystemCall::close)) result = -1;
  if (result != 0 && errno != EINTR) raise_file_error(errno, FileAccess::write, path_);
}

void rename_file(const std::string& from, const std::string& to) {
  if (hook_fails(SystemCall::rename) || ::rename(from.c_str(), to.c_str()) != 0) raise_file_error(errno, FileAccess::remove, to);
}

void remove_file(const std::string& path) {
  if (hook_fails(SystemCall::remove) || ::unlink(path.c_str()) != 0) raise_file_error(errno, FileAccess::remove, path);
}

void remove_file_quietly(const std::string& path) noexcept {
  if (!hook_fails(SystemCall::remove)) ::unlink(path.c_str());
}

// ---- HeldFile ---------------------------------------------------------

namespace {

std::string name_in_folder(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// openat, asked again when a signal interrupts it; -1 with errno on failure.
int open_at(int folder, const char* name, int flags) noexcept {
  for (;;) {
    const int fd = hook_fails(SystemCall::open) ? -1 : ::openat(folder, name, flags | O_CLOEXEC);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

// The name under which the system reaches the file of an open descriptor,
// whatever names the file has now (Linux).
std::string descriptor_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// A descriptor that only holds a file: it reads nothing, so opening it has
// no effect on a device or a pipe, and needs no permission on the file.
#ifdef O_PATH
constexpr int holding = O_PATH;
#else
constexpr int holding = O_RDONLY | O_NONBLOCK | O_NOCTTY;
#endif

struct Locks {
  bool immutable = false;
  bool append_only = false;
};

// The immutable and append-only flags of an open file or folder, as far as
// the system tells them: statx where the file system reports them, else
// the FS_IOC_GETFLAGS request (which needs a descriptor opened for
// reading); none where neither is known.
Locks locks_of([[maybe_unused]] int fd) noexcept {
#if defined(STATX_ATTR_IMMUTABLE) && defined(STATX_ATTR_APPEND)
  struct statx sx {};
  if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_TYPE, &sx) == 0) {
    constexpr std::uint64_t known = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;
    if ((sx.stx_attributes_mask & known) == known) {
      return {(sx.stx_attributes & STATX_ATTR_IMMUTABLE) != 0, (sx.stx_attributes & STATX_ATTR_APPEND) != 0};
    }
  }
#endif
#if defined(FS_IOC_GETFLAGS) && defined(FS_IMMUTABLE_FL) && defined(FS_APPEND_FL)
  int flags = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
    return {(flags & FS_IMMUTABLE_FL) != 0, (flags & FS_APPEND_FL) != 0};
  }
#endif
  return {};
}

void look(int fd, struct stat& st, const std::string& path) {
  if (hook_fails(SystemCall::stat) || ::fstat(fd, &st) != 0) raise_file_error(errno, FileAccess::read, path);
}

}  // namespace

HeldFile::~HeldFile() {
  if (mode_changed_) {
    try {
      set_mode(saved_mode_);
    } catch (...) {
      // Already failing: the error that ends the job is the one reported.
    }
  }
  if (file_ >= 0) ::close(file_);
  if (folder_ >= 0) ::close(folder_);
}

HeldFile HeldFile::hold(const std::string& path) {
  if (path.empty()) raise_file_error(ENOENT, FileAccess::read, path);
  HeldFile held;
  held.path_ = path;
  held.name_ = name_in_folder(path);
  const std::string folder = folder_of(path);
  held.folder_ = open_at(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY);
  // A folder that we may search and write but not list can still lose a
  // name; only its flags go unread.
  if (held.folder_ < 0 && errno == EACCES) held.folder_ = open_at(AT_FDCWD, folder.c_str(), holding | O_DIRECTORY);
  if (held.folder_ < 0) raise_file_error(errno, FileAccess::read, path);
  if (held.name_.empty() || held.name_ == "." || held.name_ == "..") {
    raise_file_error(EISDIR, FileAccess::write, path);
  }
  held.file_ = open_at(held.folder_, held.name_.c_str(), holding | O_NOFOLLOW);
  if (held.file_ < 0) {
    const int error = errno;
    // Without O_PATH a final symbolic link fails to open.
    if (error == ELOOP) raise_file_error(not_a_regular_file, FileAccess::write, path);
    raise_file_error(error, FileAccess::read, path);
  }
  struct stat st {};
  look(held.file_, st, path);
  if (!S_ISREG(st.st_mode)) raise_file_error(S_ISDIR(st.st_mode) ? EISDIR : not_a_regular_file, FileAccess::write, path);
  held.info_ = info_from(st);
  held.owner_ = st.st_uid;
  held.saved_mode_ = held.info_.permissions;
  return held;
}

void HeldFile::check_removable() const {
  const auto refuse = [&](int error, const std::string& why) {
    throw Error(file_error_number(error, FileAccess::remove), path_ + ": cannot be deleted: " + why + "; it was left as it was");
  };
  // Deleting a name writes its folder.
  if (hook_fails(SystemCall::stat) || ::faccessat(folder_, ".", W_OK | X_OK, AT_EACCESS) != 0) {
    if (errno == EACCES || errno == EPERM || errno == EROFS) {
      refuse(errno, std::string("its folder is not writable (") + std::strerror(errno) + ")");
    }
    raise_file_error(errno, FileAccess::read, path_);
  }
  struct stat folder {};
  look(folder_, folder, path_);
  // In a sticky folder (/tmp) only the file's owner, the folder's owner and
  // the administrator delete a name.
  const auto us = static_cast<std::uint64_t>(::geteuid());
  if ((folder.st_mode & S_ISVTX) != 0 && us != 0 && us != owner_ && us != folder.st_uid) {
    refuse(EPERM, "its folder is sticky, and neither the file nor the folder is ours");
  }
  if (hook_fails(SystemCall::stat)) raise_file_error(errno, FileAccess::read, path_);
  const Locks folder_locks = locks_of(folder_);
  if (folder_locks.immutable) refuse(EPERM, "its folder is immutable");
  if (folder_locks.append_only) refuse(EPERM, "its folder is append-only");
  // A held file's flags are read through statx only; where they cannot
  // be, opening the file for writing refuses it all the same.
  const Locks file_locks = locks_of(file_);
  if (file_locks.immutable) refuse(EPERM, "it is immutable");
  if (file_locks.append_only) refuse(EPERM, "it is append-only");
}

int HeldFile::reopen(int flags) const {
  int fd = open_at(AT_FDCWD, descriptor_path(file_).c_str(), flags | O_NOCTTY | O_NONBLOCK);
  if (fd >= 0 || errno != ENOENT) return fd;
  // No /proc: the name is opened again, never through a link, and must
  // still be the held file.
  fd = open_at(folder_, name_.c_str(), flags | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return fd;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || info_from(st).device != info_.device || info_from(st).inode != info_.inode) {
    ::close(fd);
    errno = EBUSY;
    return -1;
  }
  return fd;
}

void HeldFile::set_mode(std::uint32_t mode) const {
  if (hook_fails(SystemCall::chmod)) raise_file_error(errno, FileAccess::write, path_);
  // A descriptor that only holds a file cannot be given to fchmod; its
  // /proc name changes the same file, as glibc's fchmodat does.
  const auto bits = static_cast<mode_t>(mode & 07777);
  if (::chmod(descriptor_path(file_).c_str(), bits) == 0) return;
  if (errno != ENOENT) raise_file_error(errno, FileAccess::write, path_);
  const int fd = reopen(O_RDONLY);
  if (fd < 0) raise_file_error(errno, FileAccess::write, path_);
  const int result = ::fchmod(fd, bits);
  const int error = errno;
  ::close(fd);
  if (result != 0) raise_file_error(error, FileAccess::write, path_);
}

File HeldFile::open_write() {
  int fd = reopen(O_WRONLY);
  // The read-only file of ours that the control would clear the attribute
  // of; the administrator writes it as it is.
  if (fd < 0 && errno == EACCES && (info_.permissions & S_IWUSR) == 0 && owner_ == ::geteuid()) {
    set_mode(info_.permissions | S_IWUSR);
    mode_changed_ = true;
    fd = reopen(O_WRONLY);
  }
  if (fd < 0) raise_file_error(errno, FileAccess::read, path_);
  return File(fd, path_);
}

void HeldFile::remove() {
  // The permissions go back first: deleting a name does not depend on
  // them, and other names of the file keep them.
  if (mode_changed_) {
    set_mode(saved_mode_);
    mode_changed_ = false;
  }
  struct stat now {};
  if (hook_fails(SystemCall::stat) || ::fstatat(folder_, name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) {
      throw Error(file_error_number(ENOENT, FileAccess::remove), path_ + ": the name was removed or renamed meanwhile");
    }
    raise_file_error(errno, FileAccess::read, path_);
  }
  const FileInfo named = info_from(now);
  if (named.device != info_.device || named.inode != info_.inode) {
    throw Error(ErrorNumber::path_file_access, path_ + ": the name was given to another file meanwhile, which was not deleted");
  }
  // The system deletes names, not files: a rename between the look above
  // and this call would still be deleted, a window of one system call.
  if (hook_fails(SystemCall::remove) || ::unlinkat(folder_, name_.c_str(), 0) != 0) {
    raise_file_error(errno, FileAccess::remove, path_);
  }
}

std::uint32_t new_file_permissions() noexcept {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<std::uint32_t>(0666 & ~mask);
}

bool writable_by_user(const std::string& path, const FileInfo& info) noexcept {
  if ((info.permissions & 0222) == 0) return false;
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return true;
  // Other failures (a read-only file system) are the rename's to report.
  return errno != EACCES && errno != EPERM;
}

void sync_folder_of(const std::string& path) noexcept {
  const int fd = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  while (::fsync(fd) != 0 && errno == EINTR) {
  }
  ::close(fd);
}

}  // namespace quillfern::platform
