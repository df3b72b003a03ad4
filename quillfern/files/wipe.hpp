// The file wipe of WipeFileClean: a file overwritten from its first byte
// to (length / 4096 + 1) * 4096 bytes, first with "X" and then with
// spaces, each pass flushed to the device, and then deleted.
#pragma once

#include <cstdint>
#include <string>

#include "quillfern/files/file_cipher.hpp"

namespace quillfern::files {

constexpr std::uint64_t wipe_block = 4096;

// The bytes a wipe of a file of `length` bytes overwrites: one block more
// than the whole blocks of the file, so always more than its length.
[[nodiscard]] constexpr std::uint64_t wipe_extent(std::uint64_t length) noexcept {
  return (length / wipe_block + 1) * wipe_block;
}

// WipeFileClean: clears the read-only attribute, overwrites the file with
// "X" over wipe_extent(length) bytes and flushes, then with spaces and
// flushes, and deletes it. `progress` hears the bytes of both passes.
// Throws Error: 53 for a missing file (nothing is created); 75 for a name
// that is not a regular file (a folder, a device, a pipe, a socket, a
// symbolic link), which is left untouched; and the file errors 52, 57, 61,
// 70, 76 from the system. A failure after the first write leaves the file
// in place, partly overwritten.
void wipe_file_clean(const std::string& file_name, const FileProgress& progress = {});

}  // namespace quillfern::files
