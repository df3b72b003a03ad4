#include "cli/tui/terminal.hpp"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/io.hpp"

namespace quillfern::cli::tui {
namespace {

bool locale_is_utf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string v(value);
    std::transform(v.begin(), v.end(), v.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return v.find("utf-8") != std::string::npos || v.find("utf8") != std::string::npos;
  }
  return false;
}

}  // namespace

TerminalSession::TerminalSession(int input_fd, int output_fd) : in_(input_fd), out_(output_fd) {
  if (::tcgetattr(in_, &saved_) != 0 || !is_terminal(out_)) {
    throw IoError("the form needs a terminal");
  }
  const char* colorterm = std::getenv("COLORTERM");
  true_colour_ = colorterm != nullptr &&
                 (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0);
  utf8_ = locale_is_utf8();

  sigset_t ending;
  sigemptyset(&ending);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&ending, sig);
  ::sigprocmask(SIG_BLOCK, &ending, &saved_mask_);
  signals_ = ::signalfd(-1, &ending, SFD_CLOEXEC | SFD_NONBLOCK);

  termios raw = saved_;
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | BRKINT | INPCK | ISTRIP);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(in_, TCSAFLUSH, &raw);
  // Alternate screen, no cursor, mouse clicks reported in SGR form.
  write("\x1b[?1049h\x1b[?25l\x1b[?1000h\x1b[?1006h\x1b[0m\x1b[2J");
}

TerminalSession::~TerminalSession() {
  write("\x1b[?1006l\x1b[?1000l\x1b[0m\x1b[2J\x1b[?25h\x1b[?1049l");
  ::tcsetattr(in_, TCSAFLUSH, &saved_);
  if (signals_ >= 0) ::close(signals_);
  ::sigprocmask(SIG_SETMASK, &saved_mask_, nullptr);
}

std::optional<TerminalSession::Size> TerminalSession::size() const noexcept {
  winsize size{};
  if (::ioctl(out_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    return Size{size.ws_col, size.ws_row};
  }
  return std::nullopt;
}

void TerminalSession::write(std::string_view text) const noexcept { write_best_effort(out_, text); }

TerminalSession::Read TerminalSession::read(int timeout_ms, std::string& into) {
  pollfd fds[2] = {{in_, POLLIN, 0}, {signals_, POLLIN, 0}};
  const nfds_t count = signals_ >= 0 ? 2 : 1;
  if (::poll(fds, count, timeout_ms) <= 0) return Read::nothing;
  if (count == 2 && (fds[1].revents & POLLIN) != 0) {
    signalfd_siginfo info{};
    while (::read(signals_, &info, sizeof info) > 0) {
    }
    return Read::ending;
  }
  if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) return Read::nothing;
  char buffer[256];
  const ssize_t got = ::read(in_, buffer, sizeof buffer);
  if (got <= 0) return got == 0 || errno != EINTR ? Read::gone : Read::interrupted;
  into.append(buffer, static_cast<std::size_t>(got));
  return Read::input;
}

bool TerminalSession::read_more(int timeout_ms, std::string& into) {
  pollfd fd{in_, POLLIN, 0};
  if (::poll(&fd, 1, timeout_ms) <= 0) return false;
  char buffer[64];
  const ssize_t got = ::read(in_, buffer, sizeof buffer);
  if (got <= 0) return false;
  into.append(buffer, static_cast<std::size_t>(got));
  return true;
}

}  // namespace quillfern::cli::tui
