// The password-carrying cipher text written step by step from its
// description: a working text consumed one character from the front, the
// password cursor restarting at 1 on every pass, and the stop at the first
// sum above 255 (or negative difference). Deciphering accepts exactly when
// the deciphered text begins with the password. An empty password is
// answered with nullopt (the control shows its box).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quillfern/core/rules.hpp"

namespace quillfern::reference {

inline std::string cipher_text_pass(bool add, std::string_view working, std::string_view password) {
  std::string output;
  for (;;) {
    for (std::size_t cursor = 1; cursor <= password.size(); ++cursor) {
      if (working.empty()) return output;
      const int taken = rules::asc(working);
      working.remove_prefix(1);
      const int p = rules::asc(password.substr(cursor - 1, 1));
      const int value = add ? taken + p : taken - p;
      if (value > 255 || value < 0) return output;
      output += rules::chr(value);
    }
  }
}

inline std::optional<std::string> encipher_text(std::string_view CipherInString,
                                                std::string_view Password) {
  if (Password.empty()) return std::nullopt;
  const std::string working = std::string(Password) + std::string(CipherInString);
  return cipher_text_pass(true, working, Password);
}

// The deciphered text after the password, or nullopt for "Access Denied"
// (and for an empty password).
inline std::optional<std::string> decipher_text(std::string_view CipherString,
                                                std::string_view Password) {
  if (Password.empty()) return std::nullopt;
  const std::string deciphered = cipher_text_pass(false, CipherString, Password);
  if (deciphered.compare(0, Password.size(), Password) != 0 || deciphered.size() < Password.size()) {
    return std::nullopt;
  }
  return deciphered.substr(Password.size());
}

}  // namespace quillfern::reference
