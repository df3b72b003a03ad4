// Reading and writing texts for the command line: raw bytes from a file or
// standard input, whole or in pieces, and results written either to
// standard output or to a file that appears only when the whole result is
// ready.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "quillfern/platform/file_system.hpp"

namespace quillfern::cli {

// A failure of the tool's own input or output (not of an operation).
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How the tool replaces an output file: a read-only one only with
// `force`, and a warning on standard error when the file has other hard
// links (they keep the earlier content).
[[nodiscard]] platform::ReplaceOptions replace_options(bool force);

// Writes `data` to standard output when `path` is empty or "-"; otherwise
// as OutputFile does.
void write_all(const std::string& path, std::string_view data, bool force = false);

// A file, or standard input for "" and "-", read in pieces of any size.
// A file is opened and read through platform::File: its failures throw
// quillfern::Error with the file error numbers (53 for a missing file, 75
// for a folder); those of standard input throw IoError.
class InputFile {
 public:
  explicit InputFile(const std::string& path);

  // Fills `data` with up to `size` bytes; fewer only at the end of the
  // input, 0 once it is exhausted.
  [[nodiscard]] std::size_t read(char* data, std::size_t size);

  // Before the first read: the bytes of a regular file from where the
  // input stands (standard input may stand past a password read from it)
  // to its end, as the system tells them now. Nothing for anything else: a
  // pipe, a device, a closed standard input, and a regular file that says
  // it is empty (some files of the kernel's have content all the same).
  [[nodiscard]] std::optional<std::uint64_t> regular_length() const;

 private:
  platform::File file_;  // not open: standard input
};

// A result written in pieces: standard output for "" and "-", anything
// else through platform::ReplacingFile with replace_options(force), so
// that the file is either untouched or complete (a temporary file beside
// it that commit() renames over it; devices, pipes and /dev/stdout in
// place). An output destroyed without commit() removes its temporary
// file. Failures of the file itself throw quillfern::Error with the file
// error numbers.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path, bool force = false);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(std::string_view data);
  // Flushes the result and puts it in place. Nothing may follow.
  void commit();

 private:
  std::optional<platform::ReplacingFile> file_;  // none: standard output
};

// A buffer that starts on a page: the system copies from the page cache
// into a page-aligned destination several times as fast as into a
// misaligned one. Its bytes are left as they come.
struct FreePageBuffer {
  void operator()(char* buffer) const noexcept;
};
using PageBuffer = std::unique_ptr<char[], FreePageBuffer>;
[[nodiscard]] PageBuffer page_aligned(std::size_t size);

// Writes `text` to descriptor `fd` as far as it goes, for output whose
// loss must not stop the tool (messages, notices, a terminal gone): a
// failed write ends it silently, an interrupted one is retried.
void write_best_effort(int fd, std::string_view text) noexcept;

// True when the file descriptor is a terminal.
[[nodiscard]] bool is_terminal(int fd) noexcept;

}  // namespace quillfern::cli
