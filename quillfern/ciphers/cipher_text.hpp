// The password-carrying cipher text: the password followed by the text,
// each code raised by the code of the password character aligned with it,
// the password repeating from its first character at cipher positions 1,
// Lp + 1, 2 Lp + 1 and so on. The cipher text carries its own password,
// which deciphering checks before it hands the text back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillfern::ciphers {

// How a call ended.
enum class CipherVerdict {
  done,           // the result holds the cipher text or the plain text
  no_password,    // the password was empty: nothing was done
  access_denied,  // deciphering: the deciphered text does not begin with the password
};

struct EnCipherResult {
  CipherVerdict verdict = CipherVerdict::done;
  std::string text;
  // The 1-based cipher position at which a sum above 255 stopped the
  // cipher (the cipher text holds the cut_at - 1 codes before it), or 0
  // when the whole text went in. Positions up to the password's length lie
  // in the password block.
  std::size_t cut_at = 0;
};

struct DeCipherResult {
  CipherVerdict verdict = CipherVerdict::done;
  // When done: the deciphered text after the password.
  std::string text;
  // The 1-based cipher position at which a negative difference stopped
  // deciphering, or 0 when the whole cipher text was deciphered.
  std::size_t stopped_at = 0;
};

// Enciphers `text` under `password`. An empty password gives no_password.
// A code that would exceed 255 ends the cipher text just before it (a
// password code of 128 or more does so inside the password block). Never
// throws except for allocation; linear in the input.
[[nodiscard]] EnCipherResult encipher_text(std::string_view text, std::string_view password);

// Deciphers `cipher` under `password`: subtracts the repeating password,
// stopping at the first negative difference, and accepts exactly when what
// it deciphered begins with the password; the result is then the text
// after it. Otherwise the verdict is access_denied (or no_password for an
// empty password). Never throws except for allocation; linear.
[[nodiscard]] DeCipherResult decipher_text(std::string_view cipher, std::string_view password);

}  // namespace quillfern::ciphers
