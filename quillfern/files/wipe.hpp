// The file wipe of WipeFileClean: a file overwritten from its first byte
// to (length / 4096 + 1) * 4096 bytes, first with "X" and then with
// spaces, each pass flushed to the device, and then deleted.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "quillfern/files/file_cipher.hpp"

namespace quillfern::files {

constexpr std::uint64_t wipe_block = 4096;

// The bytes a wipe of a file of `length` bytes overwrites: one block more
// than the whole blocks of the file, so always more than its length.
[[nodiscard]] constexpr std::uint64_t wipe_extent(std::uint64_t length) noexcept {
  return (length / wipe_block + 1) * wipe_block;
}

// Hears, before the first byte is written, that the file has
// `other_links` names (hard links) besides the one being wiped: they name
// the same bytes, which are destroyed too, and they stay.
using OtherLinksNotice = std::function<void(std::uint64_t other_links)>;

// WipeFileClean: overwrites the file with "X" over wipe_extent(length)
// bytes and flushes, then with spaces and flushes, and deletes it. A
// read-only file is made writable for the job (its permissions are put
// back on any failure, and for its other names). `progress` hears the
// bytes of both passes.
//
// Nothing is written unless the name can be deleted afterwards, and the
// name is deleted only if it still names the file that was overwritten.
// On a full device the file's own bytes still get both passes before the
// error; only the growth past its end is missing.
//
// Throws Error: 53 for a missing file (nothing is created); 75 for a name
// that is not a regular file (a folder, a device, a pipe, a socket, a
// symbolic link), which is left untouched, and for a name given to another
// file during the wipe (that file is not deleted); 70, with nothing
// written, when the name could not be deleted (its folder not writable,
// sticky and not ours, immutable or append-only; the file immutable or
// append-only); 61 for a full device, once the file's own bytes are
// overwritten, saying what could not be written; and the file errors 52,
// 57, 61, 70, 76 from the system. A failure after the first write leaves
// the file in place, partly overwritten.
void wipe_file_clean(const std::string& file_name, const FileProgress& progress = {},
                     const OtherLinksNotice& other_links = {});

}  // namespace quillfern::files
