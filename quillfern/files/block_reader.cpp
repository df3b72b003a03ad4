// The input of the file cipher, read in blocks.
#include "quillfern/files/block_reader.hpp"

#include <algorithm>

#include "quillfern/core/error.hpp"

namespace quillfern::files {

std::size_t BlockReader::next(unsigned char* buffer, std::size_t capacity) {
  std::size_t wanted = capacity;
  if (bounded_) wanted = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, size_ - offset_));
  if (wanted == 0) return 0;
  const std::size_t got = file_.read(buffer, wanted);
  offset_ += got;
  // An early end: some special files claim more than they hold, but a
  // file that is now shorter was cut while we read it.
  if (got < wanted && bounded_ && file_.info().size < size_) {
    throw Error(ErrorNumber::device_io, name_ + ": the file became shorter while it was read");
  }
  return got;
}

}  // namespace quillfern::files
