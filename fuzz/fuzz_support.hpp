// Shared pieces of the fuzz targets: a reader that splits the fuzzer's
// bytes into typed values, and a check that stops the run with a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "quillfern/core/error.hpp"

namespace quillfern::fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
  [[nodiscard]] std::uint8_t byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  // A text whose length comes from the input (up to `max_length`).
  [[nodiscard]] std::string text(std::size_t max_length = 4096) {
    std::size_t length = (std::size_t{byte()} << 8 | byte()) % (max_length + 1);
    return bytes(length);
  }
  [[nodiscard]] std::string bytes(std::size_t length) {
    if (length > size_) length = size_;
    std::string out(reinterpret_cast<const char*>(data_), length);
    data_ += length;
    size_ -= length;
    return out;
  }
  [[nodiscard]] std::string rest() { return bytes(size_); }
  // A length for a transform with a 16-bit counted loop: up to 255, or
  // one within a few characters of the 32767 limit on either side.
  [[nodiscard]] std::size_t loop_length() {
    const bool near_limit = (byte() & 1) != 0;
    const std::size_t length = byte();
    return near_limit ? 32760 + length % 16 : length;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// Piece lengths that add up to `length`, drawn from `seed`: for driving a
// stream interface with random cut points (empty pieces included).
inline std::vector<std::size_t> cut_points(std::size_t length, std::uint32_t seed) {
  std::vector<std::size_t> pieces;
  std::uint32_t state = seed * 2654435761u + 1;
  while (length > 0) {
    state = state * 1103515245u + 12345u;
    const std::uint32_t r = state >> 8;
    std::size_t piece = (r & 3) == 0 ? 0 : (r & 3) == 1 ? 1 : (r >> 2) % 300;
    if ((r & 0xf0) == 0xf0) piece = length;
    piece = piece < length ? piece : length;
    pieces.push_back(piece);
    length -= piece;
  }
  pieces.push_back(0);
  return pieces;
}

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
  std::abort();
}

#define QF_FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::quillfern::fuzz::fail(#condition, __FILE__, __LINE__))

// True when the error's number is one of `allowed`.
inline bool error_is(const Error& error, std::initializer_list<ErrorNumber> allowed) {
  for (ErrorNumber number : allowed) {
    if (error.number() == number) return true;
  }
  return false;
}

// "ok:" and the result of `call`, or "error N" for the quillfern::Error it
// raised, which must be error 5 or 6: two calls compare equal when they give
// the same answer.
template <typename F>
std::string outcome(F&& call) {
  try {
    return "ok:" + call();
  } catch (const Error& e) {
    QF_FUZZ_CHECK(error_is(e, {ErrorNumber::invalid_call, ErrorNumber::overflow}));
    return "error " + std::to_string(e.code());
  }
}

// `pattern` repeated to `length` characters ('a's when it is empty).
inline std::string repeated(const std::string& pattern, std::size_t length) {
  std::string out(length, 'a');
  if (!pattern.empty()) {
    for (std::size_t k = 0; k < length; ++k) out[k] = pattern[k % pattern.size()];
  }
  return out;
}

}  // namespace quillfern::fuzz
