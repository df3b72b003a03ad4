// Under the platform layer's file calls: the per-thread hook through which
// tests inject faults, and the helpers that the file code of every system
// shares. Internal to the library and its tests: not installed.
#pragma once

#include <cstddef>
#include <string>

namespace quillfern::platform {

// A seam for tests that inject faults. The file calls of file_system.hpp,
// on POSIX systems and on Windows alike, consult the calling thread's hook,
// when one is set, before each system call they make, and the hook may
// fail the call or make a transfer short. Nothing in the library or the
// tool sets a hook; unset, a call costs one load of a thread-local pointer
// more.
enum class SystemCall {
  open,    // opening an existing file
  create,  // creating the file beside an output
  stat,    // looking at a name or an open file (its kind, access, flags)
  read,    // read and pread
  write,   // write and pwrite
  sync,    // fsync
  chmod,   // changing permissions
  close,   // close (the descriptor is released whatever the hook says)
  rename,
  remove,  // unlink, unlinkat
};

class SystemCallHook {
 public:
  virtual ~SystemCallHook() = default;
  // Called before `call`, which is to move `size` bytes (0 for calls that
  // move none). Returns the system error the call fails with instead, or
  // 0 to let it run; may lower `size` (to 1 at least) to make a read or a
  // write transfer fewer bytes.
  virtual int before(SystemCall call, std::size_t& size) noexcept = 0;
};

// Sets the hook of the calling thread (nullptr for none); returns the one
// it replaces.
SystemCallHook* set_system_call_hook(SystemCallHook* hook) noexcept;

// Whether the calling thread's hook fails `call`, errno then saying why;
// the hook may shorten `size`, never to nothing.
[[nodiscard]] bool hook_fails(SystemCall call, std::size_t& size) noexcept;
[[nodiscard]] bool hook_fails(SystemCall call) noexcept;

// The folder part of a path: "." for a bare name, the root for a name in
// the root (on Windows, a drive's folder for "C:name" and "C:\\name").
[[nodiscard]] std::string folder_of(const std::string& path);

class File;
// The file that File::open_write opened, once it is held to be a regular
// file: anything else (a folder, a device, a pipe) fails as writing to it
// would, with 75 (Path/File access error).
[[nodiscard]] File regular_file(File file, const std::string& path);

// True when `path` names an existing folder (through symbolic links). Each
// system implements it with its own call; it consults no hook.
[[nodiscard]] bool is_directory(const std::string& path) noexcept;

}  // namespace quillfern::platform
