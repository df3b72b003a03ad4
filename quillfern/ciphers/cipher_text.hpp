// The password-carrying cipher text: the password followed by the text,
// each code raised by the code of the password character aligned with it,
// the password repeating from its first character at cipher positions 1,
// Lp + 1, 2 Lp + 1 and so on. The cipher text carries its own password,
// which deciphering checks before it hands the text back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "quillfern/core/secret.hpp"

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

// What both cipher-text streams keep, their common base: the password, and the password
// repeated over a few kilobytes so that codes are combined over long
// stretches. Both are wiped on destruction; not copyable.
class RepeatedPassword {
 public:
  RepeatedPassword(const RepeatedPassword&) = delete;
  RepeatedPassword& operator=(const RepeatedPassword&) = delete;

 protected:
  explicit RepeatedPassword(std::string_view password);
  ~RepeatedPassword();

  std::string password_;
  SecretVector<unsigned char> key_;  // the password repeated
  std::size_t span_ = 0;             // a whole number of passwords, key_ has one more
  std::size_t consumed_ = 0;         // codes taken so far (of the text or the cipher text)
};

// EnCipherText over a text that arrives in pieces of any size, in order:
// begin() and the pieces together give exactly the cipher text of
// encipher_text on the whole text, cut at the same position. Memory does
// not grow with the text. Copies of the password are wiped on destruction.
class EnCipherStream : private RepeatedPassword {
 public:
  explicit EnCipherStream(std::string_view password) : RepeatedPassword(password) {}

  // no_password for an empty password (then nothing is ever produced),
  // otherwise done.
  [[nodiscard]] CipherVerdict verdict() const noexcept;
  // The password block, the start of the cipher text: writes up to the
  // password's length of codes to `out` (fewer when a password code of 128
  // or more cuts it) and returns how many. Call once, before process().
  std::size_t begin(char* out);
  // Enciphers the next `size` codes of the text into `out`, which has room
  // for `size` codes (it may be `in`); returns how many it wrote, fewer
  // once the cipher text is cut, and 0 from then on.
  std::size_t process(const char* in, std::size_t size, char* out);
  // The 1-based cipher position at which the cipher stopped, 0 while it
  // has not (as EnCipherResult::cut_at).
  [[nodiscard]] std::size_t cut_at() const noexcept { return cut_at_; }

 private:
  std::size_t cut_at_ = 0;
};

// DeCipherText's deciphering over a cipher text that arrives in pieces of
// any size, in order. The verdict is known as soon as the password block
// has been deciphered (or has failed to), and from then on the text after
// it comes out piece by piece: together exactly decipher_text's text,
// stopped at the same position. Memory does not grow with the text.
class DeCipherStream : private RepeatedPassword {
 public:
  explicit DeCipherStream(std::string_view password);
  ~DeCipherStream();

  // False while the password block is incomplete and could still match.
  [[nodiscard]] bool decided() const noexcept { return decided_; }
  // The verdict once decided (done while undecided).
  [[nodiscard]] CipherVerdict verdict() const noexcept { return verdict_; }
  // Deciphers the next `size` codes of the cipher text; writes the codes
  // of the text after the password block to `out`, which has room for
  // `size` codes (it may be `in`), and returns how many. Nothing comes out
  // unless the verdict is done, nor after a stop.
  std::size_t process(const char* in, std::size_t size, char* out);
  // The end of the cipher text: a password block still incomplete is
  // access_denied. Returns the final verdict.
  CipherVerdict finish() noexcept;
  // The 1-based cipher position at which a negative difference stopped
  // deciphering the text, 0 while none did (as DeCipherResult::stopped_at).
  [[nodiscard]] std::size_t stopped_at() const noexcept { return stopped_at_; }

 private:
  std::string head_;  // the password block deciphered so far
  bool decided_ = false;
  CipherVerdict verdict_ = CipherVerdict::done;
  std::size_t stopped_at_ = 0;
};

}  // namespace quillfern::ciphers
