#include "cli/secrets.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>

#include "cli/command.hpp"
#include "quillfern/core/ascii.hpp"
#include "quillfern/platform/secure_memory.hpp"

namespace quillfern::cli {
namespace {

// The codes of a secret typed or stored as text; the UTF-8 original is
// wiped once converted.
std::string convert(std::string text, CodePage encoding, std::string_view source) {
  if (encoding == CodePage::none) return text;
  platform::WipeOnExit wipe(text);
  try {
    return from_utf8(text, encoding);
  } catch (const EncodingError& e) {
    throw UsageError(std::string(source) + ": " + e.what());
  }
}

void warn_if_readable_by_others(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    print_warning("password file " + path + " can be read by others (mode " + mode +
                  "); chmod 600 it");
  }
}

[[noreturn]] void too_long(const std::string& source) {
  throw UsageError(source + ": the password is longer than " +
                   std::to_string(password_max_bytes >> 20) + " MiB (" +
                   std::to_string(password_max_bytes) + " bytes)");
}

// A read that is retried when a signal interrupts it; a failure becomes a
// usage error naming the source.
std::size_t read_some(int fd, char* buffer, std::size_t size, const std::string& source) {
  for (;;) {
    const ssize_t got = ::read(fd, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw UsageError(source + ": " + std::strerror(errno));
  }
}

// The first line of what `fd` holds, without its line ending (a line feed,
// or a carriage return and a line feed), in linear time. On a descriptor
// that is not ours, nothing past the line feed is consumed, so that what
// follows is left for the command (a text on the same standard input): a
// regular file is read in blocks and its offset put back just past the line
// feed, anything else is read a byte at a time. Every buffer that held the
// password wipes itself.
std::string read_first_line(int fd, bool ours, const std::string& source) {
  struct stat info {};
  const off_t start = !ours && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
                          ? ::lseek(fd, 0, SEEK_CUR)
                          : off_t{-1};
  const std::size_t block = ours || start >= 0 ? 4096 : 1;
  SecretVector<char> buffer(4096);
  SecretString line;
  std::uint64_t consumed = 0;
  for (;;) {
    const std::size_t got = read_some(fd, buffer.data(), block, source);
    if (got == 0) break;
    const auto* feed = static_cast<const char*>(std::memchr(buffer.data(), '\n', got));
    const std::size_t taken = feed == nullptr ? got : static_cast<std::size_t>(feed - buffer.data());
    // One byte more than the limit, for a carriage return before the feed.
    if (line.size() + taken > password_max_bytes + 1) too_long(source);
    line += std::string_view(buffer.data(), taken);
    if (feed != nullptr) {
      consumed += taken + 1;
      if (start >= 0 && taken + 1 < got) {
        (void)::lseek(fd, start + static_cast<off_t>(consumed), SEEK_SET);
      }
      break;
    }
    consumed += got;
  }
  if (line.view().ends_with('\r')) line.truncate(line.size() - 1);
  if (line.size() > password_max_bytes) too_long(source);
  return line.copy();
}

// At most `most` bytes of what `fd` holds, exactly.
std::string read_bytes(int fd, std::size_t most, const std::string& source) {
  SecretString bytes;
  SecretVector<char> buffer(4096);
  while (bytes.size() < most) {
    const std::size_t got = read_some(fd, buffer.data(), std::min(buffer.size(), most - bytes.size()), source);
    if (got == 0) break;
    bytes += std::string_view(buffer.data(), got);
  }
  return bytes.copy();
}

// Opens a file named by an option and hands its descriptor to `read`.
template <typename Read>
std::string read_from_file(const std::string& path, const std::string& option, Read read) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw UsageError(option + ": cannot open " + path + ": " + std::strerror(errno));
  try {
    std::string text = read(fd, option + " " + path);
    ::close(fd);
    return text;
  } catch (...) {
    ::close(fd);
    throw;
  }
}

std::string read_descriptor(std::string_view value) {
  int fd = -1;
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), fd);
  if (ec != std::errc{} || end != value.data() + value.size() || fd < 0) {
    throw UsageError("--password-fd needs a file descriptor number, not '" + std::string(value) + "'");
  }
  return read_first_line(fd, false, "--password-fd " + std::string(value));
}

// The signals that end a prompt. While the prompt waits they are caught,
// and only while it waits: the terminal is put back before the signal goes
// on to end the process.
constexpr int prompt_signals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
volatile sig_atomic_t prompt_signal = 0;
extern "C" void on_prompt_signal(int signal) { prompt_signal = signal; }

