#include "quillfern/files/wipe.hpp"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "quillfern/platform/file_system.hpp"

namespace quillfern::files {

void wipe_file_clean(const std::string& file_name, const FileProgress& progress) {
  using namespace platform;
  const FileInfo named = file_info(file_name, false);
  if (named.kind == FileKind::missing) raise_file_error(ENOENT, FileAccess::read, file_name);
  if (named.kind != FileKind::regular) raise_file_error(EISDIR, FileAccess::write, file_name);

  make_writable(file_name);
  File file = File::open_write(file_name);
  const FileInfo opened = file.info();
  // The name may have been replaced between the look and the open.
  if (!opened.same_file(named)) raise_file_error(EBUSY, FileAccess::write, file_name);

  const std::uint64_t extent = wipe_extent(opened.size);
  std::vector<char> fill(static_cast<std::size_t>(std::min<std::uint64_t>(extent, 1u << 20)));
  std::uint64_t done = 0;
  for (char letter : {'X', ' '}) {
    std::fill(fill.begin(), fill.end(), letter);
    for (std::uint64_t offset = 0; offset < extent;) {
      const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(fill.size(), extent - offset));
      file.write_at(fill.data(), size, offset);
      offset += size;
      done += size;
      if (progress) progress(done, 2 * extent);
    }
    // Each pass reaches the device before the next one starts, so the
    // spaces do not merely replace the letters in the cache.
    file.sync();
  }
  file.close();
  remove_file(file_name);
}

}  // namespace quillfern::files
