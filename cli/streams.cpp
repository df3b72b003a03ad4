#include "cli/streams.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/io.hpp"

namespace quillfern::cli {
namespace {

[[noreturn]] void output_failed(int error) {
  throw IoError(std::string("cannot write standard output: ") + std::strerror(error));
}

}  // namespace

void take_standard_descriptors() noexcept {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is this one, as the ones below it are taken.
    const int taken = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    if (taken >= 0 && taken != fd) ::close(taken);
  }
}

void ignore_broken_pipes() noexcept { std::signal(SIGPIPE, SIG_IGN); }

void write_output(std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = ::write(STDOUT_FILENO, text.data(), text.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      output_failed(errno);
    }
    text.remove_prefix(static_cast<std::size_t>(put));
  }
}

void close_output() {
  if (std::fflush(stdout) != 0) output_failed(errno);
  if (std::ferror(stdout) != 0) output_failed(EIO);
  // A descriptor taken in place of a closed one has nothing to report.
  if (::close(STDOUT_FILENO) != 0 && errno != EBADF && errno != EINTR) output_failed(errno);
}

}  // namespace quillfern::cli
