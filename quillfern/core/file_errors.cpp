// The one mapping of the system's error numbers onto the platform's file
// error numbers, shared by the POSIX and the Win32 file systems (the Win32
// one first maps its own errors onto the C runtime's error numbers).
#include <cerrno>
#include <cstring>

#include "quillfern/core/file_errors.hpp"

namespace quillfern::platform {

ErrorNumber file_error_number(int os_error, FileAccess access, bool folder_exists) noexcept {
  switch (os_error) {
    case not_a_regular_file:
      return ErrorNumber::path_file_access;
    case ENOENT:
      if (!folder_exists || access == FileAccess::create) return ErrorNumber::path_not_found;
      return ErrorNumber::file_not_found;
    case ENOTDIR:
#ifdef ELOOP
    case ELOOP:
#endif
      return ErrorNumber::path_not_found;
    case EACCES:
    case EPERM:
#ifdef EROFS
    case EROFS:
#endif
      return ErrorNumber::permission_denied;
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return ErrorNumber::disk_full;
    case EIO:
      return ErrorNumber::device_io;
    case ENAMETOOLONG:
    case EINVAL:
    case EBADF:
      return ErrorNumber::bad_file_name;
    default:
      // A folder where a file was wanted, a busy or locked file, a name on
      // another device: the file cannot be used as asked.
      return ErrorNumber::path_file_access;
  }
}

std::string file_error_text(int os_error) {
  if (os_error == not_a_regular_file) return "not a regular file";
  return std::strerror(os_error);
}

}  // namespace quillfern::platform
