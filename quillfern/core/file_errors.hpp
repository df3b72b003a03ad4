// The one mapping of the system's error numbers onto the platform's file
// error numbers, shared by every file system the platform layer has.
#pragma once

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

}  // namespace quillfern::platform
