// The text-box cipher: the password is boiled down to one key number, and
// every code moves up or down by an amount made of the key number, a fixed
// offset and a phase that runs through a cycle of six. TextBoxDeCrypt
// undoes TextBoxCrypt for the same key number. A code that would leave
// 0..255 is dropped, so the result may be shorter than the text, or have
// no character at all.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillfern::ciphers {

// The key number of a password: floor((code sum * 0.1) / 6) in double
// precision, in that order. For every code sum below 10,000,000 this is
// the code sum divided by 60, rounded down. Never throws.
[[nodiscard]] std::uint64_t text_box_key(std::string_view password) noexcept;

// The key number of a code sum, by the same double-precision steps.
[[nodiscard]] std::uint64_t text_box_key_of_sum(std::uint64_t code_sum) noexcept;

// The decimal text of a key number: digits only ("0" for 0).
[[nodiscard]] std::string text_box_key_text(std::uint64_t key);

// A key number read back from its decimal text, as the control does after
// overwriting Password with it. Leading and trailing blanks are ignored;
// a text that is not a whole number of 0 or more reads as 0 (it cannot
// arise from text_box_key_text).
[[nodiscard]] std::uint64_t text_box_read_key(std::string_view text) noexcept;

// The outcome of one text-box call.
struct TextBoxResult {
  // No value when no character was produced (an empty text, or every code
  // dropped), which differs from an empty text.
  std::optional<std::string> text;
  std::size_t dropped = 0;        // codes left out because they left 0..255
  std::size_t first_dropped = 0;  // 1-based position of the first of them, 0 if none
};

// Scrambles `text` under key number `key`: at phase 1, 2, 3, 4, 5, 0 (the
// first character has phase 1) the code moves by K - 4, -K + 6, K + 1,
// -K + 7, K and -K + 2. Never throws except for allocation; linear.
[[nodiscard]] TextBoxResult text_box_crypt(std::string_view text, std::uint64_t key);

// Unscrambles: the opposite moves of text_box_crypt.
[[nodiscard]] TextBoxResult text_box_decrypt(std::string_view text, std::uint64_t key);

// The text-box cipher over a text that arrives in pieces of any size, in
// order: the pieces together give exactly the codes, the drops and the
// first dropped position of text_box_crypt or text_box_decrypt on the
// whole text. Memory does not grow with the text.
class TextBoxStream {
 public:
  enum class Direction { crypt, decrypt };

  TextBoxStream(Direction direction, std::uint64_t key);

  // Transforms the next `size` codes of the text into `out`, which has
  // room for `size` codes (it may be `in` itself); returns how many it
  // wrote, fewer when codes were dropped.
  std::size_t process(const char* in, std::size_t size, char* out);

  [[nodiscard]] std::size_t consumed() const noexcept { return consumed_; }
  [[nodiscard]] std::size_t produced() const noexcept { return consumed_ - dropped_; }
  [[nodiscard]] std::size_t dropped() const noexcept { return dropped_; }
  // 1-based position of the first dropped code, 0 if none so far.
  [[nodiscard]] std::size_t first_dropped() const noexcept { return first_dropped_; }

 private:
  // Chooses the kernel for the tests and the benchmarks that compare them
  // (quillfern/ciphers/textbox_kernels.hpp).
  friend class TextBoxKernels;

  // The moves laid out for two rounds of pattern_length consecutive codes,
  // as an amount to add and one to take away (each 0..255), so that a
  // stretch of up to pattern_length codes starting anywhere in the cycle
  // reads them in one run. A key number whose moves leave -255..255 (255
  // or more) moves codes one by one through moves_ instead.
  static constexpr std::size_t pattern_length = 960;
  std::array<unsigned char, 2 * pattern_length> add_{}, take_{};
  std::array<std::int16_t, 6> moves_{};
  bool bytewise_ = true;
  unsigned char level_ = 0;  // the kernel's level (cpu::Kernel)
  std::size_t consumed_ = 0;
  std::size_t dropped_ = 0;
  std::size_t first_dropped_ = 0;
};

}  // namespace quillfern::ciphers