// The dispositions of the prompt signals, caught for the prompt's time and
// restored after it. A signal the tool was started with ignored (nohup) or
// blocked stays so.
class PromptSignals {
 public:
  PromptSignals() {
    sigset_t ending;
    sigemptyset(&ending);
    for (int signal : prompt_signals) sigaddset(&ending, signal);
    ::sigprocmask(SIG_BLOCK, &ending, &blocked_before_);
    waiting_ = blocked_before_;
    struct sigaction catcher {};
    catcher.sa_handler = on_prompt_signal;
    sigemptyset(&catcher.sa_mask);
    for (std::size_t i = 0; i < std::size(prompt_signals); ++i) {
      ::sigaction(prompt_signals[i], nullptr, &before_[i]);
      if (before_[i].sa_handler == SIG_IGN || sigismember(&blocked_before_, prompt_signals[i]) == 1) {
        continue;
      }
      ::sigaction(prompt_signals[i], &catcher, nullptr);
      sigdelset(&waiting_, prompt_signals[i]);
    }
    prompt_signal = 0;
  }
  ~PromptSignals() {
    for (std::size_t i = 0; i < std::size(prompt_signals); ++i) {
      ::sigaction(prompt_signals[i], &before_[i], nullptr);
    }
    ::sigprocmask(SIG_SETMASK, &blocked_before_, nullptr);
  }
  PromptSignals(const PromptSignals&) = delete;
  PromptSignals& operator=(const PromptSignals&) = delete;

  // The signal mask to wait with: the prompt signals let through.
  [[nodiscard]] const sigset_t* waiting() const noexcept { return &waiting_; }

  // Sends `signal` again once the prompt's handlers are gone, so that it
  // does what it would have done without the prompt: by default, end the
  // process with the signal's status.
  static void pass_on(int signal) { ::raise(signal); }

 private:
  sigset_t blocked_before_{};
  sigset_t waiting_{};
  struct sigaction before_[std::size(prompt_signals)] {};
};

// Waits for one character from the terminal; false at the end of input.
// Throws when the wait ends with a signal (reported in `prompt_signal`).
bool read_typed(int fd, const PromptSignals& signals, char& ch) {
  for (;;) {
    pollfd wait{fd, POLLIN, 0};
    const int ready = ::ppoll(&wait, 1, nullptr, signals.waiting());
    if (prompt_signal != 0) return false;
    if (ready < 0) {
      if (errno == EINTR) continue;
      throw UsageError(std::string("cannot read the password: ") + std::strerror(errno));
    }
    const ssize_t got = ::read(fd, &ch, 1);
    if (got == 1) return true;
    if (got == 0) return false;
    if (errno == EINTR || errno == EAGAIN) continue;
    throw UsageError(std::string("cannot read the password: ") + std::strerror(errno));
  }
}

// Asks on the controlling terminal with echo off; none when there is no
// terminal to ask. The terminal reads raw characters meanwhile, so that the
// erase and kill characters are ours to apply; the interrupt and quit
// characters, and the signals that end a process, put the terminal back
// before they take effect, so it is never left without echo. The end of
// input (the end-of-file character, or a terminal gone) is no password at
// all, whatever was typed before it.
std::optional<std::string> prompt(const char* question) {
  const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct termios saved {};
  if (::tcgetattr(fd, &saved) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  struct termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG);
  quiet.c_cc[VMIN] = 1;
  quiet.c_cc[VTIME] = 0;
  SecretString answer;
  int ending = 0;      // the signal that ended the prompt
  bool ended = false;  // the end of input came first
  std::exception_ptr failure;
  {
    const PromptSignals signals;
    // Quiet first, then ask: what is typed after the question is never echoed.
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
    (void)!::write(fd, question, std::strlen(question));
    try {
      for (;;) {
        char ch = 0;
        if (!read_typed(fd, signals, ch)) {
          ending = prompt_signal;
          ended = ending == 0;
          break;
        }
        if (ch == '\n' || ch == '\r') break;
        const auto code = static_cast<cc_t>(ch);
        if (code == saved.c_cc[VINTR]) {
          ending = SIGINT;
          break;
        }
        if (code == saved.c_cc[VQUIT]) {
          ending = SIGQUIT;
          break;
        }
        if (code == saved.c_cc[VEOF]) {
          ended = true;
          break;
        }
        if (code == saved.c_cc[VERASE] || ch == '\b' || ch == 0x7f) {
          if (!answer.empty()) answer.truncate(answer.size() - 1);
          continue;
        }
        if (code == saved.c_cc[VKILL]) {
          answer.clear();
          continue;
        }
        if (answer.size() == password_max_bytes) too_long("the password");
        answer += ch;
      }
    } catch (...) {
      failure = std::current_exception();
    }
    (void)!::write(fd, "\n", 1);
    ::tcsetattr(fd, TCSAFLUSH, &saved);
    ::close(fd);
    if (ending != 0) {
      // Raised while still blocked: it arrives, under the dispositions the
      // tool had before the prompt, as soon as the mask is put back.
      PromptSignals::pass_on(ending);
    }
  }
  if (failure) std::rethrow_exception(failure);
  if (ending != 0) throw UsageError("interrupted at the password prompt");
  if (ended) throw UsageError("no password given (the input ended at the prompt)");
  return answer.copy();
}

}  // namespace

