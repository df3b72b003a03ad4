// Host texts (UTF-16 strings, BSTRs) to character codes and back, through
// the system's ANSI code page, which plays the host's single-byte code
// page. A character the code page lacks reads as the code page's default
// character, as the system's own conversion gives it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quillfern/core/codepage.hpp"
#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::win32 {

// The codes of a UTF-16 text; a null BSTR is the empty text.
[[nodiscard]] std::string to_codes(const wchar_t* text, std::size_t length);
[[nodiscard]] std::string to_codes(BSTR text);

// A file name as the file system layer takes it: the UTF-8 form of a
// UTF-16 name, with every character kept (none when the name is not
// well-formed UTF-16: a lone surrogate). Throws std::bad_alloc.
[[nodiscard]] std::optional<std::string> to_utf8(const wchar_t* text, std::size_t length);

// The UTF-16 text of codes. Throws std::bad_alloc when no string can be had.
[[nodiscard]] std::wstring to_wide(std::string_view codes);
[[nodiscard]] BSTR to_bstr(std::string_view codes);

// The library's code page that matches the system's ANSI code page, for the
// operations whose upper-casing depends on it: Windows-1252 unless the
// system uses ISO-8859-1.
[[nodiscard]] CodePage host_code_page() noexcept;

}  // namespace quillfern::win32
