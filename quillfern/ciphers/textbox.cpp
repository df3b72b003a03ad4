#include "quillfern/ciphers/textbox.hpp"

#include "quillfern/ciphers/textbox_kernels.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace quillfern::ciphers {
namespace {

using Direction = TextBoxStream::Direction;

// Every code moves by at most K + 7, so from K = 263 on no code stays in
// 0..255; larger keys act alike and are capped here to keep the arithmetic
// small.
constexpr std::uint64_t key_cap = 1000;

// The net move of a code at each phase (index 0..5), steps 3 and 4 of the
// transform together.
std::array<std::int64_t, 6> moves(Direction direction, std::uint64_t key) {
  const auto k = static_cast<std::int64_t>(std::min(key, key_cap));
  // Phase 0 (every sixth character), then phases 1 to 5.
  std::array<std::int64_t, 6> crypt = {-k + 2, k - 4, -k + 6, k + 1, -k + 7, k};
  if (direction == Direction::decrypt) {
    for (auto& move : crypt) move = -move;
  }
  return crypt;
}

TextBoxResult run(Direction direction, std::string_view text, std::uint64_t key) {
  TextBoxResult result;
  if (text.empty()) return result;
  TextBoxStream stream(direction, key);
  std::string out(text.size(), '\0');
  const std::size_t written = stream.process(text.data(), text.size(), out.data());
  result.dropped = stream.dropped();
  result.first_dropped = stream.first_dropped();
  if (written != 0) {
    out.resize(written);
    result.text = std::move(out);
  }
  return result;
}

// Through the kernel chosen for the stream.
std::size_t pack(cpu::Kernel kernel, const std::uint8_t* in, const std::uint8_t* add, const std::uint8_t* take,
                 std::size_t count, std::uint8_t* out, std::size_t& first_drop) noexcept {
#if QUILLFERN_X86_KERNELS
  if (kernel == cpu::Kernel::avx2) return detail::text_box_avx2(in, add, take, count, out, first_drop);
  if (kernel == cpu::Kernel::ssse3) return detail::text_box_ssse3(in, add, take, count, out, first_drop);
#else
  (void)kernel;
#endif
  return detail::text_box_portable(in, add, take, count, out, first_drop);
}

}  // namespace

std::uint64_t text_box_key_of_sum(std::uint64_t code_sum) noexcept {
  // The control's arithmetic: the sum times the double nearest 0.1, the
  // product divided by 6, rounded down. It can differ from sum / 60 for
  // huge sums, which is why it is kept in this order.
  const double key = std::floor((static_cast<double>(code_sum) * 0.1) / 6.0);
  return static_cast<std::uint64_t>(key);
}

std::uint64_t text_box_key(std::string_view password) noexcept {
  std::uint64_t sum = 0;
  for (char ch : password) sum += static_cast<unsigned char>(ch);
  return text_box_key_of_sum(sum);
}

std::string text_box_key_text(std::uint64_t key) { return std::to_string(key); }

std::uint64_t text_box_read_key(std::string_view text) noexcept {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  std::uint64_t key = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), key);
  if (ec != std::errc{} || end != text.data() + text.size()) return 0;
  return key;
}

namespace detail {

cpu::Kernel text_box_kernel() noexcept {
  static const cpu::Kernel chosen = cpu::pick(text_box_kernels, cpu::kernel_level());
  return chosen;
}

std::size_t text_box_portable(const std::uint8_t* in, const std::uint8_t* add, const std::uint8_t* take,
                              std::size_t count, std::uint8_t* out, std::size_t& first_drop) noexcept {
  // Every result is stored and only the kept ones move the output on; the
  // output never runs ahead of the input, so it may be the input.
  std::size_t written = 0;
  std::size_t first = count;
  for (std::size_t i = 0; i < count; ++i) {
    const int y = in[i] + add[i] - take[i];
    const bool kept = static_cast<unsigned>(y) <= 255u;
    out[written] = static_cast<std::uint8_t>(y);
    written += kept ? 1 : 0;
    first = (!kept && first == count) ? i : first;
  }
  first_drop = first;
  return written;
}

}  // namespace detail

void TextBoxKernels::use(TextBoxStream& stream, cpu::Kernel kernel) noexcept {
  stream.level_ = static_cast<unsigned char>(cpu::pick(detail::text_box_kernels, kernel));
}

cpu::Kernel TextBoxKernels::used(const TextBoxStream& stream) noexcept {
  return static_cast<cpu::Kernel>(stream.level_);
}

TextBoxStream::TextBoxStream(Direction direction, std::uint64_t key)
    : level_(static_cast<unsigned char>(detail::text_box_kernel())) {
  const std::array<std::int64_t, 6> move = moves(direction, key);
  bytewise_ = std::all_of(move.begin(), move.end(), [](std::int64_t m) { return m >= -255 && m <= 255; });
  for (std::size_t phase = 0; phase < moves_.size(); ++phase) moves_[phase] = static_cast<std::int16_t>(move[phase]);
  if (!bytewise_) return;
  for (std::size_t i = 0; i < add_.size(); ++i) {
    const std::int64_t m = move[(i + 1) % 6];
    add_[i] = static_cast<unsigned char>(m > 0 ? m : 0);
    take_[i] = static_cast<unsigned char>(m < 0 ? -m : 0);
  }
}

std::size_t TextBoxStream::process(const char* in_text, std::size_t size, char* out_text) {
  const auto* in = reinterpret_cast<const std::uint8_t*>(in_text);
  auto* out = reinterpret_cast<std::uint8_t*>(out_text);
  std::size_t written = 0;
  for (std::size_t done = 0; done < size;) {
    const std::size_t count = std::min(pattern_length, size - done);
    std::size_t kept = 0;
    std::size_t first = count;
    if (bytewise_) {
      const std::size_t offset = consumed_ % pattern_length;
      kept = pack(static_cast<cpu::Kernel>(level_), in + done, add_.data() + offset, take_.data() + offset, count, out + written, first);
    } else {
      // Moves of 255 or more: code by code, as the portable kernel does.
      for (std::size_t i = 0; i < count; ++i) {
        const int y = in[done + i] + moves_[(consumed_ + i + 1) % 6];
        const bool keep = static_cast<unsigned>(y) <= 255u;
        out[written + kept] = static_cast<std::uint8_t>(y);
        kept += keep ? 1 : 0;
        first = (!keep && first == count) ? i : first;
      }
    }
    dropped_ += count - kept;
    if (first_dropped_ == 0 && first != count) first_dropped_ = consumed_ + first + 1;
    written += kept;
    consumed_ += count;
    done += count;
  }
  return written;
}

TextBoxResult text_box_crypt(std::string_view text, std::uint64_t key) {
  return run(Direction::crypt, text, key);
}

TextBoxResult text_box_decrypt(std::string_view text, std::uint64_t key) {
  return run(Direction::decrypt, text, key);
}

}  // namespace quillfern::ciphers
