#include "quillfern/transforms/seed.hpp"

#include "quillfern/control/rules.hpp"

namespace quillfern::transforms {

std::string seed_encryption(std::string_view text, std::string_view seed) {
  const std::int16_t n = rules::length16(text);
  // The character loop reads the seed's code at every position; past the
  // seed's end that is the code of the empty text, error 5, which comes
  // before the counter's final step.
  if (seed.size() < text.size()) throw Error(ErrorNumber::invalid_call);
  rules::finish_loop16(n);
  std::string result(text);
  for (std::size_t k = 0; k < result.size(); ++k) {
    result[k] = static_cast<char>(static_cast<unsigned char>(result[k]) ^ static_cast<unsigned char>(seed[k]));
  }
  return result;
}

}  // namespace quillfern::transforms
