#include "cli/terminal_guard.hpp"

#include <unistd.h>

#include <algorithm>
#include <string>

#include "cli/io.hpp"
#include "cli/options.hpp"

namespace quillfern::cli {

void refuse_raw_to_terminal(std::string_view bytes, std::string_view path, bool force, bool records) {
  if (force || !(path.empty() || path == "-") || !is_terminal(STDOUT_FILENO)) return;
  const bool control = std::any_of(bytes.begin(), bytes.end(), [](char c) {
    const auto code = static_cast<unsigned char>(c);
    return (code < 32 && code != '\t' && code != '\n') || code == 127;
  });
  if (!control) return;
  throw UsageError(std::string("the result holds control codes, which a terminal would act on; write it with -o FILE, ") +
                   (records ? "store it with --out-format hex or base64," : "pipe it on,") +
                   " or give --force to show it all the same");
}

}  // namespace quillfern::cli
