#include "cli/io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillfern::cli {
namespace {

std::string system_message(std::string_view what, const std::string& path, int error) {
  std::string text(what);
  if (!path.empty()) text += " " + path;
  text += ": ";
  text += std::strerror(error);
  return text;
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

}  // namespace

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
    to_stdout_ = true;
    path_ = "standard output";
    return;
  }
  // A symbolic link is replaced where it points, as file-code does.
  target_ = platform::final_target(path);
  const platform::FileInfo existing = platform::file_info(target_);
  if (existing.kind != platform::FileKind::missing && existing.kind != platform::FileKind::regular) {
    // Devices and pipes (/dev/null, a fifo) are written in place.
    file_ = platform::File::open_write_existing(target_);
    return;
  }
  file_ = platform::File::create_beside(target_, temp_);
  permissions_ = existing.kind == platform::FileKind::regular ? existing.permissions
                                                              : platform::new_file_permissions();
}

OutputFile::~OutputFile() {
  if (!temp_.empty()) {
    file_ = platform::File();  // closed before its name goes
    platform::remove_file_quietly(temp_);
  }
}

void OutputFile::write(std::string_view data) {
  if (to_stdout_) {
    write_fd(STDOUT_FILENO, data, path_);
  } else {
    file_.write(data.data(), data.size());
  }
}

void OutputFile::commit() {
  if (to_stdout_) return;
  if (!temp_.empty()) {
    file_.set_permissions(permissions_);
    file_.sync();
  }
  file_.close();
  if (temp_.empty()) return;
  platform::rename_file(temp_, target_);
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
