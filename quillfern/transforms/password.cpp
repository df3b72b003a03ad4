#include "quillfern/transforms/password.hpp"

#include "quillfern/core/rules.hpp"

namespace quillfern::transforms {
namespace {

enum class Direction { encrypt, decrypt };

// Every intermediate value lies well inside 16 bits (codes 0..255, keys
// 0..255), so the 16-bit overflow rule never fires in the arithmetic; only
// the Chr rule and the byte position counter can fail.
template <Direction direction>
std::string run(std::uint8_t number, std::string_view text) {
  const int key = number;
  const int mask = 10 - key;
  const std::size_t handled = text.size() < 255 ? text.size() : 255;

  std::string result(handled, '\0');
  for (std::size_t k = 0; k < handled; ++k) {
    const int c = rules::code_at(text, k);
    const bool odd = (k % 2) == 0;  // position k + 1 counts from 1
    int r = 0;
    if constexpr (direction == Direction::encrypt) {
      const int t = odd ? c + key : c - key;
      r = static_cast<std::int16_t>(t ^ mask);  // 16-bit pattern, sign-extended
    } else {
      const int x = static_cast<std::int16_t>(c ^ mask);
      r = odd ? x - key : x + key;
    }
    result[k] = rules::chr(r);
  }
  // The byte counter steps from 255 to 256 after the 255th character.
  if (text.size() > password_max_length) (void)rules::to_byte(static_cast<int>(handled) + 1);
  return result;
}

}  // namespace

std::string encrypt_password(std::uint8_t number, std::string_view text) {
  return run<Direction::encrypt>(number, text);
}

std::string decrypt_password(std::uint8_t number, std::string_view text) {
  return run<Direction::decrypt>(number, text);
}

}  // namespace quillfern::transforms
