// Wiping secrets from our own buffers: password copies, key streams and
// generator state are cleared with a wipe the compiler cannot remove once
// they are no longer needed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "quillfern/core/secret.hpp"

namespace quillfern::platform {

// Overwrites `size` bytes at `data` with zeros; never optimised away.
using quillfern::secure_wipe;

// Overwrites the whole buffer of `text` (its capacity, not only its size)
// and leaves it empty.
void secure_wipe(std::string& text) noexcept;

template <typename T>
void secure_wipe(std::vector<T>& values) noexcept {
  secure_wipe(values.data(), values.capacity() * sizeof(T));
  values.clear();
}

// Marks the process as one whose memory no core file may show (on Linux
// it is no longer dumpable, which also keeps other processes of the user
// from reading its memory; elsewhere its core file limit becomes 0). For
// programs that hold secrets; it lasts until the process ends.
void keep_out_of_core_dumps() noexcept;

// Wipes a string when it goes out of scope, on every path.
class WipeOnExit {
 public:
  explicit WipeOnExit(std::string& text) noexcept : text_(text) {}
  ~WipeOnExit() { secure_wipe(text_); }
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;

 private:
  std::string& text_;
};

}  // namespace quillfern::platform
