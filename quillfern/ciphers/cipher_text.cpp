#include "quillfern/ciphers/cipher_text.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "quillfern/core/secret.hpp"
#include "quillfern/platform/secure_memory.hpp"

namespace quillfern::ciphers {
namespace {

enum class Direction { add, subtract };

// The password repeated into one buffer of a few kilobytes, so that the
// codes are combined over long stretches instead of one password character
// at a time: `span` codes (a whole number of passwords, no more than the
// text needs) plus one more password, so that a stretch may start at any
// password position. Returns span.
std::size_t repeat_password(std::string_view password, std::size_t needed,
                            SecretVector<unsigned char>& codes) {
  const std::size_t lp = password.size();
  const std::size_t copies = std::max<std::size_t>(1, 16384 / lp);
  const std::size_t needed_copies = std::max<std::size_t>(1, (needed + lp - 1) / lp);
  const std::size_t span = std::min(copies, needed_copies) * lp;
  codes.resize(span + lp);
  for (std::size_t at = 0; at < codes.size(); at += lp) {
    std::memcpy(codes.data() + at, password.data(), lp);
  }
  return span;
}

// out[i] = in[i] +/- the password code aligned with i, the password at
// position `offset` for i = 0, up to the first code that leaves 0..255.
// Returns how many codes were combined: `count` when none left the range.
template <Direction direction>
std::size_t combine(const unsigned char* in, std::size_t count, const SecretVector<unsigned char>& key,
                    std::size_t span, std::size_t offset, unsigned char* out) {
  const unsigned char* k = key.data() + offset;
  for (std::size_t start = 0; start < count; start += span) {
    const std::size_t length = std::min(span, count - start);
    const unsigned char* src = in + start;
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
      // The output may be the input, so the stop is found from the
      // output: a sum passed 255 exactly when the wrapped result is below
      // the key code, a difference was negative exactly when the wrapped
      // result plus the key code passes 255.
      std::size_t i = 0;
      if constexpr (direction == Direction::add) {
        while (to[i] >= k[i]) ++i;
      } else {
        while (to[i] + k[i] <= 255) ++i;
      }
      return start + i;
    }
  }
  return count;
}

const unsigned char* bytes(const char* text) noexcept {
  return reinterpret_cast<const unsigned char*>(text);
}
unsigned char* bytes(char* text) noexcept { return reinterpret_cast<unsigned char*>(text); }

// Both ciphers refuse an empty password before anything else.
template <typename Result>
Result refused_without_password() {
  Result result;
  result.verdict = CipherVerdict::no_password;
  return result;
}

}  // namespace

RepeatedPassword::RepeatedPassword(std::string_view password) : password_(password) {
  if (!password_.empty()) span_ = repeat_password(password_, std::size_t{1} << 20, key_);
}

RepeatedPassword::~RepeatedPassword() { platform::secure_wipe(password_); }

CipherVerdict EnCipherStream::verdict() const noexcept {
  return password_.empty() ? CipherVerdict::no_password : CipherVerdict::done;
}

std::size_t EnCipherStream::begin(char* out) {
  if (password_.empty()) return 0;
  // The password block is the password plus itself.
  const std::size_t lp = password_.size();
  const std::size_t done = combine<Direction::add>(bytes(password_.data()), lp, key_, span_, 0, bytes(out));
  if (done < lp) cut_at_ = done + 1;
  return done;
}

std::size_t EnCipherStream::process(const char* in, std::size_t size, char* out) {
  if (password_.empty() || cut_at_ != 0) return 0;
  // The message block starts the password again from its first character.
  const std::size_t lp = password_.size();
  const std::size_t done =
      combine<Direction::add>(bytes(in), size, key_, span_, consumed_ % lp, bytes(out));
  if (done < size) cut_at_ = lp + consumed_ + done + 1;
  consumed_ += done;
  return done;
}

DeCipherStream::DeCipherStream(std::string_view password) : RepeatedPassword(password) {
  if (password_.empty()) {
    decided_ = true;
    verdict_ = CipherVerdict::no_password;
    return;
  }
  head_.reserve(password_.size());
}

DeCipherStream::~DeCipherStream() { platform::secure_wipe(head_); }

std::size_t DeCipherStream::process(const char* in, std::size_t size, char* out) {
  const std::size_t lp = password_.size();
  if (!decided_) {
    // Accepted exactly when the deciphered text begins with the password:
    // the password block must decipher completely and equal it.
    const std::size_t take = std::min(size, lp - head_.size());
    const std::size_t at = head_.size();
    head_.resize(at + take);
    const std::size_t done =
        combine<Direction::subtract>(bytes(in), take, key_, span_, at, bytes(head_.data() + at));
    consumed_ += take;
    in += take;
    size -= take;
    if (done < take || head_.compare(0, head_.size(), password_, 0, head_.size()) != 0) {
      decided_ = true;
      verdict_ = CipherVerdict::access_denied;
    } else if (head_.size() == lp) {
      decided_ = true;
    }
    if (decided_) platform::secure_wipe(head_);
    if (!decided_) return 0;
  }
  if (verdict_ != CipherVerdict::done || stopped_at_ != 0 || size == 0) return 0;
  const std::size_t done =
      combine<Direction::subtract>(bytes(in), size, key_, span_, consumed_ % lp, bytes(out));
  if (done < size) stopped_at_ = consumed_ + done + 1;
  consumed_ += done;
  return done;
}

CipherVerdict DeCipherStream::finish() noexcept {
  if (!decided_) {
    decided_ = true;
    verdict_ = CipherVerdict::access_denied;
    platform::secure_wipe(head_);
  }
  return verdict_;
}

EnCipherResult encipher_text(std::string_view text, std::string_view password) {
  if (password.empty()) return refused_without_password<EnCipherResult>();
  EnCipherResult result;
  EnCipherStream stream(password);
  if (stream.verdict() == CipherVerdict::no_password) {
    result.verdict = CipherVerdict::no_password;
    return result;
  }
  const std::size_t lp = password.size();
  result.text.resize(lp + text.size());
  std::size_t done = stream.begin(result.text.data());
  done += stream.process(text.data(), text.size(), result.text.data() + lp);
  result.cut_at = stream.cut_at();
  result.text.resize(done);
  return result;
}

DeCipherResult decipher_text(std::string_view cipher, std::string_view password) {
  if (password.empty()) return refused_without_password<DeCipherResult>();
  DeCipherResult result;
  DeCipherStream stream(password);
  result.text.resize(cipher.size());
  const std::size_t done = stream.process(cipher.data(), cipher.size(), result.text.data());
  result.verdict = stream.finish();
  if (result.verdict != CipherVerdict::done) {
    platform::secure_wipe(result.text);
    result.text.clear();
    return result;
  }
  result.text.resize(done);
  result.stopped_at = stream.stopped_at();
  return result;
}

}  // namespace quillfern::ciphers
