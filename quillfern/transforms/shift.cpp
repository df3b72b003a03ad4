#include "quillfern/transforms/shift.hpp"

#include <cstring>

#include "quillfern/core/rules.hpp"

namespace quillfern::transforms {
namespace {

// The character-by-character loop fails at the first code whose shifted
// value leaves 0..255, and only after the whole text at the counter's final
// step; finding that code first keeps the errors in the same order.
std::string shift(std::string_view text, unsigned char failing, char step) {
  const std::int16_t n = rules::length16(text);
  if (std::memchr(text.data(), failing, text.size()) != nullptr) {
    throw Error(ErrorNumber::invalid_call);
  }
  rules::finish_loop16(n);
  // Written from the input directly: a copy first would cost more than
  // the shift itself.
  std::string result(text.size(), '\0');
  char* out = result.data();
  const char* in = text.data();
  for (std::size_t k = 0; k < text.size(); ++k) out[k] = static_cast<char>(in[k] + step);
  return result;
}

}  // namespace

std::string easy_crypt_encode(std::string_view text) { return shift(text, 255, 1); }

std::string easy_crypt_decode(std::string_view text) { return shift(text, 0, -1); }

}  // namespace quillfern::transforms
