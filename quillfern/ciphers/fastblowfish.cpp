// FastBlowFish: the key stream walked for two periods and reused after
// them, combined with the text through the exclusive-or kernel of the
// processor's level (the portable one here, the AVX2 one in
// fastblowfish_avx2.cpp).
#include <algorithm>
#include <array>
#include <numeric>
#include <span>
#include <vector>

#include "quillfern/ciphers/fastblowfish_kernels.hpp"
#include "quillfern/ciphers/key_tables.hpp"
#include "quillfern/core/secret.hpp"

namespace quillfern::ciphers {
namespace {

// The code at 1-based `position` of `table`, or `keep` when there is none.
inline std::uint32_t lookup_or(std::span<const std::uint8_t> table, std::uint32_t position,
                               std::uint32_t keep) noexcept {
  return (position >= 1 && position <= table.size()) ? table[position - 1] : keep;
}

// Key bytes of processed positions 0 .. count-1 (0-based).
SecretBytes walk_key_stream(std::size_t count, std::string_view password, std::uint32_t password_key) {
  SecretBytes stream(count);
  FastBlowFishKeyWalker(password, password_key).walk(stream.data(), count);
  return stream;
}

}  // namespace

std::uint32_t fast_blow_fish_key(std::size_t text_length, std::string_view password) noexcept {
  // K starts as the length and takes every code and the length mod 256 in
  // turn; only its low eight bits change, so 64 bits never overflow.
  std::uint64_t key = password.size();
  const std::uint64_t length_byte = text_length % 256;
  for (char ch : password) key = (key ^ static_cast<unsigned char>(ch)) ^ length_byte;
  return static_cast<std::uint32_t>((2 * key) % 513);
}

namespace detail {

cpu::Kernel fast_blow_fish_kernel() noexcept {
  static const cpu::Kernel chosen = cpu::pick(xor_kernels, cpu::kernel_level());
  return chosen;
}

std::size_t xor_portable(const std::uint8_t* in, const std::uint8_t* key, std::uint8_t* out,
                         std::size_t count, std::size_t first_position, const ZeroNotice& on_zero) {
  std::size_t zeros = 0;
  std::size_t i = 0;
  // Eight codes at a time; a word with a zero byte is looked at byte by byte.
  for (; i + 8 <= count; i += 8) {
    std::uint64_t x = 0;
    std::uint64_t k = 0;
    std::copy_n(in + i, 8, reinterpret_cast<std::uint8_t*>(&x));
    std::copy_n(key + i, 8, reinterpret_cast<std::uint8_t*>(&k));
    x ^= k;
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&x), 8, out + i);
    constexpr std::uint64_t low = 0x0101010101010101u, high = 0x8080808080808080u;
    if (((x - low) & ~x & high) != 0) {
      for (std::size_t b = i; b < i + 8; ++b) {
        if (out[b] == 0) {
          ++zeros;
          if (on_zero) on_zero(first_position + b);
        }
      }
    }
  }
  for (; i < count; ++i) {
    out[i] = static_cast<std::uint8_t>(in[i] ^ key[i]);
    if (out[i] == 0) {
      ++zeros;
      if (on_zero) on_zero(first_position + i);
    }
  }
  return zeros;
}

namespace {

// Through a kernel the processor runs.
std::size_t xor_through(cpu::Kernel kernel, const std::uint8_t* in, const std::uint8_t* key,
                        std::uint8_t* out, std::size_t count, std::size_t first_position,
                        const ZeroNotice& on_zero) {
#if QUILLFERN_X86_KERNELS
  if (kernel == cpu::Kernel::avx2) return xor_avx2(in, key, out, count, first_position, on_zero);
#endif
  (void)kernel;
  return xor_portable(in, key, out, count, first_position, on_zero);
}

}  // namespace

std::size_t xor_with_key(cpu::Kernel kernel, const std::uint8_t* in, const std::uint8_t* key,
                         std::uint8_t* out, std::size_t count, std::size_t first_position,
                         const ZeroNotice& on_zero) {
  return xor_through(cpu::pick(xor_kernels, kernel), in, key, out, count, first_position, on_zero);
}

