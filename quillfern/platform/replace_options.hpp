// How a result replaces an existing file: the choices a caller of the
// file operations makes about read-only targets and other hard links.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quillfern::platform {

struct ReplaceOptions {
  // Replace a file the user may not write to, as `cp --force` does;
  // without it such a file is refused with ReadOnlyOutput.
  bool replace_read_only = false;
  // Told, before anything is written, that the file to replace (`target`)
  // has `other_links` further names (hard links); these keep the earlier
  // content, since the new file takes only the one name.
  std::function<void(const std::string& target, std::uint64_t other_links)> on_other_links;
};

}  // namespace quillfern::platform
