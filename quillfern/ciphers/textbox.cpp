#include "quillfern/ciphers/textbox.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

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

TextBoxStream::TextBoxStream(Direction direction, std::uint64_t key)
    : move_(moves(direction, key)) {
  bytewise_ = std::all_of(move_.begin(), move_.end(),
                          [](std::int64_t m) { return m >= -255 && m <= 255; });
  for (std::size_t i = 0; i < add_.size(); ++i) {
    const std::int64_t m = move_[(i + 1) % 6];
    add_[i] = static_cast<unsigned char>(m > 0 ? m : 0);
    take_[i] = static_cast<unsigned char>(m < 0 ? -m : 0);
    moves_[i] = static_cast<std::int16_t>(m);
  }
}

std::size_t TextBoxStream::process(const char* in_text, std::size_t size, char* out_text) {
  const auto* in = reinterpret_cast<const unsigned char*>(in_text);
  auto* out = reinterpret_cast<unsigned char*>(out_text);
  std::size_t written = 0;
  // Code by code, dropping codes that leave 0..255, without a branch per
  // code: every result is stored and only the kept ones move the output on.
  auto one_by_one = [&](const unsigned char* src, std::size_t count, std::size_t first) {
    const std::int16_t* move = moves_.data() + first % pattern_length;
    const std::size_t written_before = written;
    // The output may be the input: it never runs ahead of it, and the
    // first drop is noted on the way rather than looked for afterwards.
    std::size_t first_drop = count;
    for (std::size_t i = 0; i < count; ++i) {
      const int y = src[i] + move[i];
      const bool kept = static_cast<unsigned>(y) <= 255u;
      out[written] = static_cast<unsigned char>(y);
      written += kept ? 1 : 0;
      first_drop = (!kept && first_drop == count) ? i : first_drop;
    }
    if (first_drop != count) {
      dropped_ += count - (written - written_before);
      if (first_dropped_ == 0) first_dropped_ = first + first_drop + 1;
    }
  };
  if (!bytewise_) {
    for (std::size_t done = 0; done < size;) {
      const std::size_t count = std::min(pattern_length, size - done);
      one_by_one(in + done, count, consumed_);
      consumed_ += count;
      done += count;
    }
    return written;
  }
  for (std::size_t done = 0; done < size;) {
    const std::size_t offset = consumed_ % pattern_length;
    const std::size_t count = std::min(pattern_length, size - done);
    const unsigned char* src = in + done;
    const unsigned char* add = add_.data() + offset;
    const unsigned char* take = take_.data() + offset;
    // A code leaves 0..255 exactly when the addition carries or the
    // subtraction borrows; such a stretch is redone code by code from its
    // input, which is why the codes go to a small buffer first (the output
    // may be the input).
    std::array<unsigned char, pattern_length> to;
    unsigned char bad = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const auto up = static_cast<unsigned char>(src[i] + add[i]);
      const auto y = static_cast<unsigned char>(up - take[i]);
      bad |= static_cast<unsigned char>((up < src[i]) | (up < take[i]));
      to[i] = y;
    }
    if (bad == 0) {
      std::memmove(out + written, to.data(), count);
      written += count;
    } else {
      one_by_one(src, count, consumed_);
    }
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
