#include "cli/io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace quillfern::cli {
namespace {

std::string system_message(std::string_view what, const std::string& path, int error) {
  std::string text(what);
  if (!path.empty()) text += " " + path;
  text += ": ";
  text += std::strerror(error);
  return text;
}

std::string read_fd(int fd, const std::string& name) {
  std::string data;
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    data.reserve(static_cast<std::size_t>(info.st_size));
  }
  std::vector<char> buffer(1 << 16);
  for (;;) {
    ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      throw IoError(system_message("cannot read", name, errno));
    }
    if (got == 0) break;
    data.append(buffer.data(), static_cast<std::size_t>(got));
  }
  return data;
}

void write_fd(int fd, std::string_view data, const std::string& name) {
  while (!data.empty()) {
    ssize_t put = ::write(fd, data.data(), data.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      throw IoError(system_message("cannot write", name, errno));
    }
    data.remove_prefix(static_cast<std::size_t>(put));
  }
}

mode_t new_file_mode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

std::string read_all(const std::string& path) {
  if (path.empty() || path == "-") return read_fd(STDIN_FILENO, "standard input");
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw IoError(system_message("cannot open", path, errno));
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    throw IoError("cannot read " + path + ": Is a directory");
  }
  try {
    std::string data = read_fd(fd, path);
    ::close(fd);
    return data;
  } catch (...) {
    ::close(fd);
    throw;
  }
}

void write_all(const std::string& path, std::string_view data) {
  OutputFile output(path);
  output.write(data);
  output.commit();
}

InputFile::InputFile(const std::string& path) {
  if (path.empty() || path == "-") {
    fd_ = STDIN_FILENO;
    name_ = "standard input";
    return;
  }
  name_ = path;
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw IoError(system_message("cannot open", path, errno));
  owned_ = true;
  struct stat info {};
  if (fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd_);
    throw IoError("cannot read " + path + ": Is a directory");
  }
#ifdef POSIX_FADV_SEQUENTIAL
  (void)::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

InputFile::~InputFile() {
  if (owned_) ::close(fd_);
}

std::size_t InputFile::read(char* data, std::size_t size) {
  std::size_t filled = 0;
  while (filled < size) {
    ssize_t got = ::read(fd_, data + filled, size - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw IoError(system_message("cannot read", name_, errno));
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return filled;
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
  if (path.empty() || path == "-") {
    fd_ = STDOUT_FILENO;
    path_ = "standard output";
    return;
  }
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    // Devices and pipes (/dev/null, a fifo) are written in place.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) throw IoError(system_message("cannot open", path, errno));
    owned_ = true;
    return;
  }
  std::string temp = path + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) throw IoError(system_message("cannot create a file beside", path, errno));
  owned_ = true;
  temp_.assign(name.data());
  mode_ = exists ? (existing.st_mode & 07777) : new_file_mode();
}

OutputFile::~OutputFile() {
  if (owned_ && fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

void OutputFile::write(std::string_view data) { write_fd(fd_, data, path_); }

void OutputFile::commit() {
  if (temp_.empty()) {
    if (owned_) {
      const int fd = fd_;
      fd_ = -1;
      if (::close(fd) != 0) throw IoError(system_message("cannot write", path_, errno));
    }
    return;
  }
  if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0 || ::fsync(fd_) != 0) {
    throw IoError(system_message("cannot write", path_, errno));
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw IoError(system_message("cannot write", path_, errno));
  if (::rename(temp_.c_str(), path_.c_str()) != 0) {
    throw IoError(system_message("cannot replace", path_, errno));
  }
  temp_.clear();
}

void write_best_effort(int fd, std::string_view text) noexcept {
  while (!text.empty()) {
    const ssize_t put = ::write(fd, text.data(), text.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(put));
  }
}

bool is_terminal(int fd) noexcept { return ::isatty(fd) == 1; }

}  // namespace quillfern::cli
