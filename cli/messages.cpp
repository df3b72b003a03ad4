#include "cli/messages.hpp"

#include <unistd.h>

#include "cli/io.hpp"
#include "quillfern/core/codepage.hpp"

namespace quillfern::cli {
namespace {

// Length of the UTF-8 character at `bytes` (`size` of them) and its code
// point, or 0 when the bytes there are not one well-formed character.
std::size_t utf8_character(const unsigned char* bytes, std::size_t size, char32_t& ch) {
  const Utf8Lead lead = utf8_lead(bytes[0]);
  const std::size_t length = lead.extra + 1;
  if (lead.extra == 0 || size < length) return 0;
  ch = lead.bits;
  for (std::size_t k = 1; k < length; ++k) {
    if ((bytes[k] & 0xC0) != 0x80) return 0;
    ch = (ch << 6) | (bytes[k] & 0x3Fu);
  }
  return utf8_well_formed(ch, lead) ? length : 0;
}

// Characters that print nothing themselves but change what follows: the
// C1 controls (0x9B is a control sequence introducer on some terminals)
// and the bidirectional embeddings, overrides and isolates.
bool is_hidden_control(char32_t ch) {
  return (ch >= 0x80 && ch <= 0x9F) || (ch >= 0x202A && ch <= 0x202E) || (ch >= 0x2066 && ch <= 0x2069);
}

void append_octal(std::string& out, unsigned char byte) {
  out += '\\';
  out += static_cast<char>('0' + (byte >> 6));
  out += static_cast<char>('0' + ((byte >> 3) & 7));
  out += static_cast<char>('0' + (byte & 7));
}

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char byte = bytes[i];
    if (byte >= 0x20 && byte < 0x7F) {
      if (byte == '\\') out += '\\';
      out += static_cast<char>(byte);
      ++i;
    } else if (byte == '\t' || byte == '\n' || byte == '\r') {
      out += '\\';
      out += byte == '\t' ? 't' : byte == '\n' ? 'n' : 'r';
      ++i;
    } else if (char32_t ch = 0; byte >= 0x80) {
      const std::size_t length = utf8_character(bytes + i, text.size() - i, ch);
      if (length == 0) {  // not UTF-8: the byte itself, escaped
        append_octal(out, byte);
        ++i;
        continue;
      }
      for (std::size_t k = 0; k < length; ++k) {
        if (is_hidden_control(ch)) {
          append_octal(out, bytes[i + k]);
        } else {
          out += static_cast<char>(bytes[i + k]);
        }
      }
      i += length;
    } else {  // the other C0 controls and DEL
      append_octal(out, byte);
      ++i;
    }
  }
  return out;
}

void print_line(std::string_view line) noexcept {
  try {
    write_best_effort(STDERR_FILENO, printable(line) + "\n");
  } catch (...) {
    // Out of memory for a message: the message is lost, the work goes on.
  }
}

void print_error(std::string_view message) { print_line("quillfern: error: " + std::string(message)); }

void print_error(const Error& error) {
  std::string message = std::to_string(error.code()) + ": " + std::string(error.description());
  if (!error.detail().empty()) message += " (" + error.detail() + ")";
  print_error(message);
}

void print_hint(std::string_view message) { print_line("quillfern: hint: " + std::string(message)); }

void print_warning(std::string_view message) { print_line("quillfern: warning: " + std::string(message)); }

}  // namespace quillfern::cli
