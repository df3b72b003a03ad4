// The POSIX implementation of the file system interface.
#include "quillfern/platform/file_system.hpp"

#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

namespace quillfern::platform {

namespace {

// The test seam's hook of this thread; see set_system_call_hook().
thread_local SystemCallHook* call_hook = nullptr;

// Whether the hook fails `call`, errno then saying why; it may shorten
// `size`, never to nothing.
bool hook_fails(SystemCall call, std::size_t& size) noexcept {
  if (call_hook == nullptr) [[likely]] return false;
  const std::size_t asked = size;
  const int error = call_hook->before(call, size);
  if (size == 0 || size > asked) size = asked;
  if (error == 0) return false;
  errno = error;
  return true;
}

bool hook_fails(SystemCall call) noexcept {
  std::size_t none = 0;
  return hook_fails(call, none);
}

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// What precedes the last name of `path`, its slash included; empty for a
// bare name.
std::string folder_prefix(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool is_folder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

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

void raise_file_error(int os_error, FileAccess access, const std::string& path) {
  const bool folder_exists = os_error != ENOENT || is_folder(folder_of(path));
  std::string detail = path;
  detail += ": ";
  detail += std::strerror(os_error);
  throw Error(file_error_number(os_error, access, folder_exists), detail);
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
  File file(open_checked(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK, FileAccess::read), path);
  if (file.info().kind != FileKind::regular) raise_file_error(EISDIR, FileAccess::write, path);
  return file;
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

std::size_t File::read(void* buffer, std::size_t size) {
  auto* bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    std::size_t wanted = size - done;
    const ssize_t got = hook_fails(SystemCall::read, wanted) ? -1 : ::read(handle_, bytes + done, wanted);
    if (got < 0) {
      if (errno == EINTR) continue;
      raise_file_error(errno, FileAccess::read, path_);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::size_t File::read_at(void* buffer, std::size_t size, std::uint64_t offset) {
  auto* bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    std::size_t wanted = size - done;
    const ssize_t got = hook_fails(SystemCall::read, wanted)
                            ? -1
                            : ::pread(handle_, bytes + done, wanted, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      raise_file_error(errno, FileAccess::read, path_);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void File::write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size != 0) {
    std::size_t wanted = size;
    const ssize_t put = hook_fails(SystemCall::write, wanted) ? -1 : ::write(handle_, bytes, wanted);
    if (put < 0) {
      if (errno == EINTR) continue;
      raise_file_error(errno, FileAccess::write, path_);
    }
    bytes += put;
    size -= static_cast<std::size_t>(put);
  }
}

void File::write_at(const void* data, std::size_t size, std::uint64_t offset) {
  const auto* bytes = static_cast<const char*>(data);
  while (size != 0) {
    std::size_t wanted = size;
    const ssize_t put = hook_fails(SystemCall::write, wanted)
                            ? -1
                            : ::pwrite(handle_, bytes, wanted, static_cast<off_t>(offset));
    if (put < 0) {
      if (errno == EINTR) continue;
      raise_file_error(errno, FileAccess::write, path_);
    }
    bytes += put;
    size -= static_cast<std::size_t>(put);
    offset += static_cast<std::uint64_t>(put);
  }
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

void make_writable(const std::string& path) {
  struct stat st {};
  if (hook_fails(SystemCall::stat) || ::lstat(path.c_str(), &st) != 0) {
    raise_file_error(errno, FileAccess::read, path);
  }
  if ((st.st_mode & S_IWUSR) != 0) return;
  if (hook_fails(SystemCall::chmod) || ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) {
    raise_file_error(errno, FileAccess::write, path);
  }
}

SystemCallHook* set_system_call_hook(SystemCallHook* hook) noexcept { return std::exchange(call_hook, hook); }

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

#endif  // _WIN32
