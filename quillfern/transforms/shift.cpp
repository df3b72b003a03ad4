#include "quillfern/transforms/shift.hpp"

#include <cstring>

#include "quillfern/control/rules.hpp"

namespace quillfern::transforms {
namespace {

// The character-by-character loop fails at the first code whose shifted
// value leaves 0..255, and only after the whole text at the counter's final
// step; finding that code first keeps the errors in the same order.
std::string shift(std::string_view text, unsigned char failing, unsigned char step) {
  const std::int16_t n = rules::length16(text);
  if (std::memchr(text.data(), failing, text.size()) != nullptr) {
    throw Error(ErrorNumber::invalid_call);
  }
  rules::finish_loop16(n);
  std::string result(text);
  for (char& ch : result) ch = static_cast<char>(static_cast<unsigned char>(ch) + step);
  return result;
}

}  // namespace

std::string easy_crypt_encode(std::string_view text) { return shift(text, 255, 1); }

// Adding 255 modulo 256 lowers every code by one; code 0 was refused.
std::string easy_crypt_decode(std::string_view text) { return shift(text, 0, 255); }

}  // namespace quillfern::transforms
