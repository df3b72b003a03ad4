// The text-box cipher written step by step from its description, in double
// precision as the control computes: the code sum, the key number, the
// Password overwritten with its decimal text and read back, the six-phase
// table and the Chr rule that drops codes outside 0..255.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quillfern/core/rules.hpp"

namespace quillfern::reference {

inline std::optional<std::string> text_box(bool crypt, std::string_view InPutText,
                                           std::string& Password) {
  double sum = 0;
  for (char ch : Password) sum += static_cast<unsigned char>(ch);
  const double key_number = std::floor((sum * 0.1) / 6);
  Password = std::to_string(static_cast<std::uint64_t>(key_number));
  const double k = std::stod(Password);

  std::optional<std::string> result;
  int phase = 0;
  for (char ch : InPutText) {
    const double c = static_cast<unsigned char>(ch);
    phase = phase + 1;
    if (phase == 6) phase = 0;
    double y = 0;
    switch (phase) {
      case 0: y = crypt ? c - (k - 2) : c + (k - 2); break;
      case 1: y = crypt ? c + (k - 5) : c - (k - 5); break;
      case 2: y = crypt ? c - (k - 4) : c + (k - 4); break;
      case 3: y = crypt ? c + (k - 2) : c - (k - 2); break;
      case 4: y = crypt ? c - (k - 3) : c + (k - 3); break;
      default: y = crypt ? c + (k - 5) : c - (k - 5); break;
    }
    y = crypt ? y + phase : y - phase;
    if (y < 0 || y > 255) continue;  // the Chr rule fails: the step is skipped
    if (!result) result.emplace();
    *result += rules::chr(static_cast<std::int32_t>(y));
  }
  return result;
}

}  // namespace quillfern::reference