std::vector<Option> password_options() {
  return {
      {"password-file", '\0', "FILE", "read the password from the first line of FILE"},
      {"password-fd", '\0', "N", "read the password from the first line of descriptor N"},
      {"password-env", '\0', "VAR", "take the password from environment variable VAR"},
      {"password-hex", '\0', "HEX", "give the password's exact codes in hexadecimal"},
  };
}

std::vector<Option> seed_options() {
  return {
      {"seed-file", '\0', "FILE", "take the seed from FILE, byte for byte"},
      {"seed-hex", '\0', "HEX", "give the seed's exact codes in hexadecimal"},
      {"seed-env", '\0', "VAR", "take the seed from environment variable VAR"},
  };
}

std::string parse_hex_option(std::string_view option, std::string_view hex) {
  // Built in a secret buffer: its growth leaves no copy of the codes.
  SecretString codes;
  int high = -1;
  for (char ch : hex) {
    if (ch == ' ' || ch == ':' || ch == '\t') {
      if (high >= 0) break;
      continue;
    }
    int digit = ascii::hex_digit_value(ch);
    if (digit < 0) {
      throw UsageError("--" + std::string(option) + " takes hexadecimal digits, not '" + ch + "'");
    }
    if (high < 0) {
      high = digit;
    } else {
      codes += static_cast<char>(high * 16 + digit);
      high = -1;
    }
  }
  if (high >= 0) throw UsageError("--" + std::string(option) + " needs an even number of digits");
  return codes.copy();
}

std::string read_password(const ParsedArgs& args, CodePage encoding, bool confirm) {
  int given = 0;
  for (auto name : {"password-file", "password-fd", "password-env", "password-hex"}) {
    given += args.has(name) ? 1 : 0;
  }
  if (given > 1) throw UsageError("give the password one way only");
  if (auto file = args.value("password-file")) {
    warn_if_readable_by_others(*file);
    return convert(read_from_file(*file, "--password-file",
                                  [](int fd, const std::string& source) {
                                    return read_first_line(fd, true, source);
                                  }),
                   encoding, "--password-file");
  }
  if (auto fd = args.value("password-fd")) {
    return convert(read_descriptor(*fd), encoding, "--password-fd");
  }
  if (auto var = args.value("password-env")) {
    const char* value = std::getenv(var->c_str());
    if (value == nullptr) throw UsageError("--password-env: " + *var + " is not set");
    if (std::strlen(value) > password_max_bytes) too_long("--password-env " + *var);
    return convert(value, encoding, "--password-env");
  }
  if (auto hex = args.value("password-hex")) {
    print_warning("a password on the command line can be seen by other users; prefer "
                  "--password-file, --password-fd, --password-env or the prompt");
    std::string codes = parse_hex_option("password-hex", *hex);
    if (codes.size() > password_max_bytes) too_long("--password-hex");
    return codes;
  }
  if (auto typed = prompt("Password: ")) {
    platform::WipeOnExit wipe(*typed);
    if (confirm) {
      auto again = prompt("Password again: ");
      if (!again) throw UsageError("no password given the second time");
      platform::WipeOnExit wipe_again(*again);
      if (*again != *typed) throw UsageError("the two passwords typed differ; nothing was done");
    }
    return convert(*typed, encoding, "the password");
  }
  throw UsageError("no password given and no terminal to ask for one");
}

std::string read_seed(const ParsedArgs& args, CodePage encoding, std::size_t most) {
  int given = 0;
  for (auto name : {"seed-file", "seed-hex", "seed-env"}) given += args.has(name) ? 1 : 0;
  if (given > 1) throw UsageError("give the seed one way only");
  std::string seed;
  if (auto file = args.value("seed-file")) {
    seed = read_from_file(*file, "--seed-file", [most](int fd, const std::string& source) {
      return read_bytes(fd, most, source);
    });
  } else if (auto hex = args.value("seed-hex")) {
    seed = parse_hex_option("seed-hex", *hex);
  } else if (auto var = args.value("seed-env")) {
    const char* value = std::getenv(var->c_str());
    if (value == nullptr) throw UsageError("--seed-env: " + *var + " is not set");
    seed = convert(value, encoding, "--seed-env");
  } else {
    throw UsageError("no seed given: use --seed-file, --seed-hex or --seed-env");
  }
  if (seed.size() > most) {
    platform::secure_wipe(seed.data() + most, seed.size() - most);
    seed.resize(most);
  }
  return seed;
}

}  // namespace quillfern::cli
