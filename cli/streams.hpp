// The tool's standard streams. Descriptors 0, 1 and 2 are always taken, so
// that no file the tool opens becomes its input or output by accident;
// every write to standard output is checked, and a failed one fails the
// command; standard error is for diagnostics, whose loss never stops the
// work.
#pragma once

#include <string_view>

namespace quillfern::cli {

// Puts an unusable descriptor in place of each of 0, 1 and 2 that is
// closed: /dev/null opened for writing as standard input and for reading as
// standard output and error, so that any use of one fails with EBADF, as
// the closed descriptor would have. Call before anything opens a file.
void take_standard_descriptors() noexcept;

// Ignores SIGPIPE: a reader gone from standard error costs its messages
// only, and one gone from standard output makes the next write fail (EPIPE),
// which the command reports. Programs the tool starts get the default back.
void ignore_broken_pipes() noexcept;

// Writes all of `text` to standard output; throws IoError when it cannot.
void write_output(std::string_view text);

// Flushes and closes standard output at the end of the run, where a file
// system may report a write that failed late; throws IoError then.
void close_output();

}  // namespace quillfern::cli
