// The POSIX implementation of the file system interface.
#include "quillfern/platform/file_system.hpp"
#include "quillfern/platform/system_calls.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
  return info;
}

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

std::string final_target(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  if (resolved) return resolved.get();
  // A dangling link: it names the file that the link points to, which is
  // created where the link says.
  std::vector<char> target(PATH_MAX + 1);
  const ssize_t length = ::readlink(path.c_str(), target.data(), PATH_MAX);
  if (length <= 0) return path;
  std::string link(target.data(), static_cast<std::size_t>(length));
  if (link.front() == '/') return link;
  return folder_of(path) + "/" + link;
}

void unmap_view(void* base, std::size_t length) noexcept { ::munmap(base, length); }

FileView File::view(std::uint64_t offset, std::size_t size) const noexcept {
  struct stat st {};
  if (size == 0 || hook_fails(SystemCall::map) || ::fstat(handle_, &st) != 0 || !S_ISREG(st.st_mode)) return {};
  const auto file_size = static_cast<std::uint64_t>(st.st_size);
  if (offset >= file_size) return {};
  if (size > file_size - offset) size = static_cast<std::size_t>(file_size - offset);
  // Mappings start on a page boundary.
  const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  const std::uint64_t start = offset / page * page;
  const auto skip = static_cast<std::size_t>(offset - start);
  void* base = ::mmap(nullptr, size + skip, PROT_READ, MAP_PRIVATE, handle_, static_cast<off_t>(start));
  if (base == MAP_FAILED) return {};
  ::madvise(base, size + skip, MADV_SEQUENTIAL);
  return FileView(base, size + skip, skip);
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
  const std::string pattern = path + ".XXXXXX";
  for (;;) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = hook_fails(SystemCall::create) ? -1 : ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
      temp_path.assign(name.data());
      return File(fd, temp_path);
    }
    if (errno != EINTR) raise_file_error(errno, FileAccess::create, path);
  }
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

std::uint32_t new_file_permissions() noexcept {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<std::uint32_t>(0666 & ~mask);
}

}  // namespace quillfern::platform
