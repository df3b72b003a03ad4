// The terminal's input as events: character keys, left clicks (X10 and SGR
// mouse reports) and Alt with a key. Pure: it is fed the bytes as they
// are read, and told when the rest of a sequence did not arrive in time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillfern::cli::tui {

struct InputEvent {
  enum Kind { key, click, access_key } kind = key;
  int code = 0;          // key and access_key: the byte
  int col = 0, row = 0;  // click: the cell, from 0
  friend bool operator==(const InputEvent&, const InputEvent&) = default;
};

class InputParser {
 public:
  // With `utf8`, a character of several bytes is one key (its first byte).
  explicit InputParser(bool utf8) noexcept : utf8_(utf8) {}

  // The events that the bytes read so far complete, `bytes` being the
  // latest. A sequence cut at the end waits for the rest.
  [[nodiscard]] std::vector<InputEvent> feed(std::string_view bytes);
  // True when the bytes end inside an escape sequence, or with a lone
  // escape, whose rest may still arrive.
  [[nodiscard]] bool waiting() const noexcept { return !pending_.empty(); }
  // The rest did not arrive: a lone escape is the Escape key, and a
  // sequence cut short is dropped.
  [[nodiscard]] std::vector<InputEvent> expire();

 private:
  std::vector<InputEvent> parse(bool complete);

  bool utf8_;
  std::string pending_;  // the bytes of the sequence waited for
};

}  // namespace quillfern::cli::tui
