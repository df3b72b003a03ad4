#include "quillfern/core/codepage.hpp"

#include <algorithm>
#include <array>
#include <cstdio>

#include "quillfern/core/ascii.hpp"

namespace quillfern {
namespace {

// Windows-1252 codes 0x80..0x9F; the undefined ones keep their C1 value.
constexpr std::array<char16_t, 32> cp1252_high{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

std::string describe_char(char32_t ch) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(ch));
  return buffer;
}

void append_utf8(std::string& out, char32_t ch) {
  if (ch < 0x80) {
    out += static_cast<char>(ch);
  } else if (ch < 0x800) {
    out += static_cast<char>(0xC0 | (ch >> 6));
    out += static_cast<char>(0x80 | (ch & 0x3F));
  } else if (ch < 0x10000) {
    out += static_cast<char>(0xE0 | (ch >> 12));
    out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (ch & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (ch >> 18));
    out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (ch & 0x3F));
  }
}

}  // namespace

std::string_view to_string(CodePage page) noexcept {
  switch (page) {
    case CodePage::none: return "none";
    case CodePage::latin1: return "latin1";
    case CodePage::cp1252: return "cp1252";
  }
  return "none";
}

std::optional<CodePage> parse_code_page(std::string_view name) noexcept {
  for (std::string_view alias : {"none", "raw"}) {
    if (ascii::equal_ignoring_case(name, alias)) return CodePage::none;
  }
  for (std::string_view alias : {"latin1", "latin-1", "iso-8859-1", "iso8859-1", "l1"}) {
    if (ascii::equal_ignoring_case(name, alias)) return CodePage::latin1;
  }
  for (std::string_view alias : {"cp1252", "windows-1252", "win1252", "1252"}) {
    if (ascii::equal_ignoring_case(name, alias)) return CodePage::cp1252;
  }
  return std::nullopt;
}

char32_t to_unicode(CodePage page, std::uint8_t code) noexcept {
  if (page == CodePage::cp1252 && code >= 0x80 && code < 0xA0) return cp1252_high[code - 0x80];
  return code;
}

std::optional<std::uint8_t> from_unicode(CodePage page, char32_t ch) noexcept {
  if (page == CodePage::cp1252) {
    if (ch >= 0x80 && ch < 0xA0) {
      // Only the five undefined codes keep their C1 character.
      if (ch == 0x81 || ch == 0x8D || ch == 0x8F || ch == 0x90 || ch == 0x9D) {
        return static_cast<std::uint8_t>(ch);
      }
      return std::nullopt;
    }
    if (ch > 0xFF) {
      auto it = std::find(cp1252_high.begin(), cp1252_high.end(), static_cast<char16_t>(ch));
      if (ch > 0xFFFF || it == cp1252_high.end()) return std::nullopt;
      return static_cast<std::uint8_t>(0x80 + (it - cp1252_high.begin()));
    }
    return static_cast<std::uint8_t>(ch);
  }
  if (ch > 0xFF) return std::nullopt;
  return static_cast<std::uint8_t>(ch);
}

std::size_t Utf8Decoder::decode_one(const unsigned char* bytes, std::size_t available,
                                    std::string& codes) const {
  const Utf8Lead lead = utf8_lead(bytes[0]);
  const std::size_t extra = lead.extra;
  char32_t ch = lead.bits;
  if (extra == 0) {
    throw EncodingError("malformed UTF-8 at byte " + std::to_string(offset_), offset_);
  }
  // Every byte that is there must continue the character, so a malformed
  // sequence is reported at once, whether or not its end has arrived.
  for (std::size_t k = 1; k <= extra && k < available; ++k) {
    if ((bytes[k] & 0xC0) != 0x80) {
      throw EncodingError("malformed UTF-8 at byte " + std::to_string(offset_), offset_);
    }
    ch = (ch << 6) | (bytes[k] & 0x3Fu);
  }
  if (available <= extra) return 0;
  if (!utf8_well_formed(ch, lead)) {
    throw EncodingError("malformed UTF-8 at byte " + std::to_string(offset_), offset_);
  }
  const auto code = from_unicode(page_, ch);
  if (!code) {
    throw EncodingError("character " + describe_char(ch) + " at byte " + std::to_string(offset_) +
                            " has no code in " + std::string(to_string(page_)),
                        offset_);
  }
  codes += static_cast<char>(*code);
  return extra + 1;
}

std::size_t Utf8Decoder::decode(std::string_view piece, std::string& codes, std::size_t most) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
  const std::size_t size = piece.size();
  std::size_t i = 0;
  // First the character that the last piece left unfinished.
  while (held_size_ > 0 && i < size && codes.size() < most) {
    held_[held_size_++] = bytes[i++];
    const std::size_t length = decode_one(held_.data(), held_size_, codes);
    if (length != 0) {
      offset_ += length;
      held_size_ = 0;
    }
  }
  if (held_size_ > 0) return i;
  while (i < size && codes.size() < most) {
    if (bytes[i] < 0x80) {  // ASCII maps to itself in every code page: copy the run
      std::size_t end = i + 1;
      const std::size_t stop = i + std::min(size - i, most - codes.size());
      while (end < stop && bytes[end] < 0x80) ++end;
      codes.append(piece.data() + i, end - i);
      offset_ += end - i;
      i = end;
      continue;
    }
    const std::size_t length = decode_one(bytes + i, size - i, codes);
    if (length == 0) {
      held_size_ = size - i;
      std::copy(bytes + i, bytes + size, held_.begin());
      return size;
    }
    i += length;
    offset_ += length;
  }
  return i;
}

void Utf8Decoder::finish() const {
  if (held_size_ > 0) {
    throw EncodingError("truncated UTF-8 at byte " + std::to_string(offset_), offset_);
  }
}

std::string from_utf8(std::string_view utf8, CodePage page) {
  std::string out;
  out.reserve(utf8.size());
  Utf8Decoder decoder(page);
  (void)decoder.decode(utf8, out);
  decoder.finish();
  return out;
}

std::string to_utf8(std::string_view codes, CodePage page) {
  std::string out;
  out.reserve(codes.size() + codes.size() / 4);
  for (char c : codes) append_utf8(out, to_unicode(page, static_cast<std::uint8_t>(c)));
  return out;
}

}  // namespace quillfern
