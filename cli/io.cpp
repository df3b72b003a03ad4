#include "cli/io.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "cli/command.hpp"

namespace quillfern::cli {
namespace {

constexpr std::size_t page_alignment = 4096;

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

platform::ReplaceOptions replace_options(bool force) {
  platform::ReplaceOptions options;
  options.replace_read_only = force;
  options.on_other_links = [](const std::string& target, std::uint64_t others) {
    const std::string count = others == 1 ? "another hard link" : std::to_string(others) + " other hard links";
    print_warning(target + " has " + count + ", which will keep the earlier content");
  };
  return options;
}

void write_all(const std::string& path, std::string_view data, bool force) {
  OutputFile output(path, force);
  output.write(data);
  output.commit();
}

InputFile::InputFile(const std::string& path) {
  // A named file goes through the library's file layer, so that its
  // failures read as those of the file operations (53, 76, 75, ...).
  if (!path.empty() && path != "-") file_ = platform::File::open_read(path);
}

std::size_t InputFile::read(char* data, std::size_t size) {
  if (file_.is_open()) return file_.read(data, size);
  std::size_t filled = 0;
  while (filled < size) {
    ssize_t got = ::read(STDIN_FILENO, data + filled, size - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw IoError(system_message("cannot read", "standard input", errno));
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return filled;
}

std::optional<std::uint64_t> InputFile::regular_length() const {
  if (file_.is_open()) {
    const platform::FileInfo info = file_.info();
    if (info.kind == platform::FileKind::regular && info.size > 0) return info.size;
    return std::nullopt;
  }
  struct stat info {};
  if (::fstat(STDIN_FILENO, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  const off_t at = ::lseek(STDIN_FILENO, 0, SEEK_CUR);
  if (at < 0 || at >= info.st_size) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size - at);
}

void FreePageBuffer::operator()(char* buffer) const noexcept {
  ::operator delete[](buffer, std::align_val_t{page_alignment});
}

PageBuffer page_aligned(std::size_t size) {
  return PageBuffer(static_cast<char*>(::operator new[](size, std::align_val_t{page_alignment})));
}

OutputFile::OutputFile(const std::string& path, bool force) {
  if (!path.empty() && path != "-") file_.emplace(path, replace_options(force));
}

void OutputFile::write(std::string_view data) {
  if (file_) {
    file_->write(data.data(), data.size());
  } else {
    write_fd(STDOUT_FILENO, data, "standard output");
  }
}

void OutputFile::commit() {
  if (file_) file_->commit();
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
