#include "quillfern/ciphers/fastblowfish_stream.hpp"

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "quillfern/ciphers/fastblowfish_kernels.hpp"

namespace quillfern::ciphers {
namespace {

// The longest period kept in memory (twice over), how far a short one is
// repeated so that the kernel runs on long stretches, and the stretch of
// key bytes walked at a time beyond the longest.
constexpr std::size_t kept_period_most = std::size_t{4} << 20;
constexpr std::size_t repeated_most = std::size_t{64} << 10;
constexpr std::size_t walked_stretch = std::size_t{64} << 10;

}  // namespace

FastBlowFishStream::FastBlowFishStream(std::size_t length, std::string_view password)
    : length_(length) {
  const std::size_t blocks = (length + fast_blow_fish_block - 1) / fast_blow_fish_block;
  processed_ = blocks * fast_blow_fish_block;
  // The lookups repeat with the period of the password cursor and the
  // block position together; from the second period on every slot has
  // been set by its periodic lookups (or never is), so the key stream from
  // position period_ on repeats with period_. The first two periods are
  // walked and the second one is repeated to 64 KiB.
  const std::size_t n = password.size();
  const std::size_t cursor_period = n >= 3 ? n - 1 : 1;
  period_ = std::lcm(fast_blow_fish_block, cursor_period);
  const std::uint32_t key = fast_blow_fish_key(length, password);
  if (period_ > kept_period_most && processed_ > walked_stretch) {
    walker_ = std::make_unique<FastBlowFishKeyWalker>(password, key);
    keys_.resize(walked_stretch);
    return;
  }
  const std::size_t walked = std::min(processed_, 2 * period_);
  walked_ = detail::fast_blow_fish_key_stream(walked, password, key);
  // A period of 64 KiB or more is read where it was walked.
  if (walked < length_ && period_ < repeated_most) {
    const std::size_t copies = repeated_most / period_;
    repeated_.resize(copies * period_);
    for (std::size_t at = 0; at < repeated_.size(); at += period_) {
      std::copy_n(walked_.begin() + static_cast<std::ptrdiff_t>(period_), period_,
                  repeated_.begin() + static_cast<std::ptrdiff_t>(at));
    }
  }
}

// The key stream's buffers wipe themselves when they go.
FastBlowFishStream::~FastBlowFishStream() = default;

std::uint8_t FastBlowFishStream::key_at(std::size_t t) const noexcept {
  if (walker_) return keys_[t - length_];  // a fill position, just walked
  return t < walked_.size() ? walked_[t] : walked_[period_ + (t - period_) % period_];
}

std::size_t FastBlowFishStream::process(const char* in_text, std::size_t size, char* out_text,
                                        const ZeroNotice& on_zero) {
  if (size > length_ - consumed_) {
    throw std::length_error("FastBlowFish stream: more codes than the length it was given");
  }
  const auto* in = reinterpret_cast<const std::uint8_t*>(in_text);
  auto* out = reinterpret_cast<std::uint8_t*>(out_text);
  if (walker_) return process_walking(in, size, out, on_zero);
  const cpu::Kernel kernel = detail::fast_blow_fish_kernel();
  const std::size_t walked = walked_.size();
  std::size_t zeros = 0;
  for (std::size_t done = 0; done < size;) {
    const std::size_t t = consumed_ + done;
    const std::uint8_t* key = nullptr;
    std::size_t count = size - done;
    if (t < walked) {
      key = walked_.data() + t;
      count = std::min(count, walked - t);
    } else {
      const bool copied = !repeated_.empty();
      const std::uint8_t* repeat = copied ? repeated_.data() : walked_.data() + period_;
      const std::size_t repeat_size = copied ? repeated_.size() : period_;
      const std::size_t offset = (t - walked) % repeat_size;
      key = repeat + offset;
      count = std::min(count, repeat_size - offset);
    }
    zeros += detail::xor_with_key(kernel, in + done, key, out + done, count, t + 1, on_zero);
    done += count;
  }
  consumed_ += size;
  zeros_ += zeros;
  return zeros;
}

std::size_t FastBlowFishStream::process_walking(const std::uint8_t* in, std::size_t size, std::uint8_t* out,
                                                const ZeroNotice& on_zero) {
  const cpu::Kernel kernel = detail::fast_blow_fish_kernel();
  std::size_t zeros = 0;
  for (std::size_t done = 0; done < size;) {
    const std::size_t count = std::min(keys_.size(), size - done);
    walker_->walk(keys_.data(), count);
    zeros += detail::xor_with_key(kernel, in + done, keys_.data(), out + done, count, consumed_ + done + 1, on_zero);
    done += count;
  }
  consumed_ += size;
  zeros_ += zeros;
  return zeros;
}

std::size_t FastBlowFishStream::finish(const ZeroNotice& on_zero) {
  // Fill positions hold spaces; their results are dropped, but a zero
  // among them is still told. A walker is walked on to them first.
  if (walker_ && length_ < processed_) {
    for (std::size_t t = consumed_; t < length_;) {
      const std::size_t count = std::min(keys_.size(), length_ - t);
      walker_->walk(keys_.data(), count);
      t += count;
    }
    walker_->walk(keys_.data(), processed_ - length_);
  }
  std::size_t zeros = 0;
  for (std::size_t t = length_; t < processed_; ++t) {
    if ((32 ^ key_at(t)) == 0) {
      ++zeros;
      if (on_zero) on_zero(t + 1);
    }
  }
  processed_ = length_;  // told once
  zeros_ += zeros;
  return zeros;
}

}  // namespace quillfern::ciphers
