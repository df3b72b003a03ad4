#include "quillfern/files/wipe.hpp"

#include <algorithm>
#include <optional>
#include <vector>

#include "quillfern/platform/file_system.hpp"

namespace quillfern::files {

namespace {

// What a wipe that ran out of room could not write, for its error.
std::string unwritten(const std::string& name, std::uint64_t size, std::uint64_t extent, std::uint64_t spaces) {
  const auto n = [](std::uint64_t value) { return std::to_string(value); };
  if (spaces < size) {
    return name + ": only the first " + n(spaces) + " of its " + n(size) + " bytes could be overwritten; it was not deleted";
  }
  if (spaces < extent) {
    return name + ": " + n(extent - spaces) + " of the " + n(extent - size) +
           " bytes past its end could not be written; its own " + n(size) +
           " bytes were overwritten; it was not deleted";
  }
  return name + ": the overwritten bytes could not all be flushed to the device; it was not deleted";
}

}  // namespace

void wipe_file_clean(const std::string& file_name, const FileProgress& progress, const OtherLinksNotice& other_links) {
  using namespace platform;
  HeldFile held = HeldFile::hold(file_name);
  // A file that could not be deleted afterwards would be left destroyed
  // under its name: refuse it before the first write.
  held.check_removable();
  if (held.info().links > 1 && other_links) other_links(held.info().links - 1);
  File file = held.open_write();
  const std::uint64_t size = file.info().size;
  const std::uint64_t extent = wipe_extent(size);
  std::vector<char> fill(static_cast<std::size_t>(std::min<std::uint64_t>(extent, 1u << 20)));
  std::uint64_t done = 0;
  // A full device refuses the growth past the end, not the file's own
  // bytes: both passes still cover what they can, and the error comes
  // after them.
  bool out_of_room = false;
  std::uint64_t reach = extent;  // where the current pass stops
  for (char letter : {'X', ' '}) {
    const bool first_pass = letter == 'X';
    std::fill(fill.begin(), fill.end(), letter);
    for (std::uint64_t offset = 0; offset < reach;) {
      // Pieces never straddle the end of the file, so a refused piece
      // tells whether its own bytes or the growth went unwritten.
      const std::uint64_t until = offset < size ? std::min(size, reach) : reach;
      const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(fill.size(), until - offset));
      try {
        file.write_at(fill.data(), piece, offset);
      } catch (const Error& e) {
        if (e.number() != ErrorNumber::disk_full) throw;
        out_of_room = true;
        // A write past the end may have grown the file before it stopped;
        // the spaces cover that growth too.
        reach = first_pass && offset >= size ? std::clamp(file.info().size, offset, reach) : offset;
        break;
      }
      offset += piece;
      done += piece;
      if (progress) progress(done, 2 * extent);
    }
    // Each pass reaches the device before the next one starts, so the
    // spaces do not merely replace the letters in the cache.
    try {
      file.sync();
    } catch (const Error& e) {
      if (e.number() != ErrorNumber::disk_full) throw;
      out_of_room = true;
    }
  }
  if (out_of_room) throw Error(ErrorNumber::disk_full, unwritten(file_name, size, extent, reach));
  file.close();
  held.remove();
}

}  // namespace quillfern::files
