// The tool's messages on standard error: "quillfern: error: ...", hints and
// warnings. Every message passes through printable(), so a file name, a
// command-line argument or a message box's text cannot send the terminal
// its own control sequences. Writing a message never fails the tool.
#pragma once

#include <string>
#include <string_view>

#include "quillfern/core/error.hpp"

namespace quillfern::cli {

// `text` with every byte that a terminal could take as a control escaped,
// as `ls -b` shows file names: \t, \n and \r by name, other control codes,
// the C1 controls (as UTF-8 bytes), the bidirectional overrides and bytes
// that are not UTF-8 as three octal digits (ESC is \033), and the backslash
// doubled so that the escaped form reads back unambiguously. Printable
// UTF-8 passes unchanged.
[[nodiscard]] std::string printable(std::string_view text);

// One line on standard error, after printable(); best effort.
void print_line(std::string_view line) noexcept;

void print_error(std::string_view message);
// Prints a library error as "N: Description (detail)".
void print_error(const Error& error);
void print_hint(std::string_view message);
void print_warning(std::string_view message);

}  // namespace quillfern::cli
