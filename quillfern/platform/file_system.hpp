// Every operating-system file call of the library, behind one small
// interface: open, read, write, flush, rename, delete, file kinds and
// permissions, and the one place where the system's failures become the
// platform's error numbers. What every system shares is in file_system.cpp;
// the system calls are in posix/file_system.cpp and win32/file_system.cpp.
// Internal to the library: not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "quillfern/core/error.hpp"
#include "quillfern/core/file_errors.hpp"

namespace quillfern::platform {

// Throws Error with file_error_number(), with `path` and the system's own
// message as detail. Looks whether the folder of `path` exists when the
// system reported a missing name.
[[noreturn]] void raise_file_error(int os_error, FileAccess access, const std::string& path);

enum class FileKind { missing, regular, directory, symlink, other };

struct FileInfo {
  FileKind kind = FileKind::missing;
  std::uint64_t size = 0;
  std::uint32_t permissions = 0;  // the POSIX mode bits 07777
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t links = 0;  // names the file has (hard links)

  [[nodiscard]] bool same_file(const FileInfo& other) const noexcept {
    return kind != FileKind::missing && device == other.device && inode == other.inode;
  }
};

// What names `path`, without following a final symbolic link when
// `follow_links` is false. A missing name gives kind missing; any other
// failure throws Error.
[[nodiscard]] FileInfo file_info(const std::string& path, bool follow_links = true);

// `path` with every symbolic link resolved when it names an existing link
// (so that a file is replaced where it really lives); `path` itself
// otherwise.
[[nodiscard]] std::string final_target(const std::string& path);

// A read-only view of part of a file's bytes, unmapped when it goes out of
// scope. Empty when the file cannot be mapped (a pipe, a device).
class FileView {
 public:
  FileView() noexcept = default;
  FileView(FileView&& other) noexcept;
  FileView& operator=(FileView&& other) noexcept;
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;
  ~FileView();

  [[nodiscard]] const unsigned char* data() const noexcept { return data_; }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }

 private:
  friend class File;
  FileView(void* base, std::size_t length, std::size_t skip) noexcept
      : base_(base), length_(length), data_(static_cast<const unsigned char*>(base) + skip), size_(length - skip) {}
  void* base_ = nullptr;
  std::size_t length_ = 0;
  const unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
};

// An open file, closed when it goes out of scope. Reads and writes move on
// by what they transferred and never stop short: read() returns less than
// asked only at the end of the file.
class File {
 public:
  File() noexcept = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // An existing file for reading; a folder is refused with 75.
  [[nodiscard]] static File open_read(const std::string& path);
  // An existing regular file for writing in place, neither created nor
  // shortened, never through a symbolic link.
  [[nodiscard]] static File open_write(const std::string& path);
  // An existing file that is not a regular one (a device, a pipe), for
  // writing in place.
  [[nodiscard]] static File open_write_existing(const std::string& path);
  // A new, empty file beside `path` with a unique name, which is stored in
  // `temp_path`.
  [[nodiscard]] static File create_beside(const std::string& path, std::string& temp_path);

  [[nodiscard]] bool is_open() const noexcept { return handle_ >= 0; }
  [[nodiscard]] FileInfo info() const;

  std::size_t read(void* buffer, std::size_t size);
  // Reads at `offset` without moving on (regular files only).
  std::size_t read_at(void* buffer, std::size_t size, std::uint64_t offset);
  // The bytes at `offset`, at most `size` of them, without copying them;
  // an empty view when the file cannot be mapped. The view must not
  // outlive a shortening of the file by someone else.
  [[nodiscard]] FileView view(std::uint64_t offset, std::size_t size) const noexcept;
  void write(const void* data, std::size_t size);
  // Writes at `offset` without moving on.
  void write_at(const void* data, std::size_t size, std::uint64_t offset);
  // Starts sending the bytes at `offset` to the device without waiting,
  // so that a long write and its final sync() overlap; a hint only.
  void start_writeback(std::uint64_t offset, std::uint64_t size) noexcept;
  // Sends what was written to the device.
  void sync();
  void set_permissions(std::uint32_t permissions);
  // Closes, reporting a failure of the last writes.
  void close();

 private:
  friend class HeldFile;
  File(int handle, std::string path) noexcept : handle_(handle), path_(std::move(path)) {}
  int handle_ = -1;
  std::string path_;
};

// A regular file held, with its folder, for a job that ends by deleting
// its name. The folder and the file are held open from the start (on POSIX
// systems), so the file that is opened, whose permissions are changed and
// whose name is deleted is the one that was looked at, whatever the name
// comes to mean meanwhile: a symbolic link or another file put in its place
// is never followed, changed or deleted.
class HeldFile {
 public:
  HeldFile() noexcept = default;
  HeldFile(HeldFile&& other) noexcept;
  HeldFile& operator=(HeldFile&& other) noexcept;
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  // Puts back the permissions that open_write() changed, unless remove()
  // ran.
  ~HeldFile();

  // Holds the file `path` names, without following a final symbolic link.
  // Throws Error: 53 for a missing file (76 when its folder is missing),
  // 75 for anything but a regular file (a folder, a device, a pipe, a
  // socket, a symbolic link), and the system's other failures.
  [[nodiscard]] static HeldFile hold(const std::string& path);

  // The file as it was when it was held.
  [[nodiscard]] const FileInfo& info() const noexcept { return info_; }

  // Throws Error 70 when the name could not be deleted afterwards: its
  // folder is not writable by us (or is on a read-only device), the folder
  // is sticky and neither the file nor the folder is ours, or the folder or
  // the file is immutable or append-only, as far as the system tells.
  void check_removable() const;

  // The held file opened for writing in place, neither created nor
  // shortened. A read-only file of ours is first made writable; its
  // permissions are put back by remove() or when the HeldFile goes away.
  [[nodiscard]] File open_write();

  // Deletes the name, once it is checked to still name the held file.
  // Throws Error: 75 when the name now names another file (which is left
  // alone), 53 when it is gone, and the system's failures to delete.
  void remove();

 private:
  void set_mode(std::uint32_t mode) const;
  [[nodiscard]] int reopen(int flags) const;

  int folder_ = -1;  // POSIX: the folder, from which the name is deleted
  int file_ = -1;    // POSIX: the file itself
  std::string path_;
  std::string name_;  // the name within the folder
  FileInfo info_;
  std::uint64_t owner_ = 0;
  std::uint32_t saved_mode_ = 0;  // the permissions (attributes on Windows) to put back
  bool mode_changed_ = false;
};

// Renames `from` over `to`, replacing it.
void rename_file(const std::string& from, const std::string& to);
// Deletes the name `path`.
void remove_file(const std::string& path);
// Deletes `path` if it can; for cleaning up after a failure.
void remove_file_quietly(const std::string& path) noexcept;
// Permissions of a file created now: 0666 less the process's mask.
[[nodiscard]] std::uint32_t new_file_permissions() noexcept;

}  // namespace quillfern::platform
