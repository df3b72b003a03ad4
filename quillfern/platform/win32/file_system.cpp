// The Win32 implementation of the file system interface: the C runtime's
// descriptors for reading and writing (so that a File is a descriptor as on
// POSIX systems), the system's calls for what the runtime lacks (renaming
// over a file, attributes, file identity), and their failures
// mapped onto the runtime's error numbers and from there, in the one shared
// place, onto the platform's error numbers. Paths are UTF-8 here and reach
// the system as UTF-16, through its wide functions only, so that a name
// outside the ANSI code page opens the file it names.
#include "quillfern/platform/file_system.hpp"
#include "quillfern/platform/system_calls.hpp"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>

#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::platform {

namespace {

// The runtime's error number for a system error.
int errno_of(DWORD error) noexcept {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_HANDLE:
      return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
      return EIO;
    default:
      return EBUSY;  // in use, locked: the file cannot be used as asked
  }
}

// The UTF-16 name of a UTF-8 path; a path that is not UTF-8 is no name at
// all (error 52). The empty path stays empty, which the system refuses.
bool wide_name(const std::string& path, std::wstring& out) noexcept {
  out.clear();
  if (path.empty()) return true;
  if (path.size() > INT_MAX || path.find('\0') != std::string::npos) return false;
  const int length = static_cast<int>(path.size());
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, nullptr, 0);
  if (size <= 0) return false;
  try {
    out.resize(static_cast<std::size_t>(size));
  } catch (...) {
    return false;
  }
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, out.data(), size) == size;
}

std::wstring wide(const std::string& path, FileAccess access) {
  std::wstring name;
  if (!wide_name(path, name)) raise_file_error(EINVAL, access, path);
  return name;
}

HANDLE system_handle(int fd) noexcept { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// Volume and file index: what identifies a file whatever its name.
void identify(HANDLE handle, FileInfo& info) noexcept {
  BY_HANDLE_FILE_INFORMATION identity{};
  if (handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &identity)) {
    info.device = identity.dwVolumeSerialNumber;
    info.inode = (std::uint64_t{identity.nFileIndexHigh} << 32) | identity.nFileIndexLow;
    info.links = identity.nNumberOfLinks;
  }
}

int open_checked(const std::string& path, int flags, FileAccess access) {
  const std::wstring name = wide(path, access);
  const int fd = hook_fails(SystemCall::open) ? -1 : _wopen(name.c_str(), flags | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) raise_file_error(errno, access, path);
  return fd;
}

// Runs `body` with the descriptor's position at `offset` and puts the
// position back afterwards.
template <typename Body>
std::size_t at_offset(int fd, std::uint64_t offset, const std::string& path, FileAccess access, Body&& body) {
  const __int64 position = _lseeki64(fd, 0, SEEK_CUR);
  if (position < 0 || _lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) < 0) {
    raise_file_error(errno, access, path);
  }
  const std::size_t done = body();
  _lseeki64(fd, position, SEEK_SET);
  return done;
}

constexpr unsigned chunk = 1u << 30;

}  // namespace

bool is_directory(const std::string& path) noexcept {
  std::wstring name;
  if (!wide_name(path, name)) return false;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FileInfo file_info(const std::string& path, bool follow_links) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (hook_fails(SystemCall::stat)) {
    if (errno == ENOENT) return {};
    raise_file_error(errno, FileAccess::read, path);
  }
  const std::wstring name = wide(path, FileAccess::read);
  if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data)) {
    const int error = errno_of(GetLastError());
    if (error == ENOENT) return {};
    raise_file_error(error, FileAccess::read, path);
  }
  FileInfo info;
  if (!follow_links && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    info.kind = FileKind::symlink;
  } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    info.kind = FileKind::directory;
  } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    info.kind = FileKind::other;
  } else {
    info.kind = FileKind::regular;
  }
  info.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  info.permissions = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  HANDLE handle = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  identify(handle, info);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return info;
}

