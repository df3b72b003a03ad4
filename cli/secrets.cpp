#include "cli/secrets.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <charconv>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "cli/command.hpp"
#include "quillfern/core/ascii.hpp"
#include "quillfern/platform/secure_memory.hpp"

namespace quillfern::cli {
namespace {

// The first line of `text`, without its line ending. The whole buffer is
// wiped before it is dropped.
std::string first_line(std::string text) {
  platform::WipeOnExit wipe(text);
  std::size_t end = text.find('\n');
  if (end == std::string::npos) end = text.size();
  if (end > 0 && text[end - 1] == '\r') --end;
  return text.substr(0, end);
}

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

// Appends to a secret without leaving copies behind: when the buffer must
// grow, the old one is wiped before it is freed.
void append_secret(std::string& secret, const char* data, std::size_t size) {
  if (secret.size() + size > secret.capacity()) {
    std::string bigger;
    bigger.reserve(2 * (secret.size() + size) + 64);
    bigger = secret;
    platform::secure_wipe(secret);
    secret.swap(bigger);
  }
  secret.append(data, size);
}

// Reads a secret from `fd` to its end, or to its first line feed when
// `first_line_only`; every buffer it passed through is wiped.
std::string read_secret(int fd, bool first_line_only, const std::string& source) {
  std::string text;
  text.reserve(256);
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      platform::secure_wipe(buffer, sizeof buffer);
      platform::secure_wipe(text);
      throw UsageError(source + ": " + std::strerror(error));
    }
    if (got == 0) break;
    append_secret(text, buffer, static_cast<std::size_t>(got));
    if (first_line_only && text.find('\n') != std::string::npos) break;
  }
  platform::secure_wipe(buffer, sizeof buffer);
  return text;
}

std::string read_secret_file(const std::string& path, bool first_line_only, const std::string& option) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw UsageError(option + ": cannot open " + path + ": " + std::strerror(errno));
  try {
    std::string text = read_secret(fd, first_line_only, option + " " + path);
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
  return read_secret(fd, true, "--password-fd " + std::string(value));
}

// Asks on the controlling terminal with echo off; none when there is no
// terminal to ask. The terminal reads raw characters meanwhile, so that the
// erase and kill characters are ours to apply, and an interrupt character
// restores the terminal before the interrupt is delivered: the terminal is
// never left without echo.
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
  // Quiet first, then ask: what is typed after the question is never echoed.
  ::tcsetattr(fd, TCSAFLUSH, &quiet);
  (void)!::write(fd, question, std::strlen(question));
  std::string answer;
  answer.reserve(256);
  bool interrupted = false;
  for (;;) {
    char ch = 0;
    const ssize_t got = ::read(fd, &ch, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got != 1 || ch == '\n' || ch == '\r') break;
    const auto code = static_cast<cc_t>(ch);
    if (code == saved.c_cc[VINTR] || code == saved.c_cc[VQUIT]) {
      interrupted = true;
      break;
    }
    if (code == saved.c_cc[VEOF]) break;
    if (code == saved.c_cc[VERASE] || ch == '\b' || ch == 0x7f) {
      if (!answer.empty()) {
        answer.back() = '\0';
        answer.pop_back();
      }
      continue;
    }
    if (code == saved.c_cc[VKILL]) {
      platform::secure_wipe(answer);
      continue;
    }
    append_secret(answer, &ch, 1);
  }
  (void)!::write(fd, "\n", 1);
  ::tcsetattr(fd, TCSAFLUSH, &saved);
  ::close(fd);
  if (interrupted) {
    platform::secure_wipe(answer);
    ::raise(SIGINT);
    throw UsageError("interrupted at the password prompt");
  }
  return answer;
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
  std::string codes;
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
  return codes;
}

std::string read_password(const ParsedArgs& args, CodePage encoding) {
  int given = 0;
  for (auto name : {"password-file", "password-fd", "password-env", "password-hex"}) {
    given += args.has(name) ? 1 : 0;
  }
  if (given > 1) throw UsageError("give the password one way only");
  if (auto file = args.value("password-file")) {
    warn_if_readable_by_others(*file);
    return convert(first_line(read_secret_file(*file, true, "--password-file")), encoding,
                   "--password-file");
  }
  if (auto fd = args.value("password-fd")) {
    return convert(first_line(read_descriptor(*fd)), encoding, "--password-fd");
  }
  if (auto var = args.value("password-env")) {
    const char* value = std::getenv(var->c_str());
    if (value == nullptr) throw UsageError("--password-env: " + *var + " is not set");
    return convert(value, encoding, "--password-env");
  }
  if (auto hex = args.value("password-hex")) {
    print_warning("a password on the command line can be seen by other users; prefer "
                  "--password-file, --password-fd, --password-env or the prompt");
    return parse_hex_option("password-hex", *hex);
  }
  if (auto typed = prompt("Password: ")) {
    platform::WipeOnExit wipe(*typed);
    return convert(*typed, encoding, "the password");
  }
  throw UsageError("no password given and no terminal to ask for one");
}

std::string read_seed(const ParsedArgs& args, CodePage encoding) {
  int given = 0;
  for (auto name : {"seed-file", "seed-hex", "seed-env"}) given += args.has(name) ? 1 : 0;
  if (given > 1) throw UsageError("give the seed one way only");
  if (auto file = args.value("seed-file")) {
    return read_secret_file(*file, false, "--seed-file");
  }
  if (auto hex = args.value("seed-hex")) return parse_hex_option("seed-hex", *hex);
  if (auto var = args.value("seed-env")) {
    const char* value = std::getenv(var->c_str());
    if (value == nullptr) throw UsageError("--seed-env: " + *var + " is not set");
    return convert(value, encoding, "--seed-env");
  }
  throw UsageError("no seed given: use --seed-file, --seed-hex or --seed-env");
}

}  // namespace quillfern::cli
