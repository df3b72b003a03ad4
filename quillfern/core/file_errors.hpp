// The one mapping of the system's error numbers onto the platform's file
// error numbers, shared by every file system the platform layer has.
#pragma once

#include <string>

#include "quillfern/core/error.hpp"

namespace quillfern::platform {

// What a failing call was doing, which decides what a missing name means.
enum class FileAccess {
  read,    // opening or reading an existing file: a missing file is 53
  create,  // creating a file in a folder: a missing folder is 76
  write,   // writing, flushing or closing an open file
  remove,  // renaming or deleting a name
};

// The platform's error number for the system's error `os_error` met while
// doing `access`. A missing name is 53 "File not found" when its folder
// exists and 76 "Path not found" when the folder itself is missing.
[[nodiscard]] ErrorNumber file_error_number(int os_error, FileAccess access,
                                            bool folder_exists = true) noexcept;

// Not a number of the system's: the name is there, but it is not a regular
// file (a device, a pipe, a socket, a symbolic link) where only a regular
// file will do. It maps to 75, as a folder does, and reads "not a regular
// file".
inline constexpr int not_a_regular_file = -1;

// The text that goes with `os_error` in a file error's detail: the
// system's own description, or "not a regular file".
[[nodiscard]] std::string file_error_text(int os_error);

}  // namespace quillfern::platform