// Windows has no descriptor names, and the links it has are followed by
// the system itself.
OutputTarget output_target(const std::string& path) { return {path}; }

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) _close(handle_);
    handle_ = std::exchange(other.handle_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

File::~File() {
  if (handle_ >= 0) _close(handle_);
}

File File::open_read(const std::string& path) {
  if (is_directory(path)) raise_file_error(EISDIR, FileAccess::read, path);
  return File(open_checked(path, _O_RDONLY, FileAccess::read), path);
}

File File::open_write(const std::string& path) {
  if (file_info(path, false).kind == FileKind::symlink) raise_file_error(not_a_regular_file, FileAccess::write, path);
  if (is_directory(path)) raise_file_error(EISDIR, FileAccess::write, path);
  return regular_file(File(open_checked(path, _O_WRONLY, FileAccess::read), path), path);
}

File File::open_write_existing(const std::string& path) {
  return File(open_checked(path, _O_WRONLY, FileAccess::read), path);
}

File File::create_beside(const std::string& path, std::string& temp_path) {
  static std::atomic<unsigned> counter{0};
  std::string stem = path;
  const auto slash = path.find_last_of("/\\");
  const std::string short_stem = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".quillfern";
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%05x%03x", static_cast<unsigned>(GetCurrentProcessId() & 0xFFFFFu),
                  static_cast<unsigned>((counter++ + GetTickCount()) & 0xFFFu));
    std::string name = stem + suffix;
    const std::wstring wide_temp = wide(name, FileAccess::create);
    const int fd = hook_fails(SystemCall::create)
                       ? -1
                       : _wopen(wide_temp.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                                _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      temp_path = name;
      return File(fd, name);
    }
    // A name near the folder's limit has no room for the suffix.
    if (errno == ENAMETOOLONG && stem != short_stem) {
      stem = short_stem;
      continue;
    }
    if (errno != EEXIST) raise_file_error(errno, FileAccess::create, path);
  }
  raise_file_error(EEXIST, FileAccess::create, path);
}

File File::duplicate(int descriptor, const std::string& name) {
  const int fd = _dup(descriptor);
  if (fd < 0) raise_file_error(errno, FileAccess::write, name);
  return File(fd, name);
}

FileInfo File::info() const {
  struct _stat64 st {};
  if (hook_fails(SystemCall::stat) || _fstat64(handle_, &st) != 0) raise_file_error(errno, FileAccess::read, path_);
  FileInfo info;
  const auto type = st.st_mode & _S_IFMT;
  info.kind = type == _S_IFREG ? FileKind::regular : type == _S_IFDIR ? FileKind::directory : FileKind::other;
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.permissions = static_cast<std::uint32_t>(st.st_mode & 0777);
  identify(system_handle(handle_), info);
  return info;
}

std::size_t File::read(void* buffer, std::size_t size) {
  auto* bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    std::size_t ask = std::min<std::size_t>(size - done, chunk);
    const int got = hook_fails(SystemCall::read, ask) ? -1 : _read(handle_, bytes + done, static_cast<unsigned>(ask));
    if (got < 0) raise_file_error(errno, FileAccess::read, path_);
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::size_t File::read_at(void* buffer, std::size_t size, std::uint64_t offset) {
  return at_offset(handle_, offset, path_, FileAccess::read, [&] { return read(buffer, size); });
}

void File::write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size != 0) {
    std::size_t ask = std::min<std::size_t>(size, chunk);
    const int put = hook_fails(SystemCall::write, ask) ? -1 : _write(handle_, bytes, static_cast<unsigned>(ask));
    if (put < 0) raise_file_error(errno, FileAccess::write, path_);
    if (put == 0) raise_file_error(ENOSPC, FileAccess::write, path_);
    bytes += put;
    size -= static_cast<std::size_t>(put);
  }
}

void File::write_at(const void* data, std::size_t size, std::uint64_t offset) {
  at_offset(handle_, offset, path_, FileAccess::write, [&] {
    write(data, size);
    return size;
  });
}

void File::start_writeback(std::uint64_t, std::uint64_t) noexcept {}

void File::sync() {
  // Pipes and consoles cannot be flushed to a device; nothing is lost.
  if ((hook_fails(SystemCall::sync) || _commit(handle_) != 0) && errno != EINVAL && errno != EBADF) {
    raise_file_error(errno, FileAccess::write, path_);
  }
}

