// Reading and writing texts for the command line: raw bytes from a file or
// standard input, whole or in pieces, and results written either to
// standard output or to a file that appears only when the whole result is
// ready.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Writes `data` to standard output when `path` is empty or "-"; otherwise
// to a temporary file beside `path`, flushed and then renamed over it, so
// that `path` is either untouched or complete. An existing file keeps its
// permissions; a new one gets 0666 less the umask.
void write_all(const std::string& path, std::string_view data);

// A file, or standard input for "" and "-", read in pieces of any size.
class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Fills `data` with up to `size` bytes; fewer only at the end of the
  // input, 0 once it is exhausted.
  [[nodiscard]] std::size_t read(char* data, std::size_t size);

 private:
  int fd_ = -1;
  bool owned_ = false;
  std::string name_;
};

// A result written in pieces, with the guarantee of write_all: standard
// output for "" and "-", a device or pipe in place, and a regular file
// through a temporary file beside it that commit() renames over it. An
// output destroyed without commit() removes its temporary file, leaving
// `path` as it was. A symbolic link is replaced where it points. Failures
// of the file itself throw quillfern::Error with the file error numbers.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(std::string_view data);
  // Flushes the result and puts it in place. Nothing may follow.
  void commit();

 private:
  bool to_stdout_ = false;
  platform::File file_;
  std::string path_;              // as given, for messages
  std::string target_;            // the file replaced: path_ with its links resolved
  std::string temp_;              // the temporary file, empty when writing in place
  std::uint32_t permissions_ = 0; // permissions the finished file gets
};

// Writes `text` to descriptor `fd` as far as it goes, for output whose
// loss must not stop the tool (messages, notices, a terminal gone): a
// failed write ends it silently, an interrupted one is retried.
void write_best_effort(int fd, std::string_view text) noexcept;

// True when the file descriptor is a terminal.
[[nodiscard]] bool is_terminal(int fd) noexcept;

}  // namespace quillfern::cli
