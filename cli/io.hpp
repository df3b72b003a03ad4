// Reading and writing whole texts for the command line: raw bytes from a
// file or standard input, and results written either to standard output or
// to a file that appears only when the whole result is ready.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quillfern::cli {

// A failure of the tool's own input or output (not of an operation).
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole content of `path`, or of standard input when it is empty or "-".
[[nodiscard]] std::string read_all(const std::string& path);

// Writes `data` to standard output when `path` is empty or "-"; otherwise
// to a temporary file beside `path`, flushed and then renamed over it, so
// that `path` is either untouched or complete. An existing file keeps its
// permissions; a new one gets 0666 less the umask.
void write_all(const std::string& path, std::string_view data);

// True when the file descriptor is a terminal.
[[nodiscard]] bool is_terminal(int fd) noexcept;

}  // namespace quillfern::cli
