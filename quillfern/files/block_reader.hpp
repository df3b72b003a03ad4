// The input of the file cipher, read in blocks. Internal to the library:
// not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "quillfern/platform/file_system.hpp"

namespace quillfern::files {

// The input in blocks, read with read calls: a mapping of the file would
// fault as soon as someone shortened it. A regular file is read up to the
// length it had when it was opened (it may be growing by our own output,
// written in place through a descriptor), and one that has become shorter
// meanwhile is an error rather than a shorter result; a file of unknown
// length (0 for the files of /proc, pipes, devices) is read until it ends.
class BlockReader {
 public:
  BlockReader(platform::File& file, const std::string& name) : file_(file), name_(name) {
    const platform::FileInfo info = file.info();
    bounded_ = info.kind == platform::FileKind::regular && info.size > 0;
    size_ = info.size;
  }

  // The input's length, 0 when it is not known before the end.
  [[nodiscard]] std::uint64_t size() const noexcept { return bounded_ ? size_ : 0; }

  // Fills `buffer` with up to `capacity` bytes; fewer only at the end.
  // Throws Error 57 when a regular file became shorter while it was read.
  std::size_t next(unsigned char* buffer, std::size_t capacity);

 private:
  platform::File& file_;
  const std::string& name_;
  std::uint64_t offset_ = 0;
  std::uint64_t size_ = 0;
  bool bounded_ = false;
};

}  // namespace quillfern::files
