// Single-byte code pages: how the host's characters map to the codes 0..255
// that every cipher works on. The core never converts; the edges (the
// command line, bindings) convert text with these tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillfern {

enum class CodePage {
  none,    // no code page: codes are characters 0..255 (as Latin-1), ASCII casing only
  latin1,  // ISO-8859-1
  cp1252,  // Windows-1252, the default host code page
};

// "none", "latin1", "cp1252"; parse accepts a few common aliases too
// ("iso-8859-1", "windows-1252", ...), case-insensitively.
[[nodiscard]] std::string_view to_string(CodePage page) noexcept;
[[nodiscard]] std::optional<CodePage> parse_code_page(std::string_view name) noexcept;

// The character of a code. Every code maps to a distinct character: the five
// codes that Windows-1252 leaves undefined map to the C1 controls of the
// same value, as the platform's own conversion does.
[[nodiscard]] char32_t to_unicode(CodePage page, std::uint8_t code) noexcept;

// The code of a character; none when the code page has no such character.
[[nodiscard]] std::optional<std::uint8_t> from_unicode(CodePage page, char32_t ch) noexcept;

// Raised for text that cannot be converted: malformed UTF-8, or a character
// that the code page lacks. `offset` is the byte offset in the UTF-8 input.
class EncodingError : public std::runtime_error {
 public:
  EncodingError(const std::string& what, std::size_t offset)
      : std::runtime_error(what), offset_(offset) {}
  [[nodiscard]] std::size_t offset() const noexcept { return offset_; }

 private:
  std::size_t offset_;
};

// The lead byte of a multibyte UTF-8 character: how many continuation
// bytes follow it (1 to 3), the code point bits it carries, and the
// smallest code point a character of that length may hold (a smaller one
// is an overlong form). `extra` is 0 for a byte that cannot lead one.
struct Utf8Lead {
  std::size_t extra = 0;
  char32_t bits = 0;
  char32_t minimum = 0;
};

[[nodiscard]] constexpr Utf8Lead utf8_lead(unsigned char lead) noexcept {
  if ((lead & 0xE0) == 0xC0) return {1, lead & 0x1Fu, 0x80};
  if ((lead & 0xF0) == 0xE0) return {2, lead & 0x0Fu, 0x800};
  if ((lead & 0xF8) == 0xF0) return {3, lead & 0x07u, 0x10000};
  return {};
}

// Whether `ch`, decoded from a character whose lead was `lead`, is a
// Unicode scalar value in its shortest form.
[[nodiscard]] constexpr bool utf8_well_formed(char32_t ch, const Utf8Lead& lead) noexcept {
  return ch >= lead.minimum && ch <= 0x10FFFF && !(ch >= 0xD800 && ch <= 0xDFFF);
}

// UTF-8 text to codes, and codes to UTF-8 text.
[[nodiscard]] std::string from_utf8(std::string_view utf8, CodePage page);
[[nodiscard]] std::string to_utf8(std::string_view codes, CodePage page);

// UTF-8 text to codes when the text arrives in pieces, in bounded memory: a
// character split between two pieces is held until its last byte arrives.
// Gives exactly what from_utf8 gives for the whole text, and its errors name
// offsets from the start of the whole text.
class Utf8Decoder {
 public:
  static constexpr std::size_t no_limit = static_cast<std::size_t>(-1);

  explicit Utf8Decoder(CodePage page) noexcept : page_(page) {}

  // Appends the codes of the characters of `piece` to `codes`, stopping as
  // soon as `codes` holds `most` codes; returns how many bytes of `piece` it
  // took (all of them unless it stopped). Throws EncodingError.
  std::size_t decode(std::string_view piece, std::string& codes, std::size_t most = no_limit);
  // Throws EncodingError when the text ended inside a character.
  void finish() const;

 private:
  // Decodes the character at `bytes` (`available` of them) and appends its
  // code; 0 when the character needs more bytes than are available.
  std::size_t decode_one(const unsigned char* bytes, std::size_t available, std::string& codes) const;

  CodePage page_;
  std::size_t offset_ = 0;  // of the next character, from the start of the text
  std::array<unsigned char, 4> held_{};
  std::size_t held_size_ = 0;
};

}  // namespace quillfern
