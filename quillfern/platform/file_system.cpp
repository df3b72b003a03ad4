// What the file systems of every system share: the test hook, the folder
// of a path and the one way a system's failure becomes an Error.
#include "quillfern/platform/file_system.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

#include "quillfern/platform/system_calls.hpp"

namespace quillfern::platform {
namespace {

// The test seam's hook of this thread; see set_system_call_hook().
thread_local SystemCallHook* call_hook = nullptr;

#ifdef _WIN32
constexpr const char* separators = "/\\";
constexpr bool has_drives = true;
#else
constexpr const char* separators = "/";
constexpr bool has_drives = false;
#endif

}  // namespace

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

SystemCallHook* set_system_call_hook(SystemCallHook* hook) noexcept { return std::exchange(call_hook, hook); }

// Moving a held file hands over its descriptors (on systems that hold
// them) and the permissions to put back.
HeldFile::HeldFile(HeldFile&& other) noexcept
    : folder_(std::exchange(other.folder_, -1)),
      file_(std::exchange(other.file_, -1)),
      path_(std::move(other.path_)),
      name_(std::move(other.name_)),
      info_(other.info_),
      owner_(other.owner_),
      saved_mode_(other.saved_mode_),
      mode_changed_(std::exchange(other.mode_changed_, false)) {}

HeldFile& HeldFile::operator=(HeldFile&& other) noexcept {
  if (this != &other) {
    HeldFile gone(std::move(*this));
    folder_ = std::exchange(other.folder_, -1);
    file_ = std::exchange(other.file_, -1);
    path_ = std::move(other.path_);
    name_ = std::move(other.name_);
    info_ = other.info_;
    owner_ = other.owner_;
    saved_mode_ = other.saved_mode_;
    mode_changed_ = std::exchange(other.mode_changed_, false);
  }
  return *this;
}

File regular_file(File file, const std::string& path) {
  if (const FileKind kind = file.info().kind; kind != FileKind::regular) {
    raise_file_error(kind == FileKind::directory ? EISDIR : not_a_regular_file, FileAccess::write, path);
  }
  return file;
}

std::string folder_of(const std::string& path) {
  const bool drive = has_drives && path.size() >= 2 && path[1] == ':';
  const auto slash = path.find_last_of(separators);
  if (slash == std::string::npos) return drive ? path.substr(0, 2) + "." : ".";
  if (slash == 0 || (drive && slash == 2)) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

void raise_file_error(int os_error, FileAccess access, const std::string& path) {
  const bool folder_exists = os_error != ENOENT || is_directory(folder_of(path));
  std::string detail = path;
  detail += ": ";
  detail += file_error_text(os_error);
  throw Error(file_error_number(os_error, access, folder_exists), detail);
}

}  // namespace quillfern::platform