std::string fast_blow_fish(cpu::Kernel kernel, std::string_view text, std::string_view password,
                           const ZeroNotice& on_zero) {
  const std::size_t length = text.size();
  if (length == 0) return {};
  const std::size_t blocks = (length + fast_blow_fish_block - 1) / fast_blow_fish_block;
  const std::size_t processed = blocks * fast_blow_fish_block;  // fill positions included

  // The password cursor repeats every max(1, n - 1) positions and the block
  // position every 128, so the lookups repeat with the period P below. A
  // slot keeps the code of its last lookup that found one; from the second
  // period on every slot has been set by its periodic lookups (or never
  // is), so the key stream from position P on repeats with period P. The
  // first 2P positions are walked step by step and the rest reuse the
  // second period.
  const std::size_t n = password.size();
  const std::size_t cursor_period = n >= 3 ? n - 1 : 1;
  const std::size_t period = std::lcm(fast_blow_fish_block, cursor_period);
  const std::size_t walked = std::min(processed, 2 * period);
  const SecretBytes stream =
      walk_key_stream(walked, password, fast_blow_fish_key(length, password));
  auto key_at = [&](std::size_t t) {
    return t < walked ? stream[t] : stream[period + (t - period) % period];
  };

  // The result is built by appending stretches combined in a small buffer,
  // which spares a first pass that would only clear it.
  std::string result;
  result.reserve(length);
  // The key stream, the repeated period and the buffer of combined bytes
  // wipe themselves on every way out, a notice that throws included.
  SecretBytes buffer(4096);
  const auto* in = reinterpret_cast<const std::uint8_t*>(text.data());
  const cpu::Kernel chosen = cpu::pick(xor_kernels, kernel);
  auto combine = [&](std::size_t at, const std::uint8_t* key, std::size_t count) {
    xor_through(chosen, in + at, key, buffer.data(), count, at + 1, on_zero);
    result.append(reinterpret_cast<const char*>(buffer.data()), count);
  };
  const std::size_t head = std::min(length, walked);
  for (std::size_t t = 0; t < head; t += buffer.size()) {
    combine(t, stream.data() + t, std::min(buffer.size(), head - t));
  }

  if (head < length) {
    // Positions 2P onward start the second period afresh. Repeat it to a
    // few kilobytes so that the kernel runs on long stretches.
    const std::size_t copies = std::max<std::size_t>(1, 4096 / period);
    SecretBytes repeated(std::min(copies * period, length - head));
    for (std::size_t at = 0; at < repeated.size(); at += period) {
      std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(period),
                  std::min(period, repeated.size() - at),
                  repeated.begin() + static_cast<std::ptrdiff_t>(at));
    }
    for (std::size_t t = head; t < length;) {
      const std::size_t offset = (t - head) % repeated.size();
      const std::size_t count =
          std::min({buffer.size(), repeated.size() - offset, length - t});
      combine(t, repeated.data() + offset, count);
      t += count;
    }
  }

  // Fill positions hold spaces; their results are dropped, but a zero
  // among them is still told.
  if (on_zero) {
    for (std::size_t t = length; t < processed; ++t) {
      if ((32 ^ key_at(t)) == 0) on_zero(t + 1);
    }
  }
  return result;
}

}  // namespace detail

std::string fast_blow_fish(std::string_view text, std::string_view password,
                           const ZeroNotice& on_zero) {
  return detail::fast_blow_fish(detail::fast_blow_fish_kernel(), text, password, on_zero);
}

}  // namespace quillfern::ciphers

namespace quillfern::ciphers {

FastBlowFishKeyWalker::FastBlowFishKeyWalker(std::string_view password, std::uint32_t password_key)
    : password_(password.begin(), password.end()), password_key_(password_key) {}

void FastBlowFishKeyWalker::walk(std::uint8_t* out, std::size_t count) noexcept {
  const std::span<const std::uint8_t> t1 = key_table(1), t2 = key_table(2), t3 = key_table(3),
                                      t4 = key_table(4), t5 = key_table(5), t6 = key_table(6),
                                      t7 = key_table(7), t8 = key_table(8);
  const std::size_t n = password_.size();
  // The password cursor, the lookup index and the four slots, exactly as
  // the cipher walks them, with the password key folded in.
  std::size_t cursor = cursor_;
  std::uint32_t index = index_;  // stays 0 throughout with an empty password
  std::uint32_t a = a_, b = b_, c = c_, d = d_;
  for (std::size_t i = 0; i < count; ++i) {
    const auto j = static_cast<std::uint32_t>((position_ + i) % fast_blow_fish_block) + 1;
    // The wrap is tested on cursor + 1, so with three or more characters the
    // cursor never reaches the last one.
    ++cursor;
    if (cursor + 1 > n) cursor = 1;
    if (n != 0) index = 2 * j + password_[cursor - 1];
    a = lookup_or(t1, index, a);
    b = lookup_or(t2, index + 1, b);
    c = lookup_or(t3, index + 2, c);
    d = lookup_or(t4, index + 3, d);
    const std::uint32_t first_mix = (a + b) ^ ((d + c) % 256);
    index %= 256;
    a = lookup_or(t5, index + 7, a);
    b = lookup_or(t6, index + 2, b);
    c = lookup_or(t7, index + 4, c);
    d = lookup_or(t8, index + 9, d);
    const std::uint32_t second_mix = (a + b) ^ ((d + c) % 256);
    out[i] = static_cast<std::uint8_t>((password_key_ ^ first_mix ^ second_mix) % 256);
  }
  position_ += count;
  cursor_ = cursor;
  index_ = index;
  a_ = a, b_ = b, c_ = c, d_ = d;
}

}  // namespace quillfern::ciphers

namespace quillfern::ciphers::detail {

SecretBytes fast_blow_fish_key_stream(std::size_t count, std::string_view password,
                                                    std::uint32_t password_key) {
  return walk_key_stream(count, password, password_key);
}

}  // namespace quillfern::ciphers::detail
