#include "cli/stream_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "cli/streams.hpp"
#include "cli/terminal_guard.hpp"
#include "quillfern/platform/secure_memory.hpp"

namespace quillfern::cli {
namespace {

std::string describe(int error) { return std::strerror(error); }

std::string spool_folder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

// A file with no name in `folder`, for reading and writing.
int nameless_file(const std::string& folder) {
#ifdef O_TMPFILE
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    throw IoError("cannot make a spool file in " + folder + ": " + describe(errno));
  }
#endif
  std::string name = folder + "/quillfern-spool-XXXXXX";
  const int named = ::mkstemp(name.data());
  if (named < 0) throw IoError("cannot make a spool file in " + folder + ": " + describe(errno));
  ::unlink(name.c_str());
  (void)::fcntl(named, F_SETFD, FD_CLOEXEC);
  return named;
}

// Standard output is the null device.
bool standard_output_is_null() {
  struct stat out {}, null {};
  return ::fstat(STDOUT_FILENO, &out) == 0 && S_ISCHR(out.st_mode) && ::stat("/dev/null", &null) == 0 &&
         S_ISCHR(null.st_mode) && out.st_rdev == null.st_rdev;
}

}  // namespace

// ---- Spool ------------------------------------------------------------------

Spool::~Spool() {
  platform::secure_wipe(memory_);
  if (fd_ >= 0) ::close(fd_);
}

void Spool::move_to_file() {
  folder_ = spool_folder();
  fd_ = nameless_file(folder_);
  const std::string held = std::exchange(memory_, std::string());
  size_ = 0;
  write(held.data(), held.size());
}

void Spool::write(const char* data, std::size_t size) {
  if (fd_ < 0 && memory_.size() + size <= spool_in_memory) {
    memory_.append(data, size);
    size_ += size;
    return;
  }
  if (fd_ < 0) move_to_file();
  for (std::size_t done = 0; done < size;) {
    const ssize_t put = ::write(fd_, data + done, size - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      throw IoError("cannot write the spool file in " + folder_ + ": " + describe(errno));
    }
    done += static_cast<std::size_t>(put);
  }
  size_ += size;
}

std::size_t Spool::read(char* data, std::size_t size) {
  if (fd_ < 0) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - read_));
    std::memcpy(data, memory_.data() + read_, count);
    read_ += count;
    return count;
  }
  if (!reading_) {
    if (::lseek(fd_, 0, SEEK_SET) != 0) {
      throw IoError("cannot read the spool file in " + folder_ + ": " + describe(errno));
    }
    reading_ = true;
  }
  std::size_t filled = 0;
  while (filled < size) {
    const ssize_t got = ::read(fd_, data + filled, size - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw IoError("cannot read the spool file in " + folder_ + ": " + describe(errno));
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  read_ += filled;
  return filled;
}

// ---- CodeSource -------------------------------------------------------------

CodeSource::CodeSource(const std::string& path, CodePage encoding, bool need_length) {
  const bool standard = path.empty() || path == "-";
  name_ = standard ? "standard input" : path;
  if (encoding != CodePage::none) {
    reader_.emplace(path, encoding);
  } else {
    file_.emplace(path);
    length_ = file_->regular_length();
    regular_ = length_.has_value();
  }
  if (regular_ || !need_length) return;
  // Spool the whole input to learn its length.
  Spool& spool = spool_.emplace();
  std::string piece(stream_piece, '\0');
  while (const std::size_t got = read_unspooled(piece.data(), piece.size())) spool.write(piece.data(), got);
  length_ = spool.size();
}

CodeSource::~CodeSource() { platform::secure_wipe(decoded_); }

std::size_t CodeSource::read_decoded(char* data, std::size_t size) {
  // Whole pieces: fewer codes only at the end.
  std::size_t got = 0;
  while (got < size) {
    if (decoded_at_ == decoded_.size()) {
      decoded_.clear();
      decoded_at_ = 0;
      if (reader_->read(decoded_, stream_piece) == 0) break;
    }
    const std::size_t count = std::min(size - got, decoded_.size() - decoded_at_);
    std::memcpy(data + got, decoded_.data() + decoded_at_, count);
    decoded_at_ += count;
    got += count;
  }
  return got;
}

std::size_t CodeSource::read_regular(char* data, std::size_t size) {
  // Up to the length told at the start, and not a byte more or less.
  const std::uint64_t left = *length_ - done_;
  if (left == 0) return 0;
  const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, left));
  const std::size_t got = file_->read(data, wanted);
  if (got < wanted) {
    throw IoError(name_ + " shrank while it was read: " + std::to_string(*length_) + " bytes expected, " +
                  std::to_string(done_ + got) + " found");
  }
  if (got == left) {
    char extra = 0;
    if (file_->read(&extra, 1) != 0) {
      throw IoError(name_ + " grew while it was read: more than the " + std::to_string(*length_) +
                    " bytes it had at the start");
    }
  }
  return got;
}

std::size_t CodeSource::read_unspooled(char* data, std::size_t size) {
  if (reader_) return read_decoded(data, size);
  if (regular_) return read_regular(data, size);
  return file_->read(data, size);
}

std::size_t CodeSource::read(char* data, std::size_t size) {
  const std::size_t got = spool_ ? spool_->read(data, size) : read_unspooled(data, size);
  done_ += got;
  return got;
}

// ---- CodeSink ---------------------------------------------------------------

CodeSink::CodeSink(std::string path, bool force, CodePage encoding, bool hold)
    : path_(std::move(path)), force_(force), encoding_(encoding), hold_(hold) {}

void CodeSink::open() {
  opened_ = true;
  if (!path_.empty() && path_ != "-") file_.emplace(path_, replace_options(force_));
  // A replacing file is held by its temporary already; nothing written to
  // the null device can be seen, so nothing is held back from it.
  const bool in_place = !file_ || file_->in_place();
  const bool unseen = !file_ && standard_output_is_null();
  if (hold_ && in_place && !unseen) held_.emplace();
}

void CodeSink::put(const char* data, std::size_t size) {
  if (held_) {
    held_->write(data, size);
  } else {
    deliver(data, size);
  }
}

void CodeSink::deliver(const char* data, std::size_t size) {
  if (file_) {
    file_->write(data, size);
  } else {
    write_output(std::string_view(data, size));
  }
}

void CodeSink::write(const char* codes, std::size_t size) {
  if (!opened_) open();
  if (size == 0) return;
  refuse_raw_to_terminal(std::string_view(codes, size), path_, force_, false);
  if (encoding_ == CodePage::none) {
    put(codes, size);
    return;
  }
  converted_ = to_utf8(std::string_view(codes, size), encoding_);
  put(converted_.data(), converted_.size());
}

void CodeSink::commit() {
  if (!opened_) open();
  if (held_) {
    // The verdict is in: what was held back goes out now.
    std::string piece(stream_piece, '\0');
    for (std::size_t got; (got = held_->read(piece.data(), piece.size())) != 0;) deliver(piece.data(), got);
    held_.reset();
  }
  if (file_) file_->commit();
}

}  // namespace quillfern::cli
