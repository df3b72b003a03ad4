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
