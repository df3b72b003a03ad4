#include "quillfern/transforms/seed.hpp"

#include "quillfern/core/rules.hpp"

namespace quillfern::transforms {

std::string seed_encryption(std::string_view text, std::string_view seed) {
  const std::int16_t n = rules::length16(text);
  // The character loop reads the seed's code at every position; past the
  // seed's end that is the code of the empty text, error 5, which comes
  // before the counter's final step.
  if (seed.size() < text.size()) throw Error(ErrorNumber::invalid_call);
  rules::finish_loop16(n);
  std::string result(text.size(), '\0');
  char* out = result.data();
  const char* in = text.data();
  const char* key = seed.data();
  for (std::size_t k = 0; k < text.size(); ++k) out[k] = static_cast<char>(in[k] ^ key[k]);
  return result;
}

}  // namespace quillfern::transforms
