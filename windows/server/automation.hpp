// Automation values and the library's variants: reading a dispatch
// argument (also through a reference to a variant, as script engines pass
// their variables) and writing a result or an output argument back.
#pragma once

#include <optional>

#include "quillfern/core/variant.hpp"
#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::server {

// The variant an argument stands for, after following references; none
// when its type has no counterpart (the call then fails with a type
// mismatch). A missing optional argument is none too.
[[nodiscard]] std::optional<Variant> from_automation(const VARIANT& argument);

// The same for an argument that names a file: a text keeps every
// character, in UTF-8, as the file system layer takes names, instead of
// going through the ANSI code page. Throws Error 52 for a text that is not
// well-formed UTF-16.
[[nodiscard]] std::optional<Variant> file_name_from_automation(const VARIANT& argument);

// An automation value holding `value`; texts become BSTRs through the
// ANSI code page. Throws std::bad_alloc.
void to_automation(const Variant& value, VARIANT& out);

// True when the argument is passed by reference in a way a text can be
// written back into: a BSTR reference, or a reference to a variant.
[[nodiscard]] bool can_write_text(const VARIANT& argument) noexcept;

// Writes a prepared BSTR into a by-reference argument, taking ownership of
// `text` and freeing what the argument held. Never fails.
void write_text(VARIANT& argument, BSTR text) noexcept;

}  // namespace quillfern::server
