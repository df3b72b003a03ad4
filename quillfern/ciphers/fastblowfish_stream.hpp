// FastBlowFish over a text that arrives in pieces of any size, in order.
// The key stream depends on the text's whole length, so the stream is told
// it first; the pieces together then give exactly the codes and the zero
// results of fast_blow_fish on the whole text, in memory that does not
// grow with the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "quillfern/ciphers/fastblowfish.hpp"
#include "quillfern/core/secret.hpp"

namespace quillfern::ciphers {

class FastBlowFishKeyWalker;

// Memory: at most about 8 MiB for any password. A key stream that repeats
// within 4 MiB (a password of up to 32,769 characters) is kept for two
// periods; a longer one is walked as the text comes, 64 KiB at a time.
class FastBlowFishStream {
 public:
  // A text of `length` codes under `password` (any length, empty included).
  FastBlowFishStream(std::size_t length, std::string_view password);
  ~FastBlowFishStream();
  FastBlowFishStream(const FastBlowFishStream&) = delete;
  FastBlowFishStream& operator=(const FastBlowFishStream&) = delete;

  // Enciphers or deciphers the next `size` codes into `out`, which has room
  // for `size` codes (it may be `in`). Returns how many results were code 0;
  // `on_zero`, when set, is told each of their 1-based positions in order
  // (leave it unset where a count is enough: that is the fast path).
  // Throws std::length_error, changing nothing, for codes past the length.
  std::size_t process(const char* in, std::size_t size, char* out, const ZeroNotice& on_zero = {});

  // After the whole text: the zero results at the fill positions of the
  // last block, told to `on_zero` like those of process(); returns how many.
  std::size_t finish(const ZeroNotice& on_zero = {});

  [[nodiscard]] std::size_t length() const noexcept { return length_; }
  [[nodiscard]] std::size_t consumed() const noexcept { return consumed_; }
  // Zero results so far, fill positions included once finish() ran.
  [[nodiscard]] std::size_t zeros() const noexcept { return zeros_; }

 private:
  [[nodiscard]] std::uint8_t key_at(std::size_t t) const noexcept;
  std::size_t process_walking(const std::uint8_t* in, std::size_t size, std::uint8_t* out,
                              const ZeroNotice& on_zero);

  std::size_t length_;
  std::size_t processed_;  // the length up to whole blocks
  std::size_t period_;     // the key stream repeats with it from position period_ on
  SecretBytes walked_;                 // the first positions, step by step
  SecretBytes repeated_;               // one period from walked_.size() on, repeated
  std::unique_ptr<FastBlowFishKeyWalker> walker_;  // a long period: walked as the text comes
  SecretBytes keys_;                           // its key bytes, a stretch at a time
  std::size_t consumed_ = 0;
  std::size_t zeros_ = 0;
};

}  // namespace quillfern::ciphers
