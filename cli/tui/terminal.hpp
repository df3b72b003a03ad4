// The terminal session of the full-screen form: raw input, the alternate
// screen, mouse reporting and the hidden cursor while it lasts, all put
// back when it ends. Signals that would end the tool (INT, TERM, HUP,
// QUIT) arrive as input instead, so that the terminal is always restored.
#pragma once

#include <signal.h>
#include <termios.h>

#include <optional>
#include <string>
#include <string_view>

namespace quillfern::cli::tui {

class TerminalSession {
 public:
  // Takes over the terminal of `input_fd` and `output_fd`. Throws IoError
  // when they are not a terminal.
  TerminalSession(int input_fd, int output_fd);
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // Whether the terminal takes 24-bit colours ($COLORTERM) and UTF-8
  // (the locale's variables).
  [[nodiscard]] bool true_colour() const noexcept { return true_colour_; }
  [[nodiscard]] bool utf8() const noexcept { return utf8_; }

  struct Size {
    int cols = 0;
    int rows = 0;
  };
  // The terminal's size now, if it tells one.
  [[nodiscard]] std::optional<Size> size() const noexcept;

  // Writes to the terminal; a failure is ignored (there is nowhere to
  // report it).
  void write(std::string_view text) const noexcept;

  enum class Read {
    nothing,      // nothing within the time
    input,        // bytes were appended
    ending,       // asked to end by a signal
    interrupted,  // the read was interrupted
    gone,         // the terminal went away (its end, or an error)
  };
  // Waits up to `timeout_ms` for input or an ending signal, and appends
  // what one read brings (at most 256 bytes) to `into`.
  Read read(int timeout_ms, std::string& into);
  // Waits up to `timeout_ms` for more input and appends at most 64 bytes
  // of it; false when none came.
  bool read_more(int timeout_ms, std::string& into);

 private:
  int in_;
  int out_;
  termios saved_{};
  sigset_t saved_mask_{};
  int signals_ = -1;
  bool true_colour_ = false;
  bool utf8_ = false;
};

}  // namespace quillfern::cli::tui
