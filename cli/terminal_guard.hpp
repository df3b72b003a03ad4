// Cipher bytes are not for a terminal: they can hold control codes that
// the terminal would act on, and a cipher text copied from the screen is
// no longer the cipher text. A result with such codes bound for a terminal
// is refused with a hint, unless --force is given.
#pragma once

#include <string_view>

namespace quillfern::cli {

// Throws UsageError when standard output is a terminal, `path` names
// standard output ("" or "-"), `force` is false and `bytes` holds a
// control code other than tab and line feed.
void refuse_raw_to_terminal(std::string_view bytes, std::string_view path, bool force, bool records);

}  // namespace quillfern::cli