void File::set_permissions(std::uint32_t permissions) {
  // Windows keeps one permission bit: read-only.
  const int mode = (permissions & 0200) != 0 ? (_S_IREAD | _S_IWRITE) : _S_IREAD;
  const std::wstring name = wide(path_, FileAccess::write);
  if (hook_fails(SystemCall::chmod) || _wchmod(name.c_str(), mode) != 0) raise_file_error(errno, FileAccess::write, path_);
}

// Windows files have no owner and group that this layer keeps.
void File::set_owner(std::uint32_t, std::uint32_t) noexcept {}

void File::close() {
  if (handle_ < 0) return;
  const int fd = std::exchange(handle_, -1);
  int result = _close(fd);
  if (hook_fails(SystemCall::close)) result = -1;
  if (result != 0) raise_file_error(errno, FileAccess::write, path_);
}

void rename_file(const std::string& from, const std::string& to) {
  if (hook_fails(SystemCall::rename)) raise_file_error(errno, FileAccess::remove, to);
  const std::wstring source = wide(from, FileAccess::remove), target = wide(to, FileAccess::remove);
  if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    raise_file_error(errno_of(GetLastError()), FileAccess::remove, to);
  }
}

void remove_file(const std::string& path) {
  const std::wstring name = wide(path, FileAccess::remove);
  if (hook_fails(SystemCall::remove) || _wunlink(name.c_str()) != 0) raise_file_error(errno, FileAccess::remove, path);
}

void remove_file_quietly(const std::string& path) noexcept {
  std::wstring name;
  if (wide_name(path, name) && !hook_fails(SystemCall::remove)) _wunlink(name.c_str());
}

// Windows holds no file by a descriptor here (folder_ and file_ stay -1):
// the name is looked at again before each step and must still name the
// file first looked at.
HeldFile::~HeldFile() {
  std::wstring name;
  if (mode_changed_ && wide_name(path_, name)) SetFileAttributesW(name.c_str(), saved_mode_);
}

HeldFile HeldFile::hold(const std::string& path) {
  HeldFile held;
  held.path_ = path;
  held.info_ = file_info(path, false);
  if (held.info_.kind == FileKind::missing) raise_file_error(ENOENT, FileAccess::read, path);
  if (held.info_.kind != FileKind::regular) {
    raise_file_error(held.info_.kind == FileKind::directory ? EISDIR : not_a_regular_file, FileAccess::write, path);
  }
  return held;
}

// Who may delete a name is a matter of access lists here; the read-only
// attribute, the one obstacle the control knew, is cleared by open_write().
void HeldFile::check_removable() const {}

int HeldFile::reopen(int) const { return -1; }

void HeldFile::set_mode(std::uint32_t attributes) const {
  if (!SetFileAttributesW(wide(path_, FileAccess::write).c_str(), attributes)) {
    raise_file_error(errno_of(GetLastError()), FileAccess::write, path_);
  }
}

File HeldFile::open_write() {
  const DWORD attributes = GetFileAttributesW(wide(path_, FileAccess::read).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) raise_file_error(errno_of(GetLastError()), FileAccess::read, path_);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    set_mode(attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    saved_mode_ = attributes;
    mode_changed_ = true;
  }
  File file = File::open_write(path_);
  if (!file.info().same_file(info_)) raise_file_error(EBUSY, FileAccess::write, path_);
  return file;
}

void HeldFile::remove() {
  // A read-only file cannot be deleted: the attribute stays cleared.
  const FileInfo named = file_info(path_, false);
  if (named.kind == FileKind::missing) {
    throw Error(file_error_number(ENOENT, FileAccess::remove), path_ + ": the name was removed or renamed meanwhile");
  }
  if (!named.same_file(info_)) {
    throw Error(ErrorNumber::path_file_access, path_ + ": the name was given to another file meanwhile, which was not deleted");
  }
  remove_file(path_);
  mode_changed_ = false;
}

std::uint32_t new_file_permissions() noexcept { return 0666; }

bool writable_by_user(const std::string&, const FileInfo& info) noexcept { return (info.permissions & 0222) != 0; }

// MoveFileEx with MOVEFILE_WRITE_THROUGH has flushed the rename already.
void sync_folder_of(const std::string&) noexcept {}

}  // namespace quillfern::platform
