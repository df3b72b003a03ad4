#include "quillfern/ciphers/cipher_text.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "quillfern/core/secret.hpp"

namespace quillfern::ciphers {
namespace {

enum class Direction { add, subtract };

// The password repeated into one buffer of a few kilobytes (a whole number
// of copies, unless the text is shorter), so that the codes are combined
// over long stretches instead of one password character at a time.
class RepeatedPassword {
 public:
  RepeatedPassword(std::string_view password, std::size_t needed) {
    const std::size_t copies = std::max<std::size_t>(1, 16384 / password.size());
    codes_.resize(std::min(copies * password.size(), needed));
    for (std::size_t at = 0; at < codes_.size(); at += password.size()) {
      std::memcpy(codes_.data() + at, password.data(), std::min(password.size(), codes_.size() - at));
    }
  }
  RepeatedPassword(const RepeatedPassword&) = delete;
  RepeatedPassword& operator=(const RepeatedPassword&) = delete;
  [[nodiscard]] const unsigned char* data() const noexcept { return codes_.data(); }
  [[nodiscard]] std::size_t size() const noexcept { return codes_.size(); }

 private:
  SecretVector<unsigned char> codes_;  // wiped when it goes
};

// out[i] = in[i] +/- the password code aligned with i (the password starting
// at i = 0), up to the first code that leaves 0..255. Returns how many codes
// were combined: `count` when none left the range.
template <Direction direction>
std::size_t combine(const unsigned char* in, std::size_t count, const RepeatedPassword& key,
                    unsigned char* out) {
  for (std::size_t start = 0; start < count; start += key.size()) {
    const std::size_t length = std::min(key.size(), count - start);
    const unsigned char* src = in + start;
    const unsigned char* k = key.data();
    unsigned char* to = out + start;
    unsigned char bad = 0;
    for (std::size_t i = 0; i < length; ++i) {
      if constexpr (direction == Direction::add) {
        const auto y = static_cast<unsigned char>(src[i] + k[i]);
        bad |= static_cast<unsigned char>(y < src[i]);  // the sum passed 255
        to[i] = y;
      } else {
        bad |= static_cast<unsigned char>(src[i] < k[i]);  // the difference is negative
        to[i] = static_cast<unsigned char>(src[i] - k[i]);
      }
    }
    if (bad != 0) {
      std::size_t i = 0;
      if constexpr (direction == Direction::add) {
        while (src[i] + k[i] <= 255) ++i;
      } else {
        while (src[i] >= k[i]) ++i;
      }
      return start + i;
    }
  }
  return count;
}

const unsigned char* bytes(std::string_view text) noexcept {
  return reinterpret_cast<const unsigned char*>(text.data());
}

// Both ciphers refuse an empty password before anything else.
template <typename Result>
Result refused_without_password() {
  Result result;
  result.verdict = CipherVerdict::no_password;
  return result;
}

}  // namespace

EnCipherResult encipher_text(std::string_view text, std::string_view password) {
  if (password.empty()) return refused_without_password<EnCipherResult>();
  EnCipherResult result;
  const std::size_t lp = password.size();
  result.text.resize(lp + text.size());
  auto* out = reinterpret_cast<unsigned char*>(result.text.data());
  const RepeatedPassword key(password, std::max(lp, text.size()));
  // The password block is the password plus itself; the message block
  // starts the password again from its first character.
  std::size_t done = combine<Direction::add>(bytes(password), lp, key, out);
  if (done == lp) done += combine<Direction::add>(bytes(text), text.size(), key, out + lp);
  if (done < result.text.size()) {
    result.cut_at = done + 1;
    result.text.resize(done);
  }
  return result;
}

DeCipherResult decipher_text(std::string_view cipher, std::string_view password) {
  if (password.empty()) return refused_without_password<DeCipherResult>();
  DeCipherResult result;
  const std::size_t lp = password.size();
  const RepeatedPassword key(password, std::max(lp, cipher.size()));
  // Accepted exactly when the deciphered text begins with the password:
  // the password block must decipher completely and equal it.
  SecretString head;
  head.resize(std::min(lp, cipher.size()));
  const std::size_t head_done =
      combine<Direction::subtract>(bytes(cipher), head.size(), key,
                                   reinterpret_cast<unsigned char*>(head.data()));
  const bool accepted = head_done == lp && head.view() == password;
  if (!accepted) {
    result.verdict = CipherVerdict::access_denied;
    return result;
  }
  const std::string_view message = cipher.substr(lp);
  result.text.resize(message.size());
  const std::size_t done = combine<Direction::subtract>(
      bytes(message), message.size(), key, reinterpret_cast<unsigned char*>(result.text.data()));
  if (done < message.size()) {
    result.stopped_at = lp + done + 1;
    result.text.resize(done);
  }
  return result;
}

}  // namespace quillfern::ciphers
