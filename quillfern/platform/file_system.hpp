// Every operating-system file call of the library, behind one small
// interface: open, read, write, flush, rename, delete, file kinds and
// permissions, the one place where the system's failures become the
// platform's error numbers, and the one writer that replaces a file
// atomically (ReplacingFile). What every system shares is in
// file_system.cpp and replacing_file.cpp; the system calls are in
// posix/file_system.cpp and win32/file_system.cpp. Internal to the
// library: not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "quillfern/core/error.hpp"
#include "quillfern/core/file_errors.hpp"
#include "quillfern/platform/replace_options.hpp"

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
  std::uint64_t links = 1;   // names of the file (hard links)
  std::uint32_t owner = 0;   // user and group ids (0 where the system has none)
  std::uint32_t group = 0;

  [[nodiscard]] bool same_file(const FileInfo& other) const noexcept {
    return kind != FileKind::missing && device == other.device && inode == other.inode;
  }
};

// What names `path`, without following a final symbolic link when
// `follow_links` is false. A missing name gives kind missing; any other
// failure throws Error.
[[nodiscard]] FileInfo file_info(const std::string& path, bool follow_links = true);

// Where writing to `path` lands.
struct OutputTarget {
  // The file itself: `path` with every symbolic link of a chain resolved,
  // each relative to the folder of its link, up to a missing name, which
  // is where a dangling chain says the file is to be created.
  std::string path;
  // Not -1 when `path` names one of the process's open descriptors
  // (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N): output that
  // goes through that descriptor, in place, wherever it leads.
  int descriptor = -1;
};

// Resolves `path` as above. Throws Error 76 for a chain of more than 40
// links (a loop), and Error for a link that cannot be read.
[[nodiscard]] OutputTarget output_target(const std::string& path);

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
  // `temp_path`: `path` followed by a random suffix, or, when that name
  // would be too long for the folder, a short fixed prefix followed by the
  // random part (.quillfern.XXXXXX) in the same folder.
  [[nodiscard]] static File create_beside(const std::string& path, std::string& temp_path);
  // A descriptor of the process (standard output), duplicated, for writing
  // wherever it leads; `name` is for messages. A closed one is Error 52.
  [[nodiscard]] static File duplicate(int descriptor, const std::string& name);

  [[nodiscard]] bool is_open() const noexcept { return handle_ >= 0; }
  [[nodiscard]] FileInfo info() const;

  std::size_t read(void* buffer, std::size_t size);
  // Reads at `offset` without moving on (regular files only).
  std::size_t read_at(void* buffer, std::size_t size, std::uint64_t offset);
  void write(const void* data, std::size_t size);
  // Writes at `offset` without moving on.
  void write_at(const void* data, std::size_t size, std::uint64_t offset);
  // Starts sending the bytes at `offset` to the device without waiting,
  // so that a long write and its final sync() overlap; a hint only.
  void start_writeback(std::uint64_t offset, std::uint64_t size) noexcept;
  // Sends what was written to the device.
  void sync();
  void set_permissions(std::uint32_t permissions);
  // Gives the file to `owner` and `group` as far as the system lets this
  // process (root: both; others: a group they belong to); never fails, the
  // ids that info() reports afterwards say what was kept.
  void set_owner(std::uint32_t owner, std::uint32_t group) noexcept;
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
// Whether the user may write to the existing file `path`, which `info`
// describes (its permissions and the user's rights; a file with no write
// permission at all counts as read-only for every user, root included).
[[nodiscard]] bool writable_by_user(const std::string& path, const FileInfo& info) noexcept;
// Sends the folder that holds `path` to the device, so that a rename in it
// lasts; best effort (some systems cannot flush folders).
void sync_folder_of(const std::string& path) noexcept;

// ---- Replacing a file atomically ------------------------------------

// Refused: the file to replace is read-only (Error 70, Permission denied).
class ReadOnlyOutput : public Error {
 public:
  using Error::Error;
};

// A result written to `path` so that `path` is either as it was or
// complete: the bytes go to a temporary file beside the file (see
// File::create_beside), which commit() flushes to the device, gives the
// replaced file's permissions, owner and group (those the system lets us
// set; set-id bits go when their id could not be kept; a new file gets
// new_file_permissions()), renames over it, and whose folder it then
// flushes. A symbolic link (a whole chain) is replaced where it points and
// stays a link; devices, pipes and the descriptor names of output_target()
// (/dev/stdout) are written in place. The temporary file is removed on
// every failure, when the writer is destroyed without commit(), and on the
// termination signals of remove_temporaries_on_signals().
// Throws Error with the file error numbers: 75 for a folder, 76 for a
// missing folder, ReadOnlyOutput for a read-only file.
class ReplacingFile {
 public:
  explicit ReplacingFile(const std::string& path, const ReplaceOptions& options = {});
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  void write(const void* data, std::size_t size);
  // Hint: sends the bytes written so far at `offset` on to the device.
  void start_writeback(std::uint64_t offset, std::uint64_t size) noexcept { file_.start_writeback(offset, size); }
  // Flushes the result and puts it in place. Nothing may follow.
  void commit();

  // True when writing in place (a device, a pipe, a descriptor name).
  [[nodiscard]] bool in_place() const noexcept { return temp_.empty(); }
  // The file that is written or replaced, every link resolved.
  [[nodiscard]] const std::string& target() const noexcept { return target_; }

 private:
  // Gives the temporary file the replaced file's owner and permissions,
  // flushes and closes it.
  void finish_temporary();
  void discard() noexcept;

  File file_;
  std::string target_;
  std::string temp_;       // the temporary file; empty when writing in place
  FileInfo replaced_;      // what was at target_ (kind missing: nothing)
  int signal_slot_ = -1;   // where the temporary is listed for the signal handler
};

// For programs, never called by the library: from now on SIGINT, SIGTERM
// and SIGHUP delete the temporary file of every ReplacingFile of the
// process and then end it as the signal would (status 128 + signal), at
// once, whatever the process is waiting for; SIGXFSZ and SIGPIPE are
// ignored, so that a write over the file-size limit fails with Error 61
// and one to a pipe without a reader fails too. A signal the process
// started with ignored (nohup, a background job) stays ignored.
void remove_temporaries_on_signals() noexcept;

}  // namespace quillfern::platform
