#include "cli/tui/input.hpp"

#include <algorithm>
#include <cstdio>

namespace quillfern::cli::tui {

std::vector<InputEvent> InputParser::feed(std::string_view bytes) {
  pending_.append(bytes);
  return parse(false);
}

std::vector<InputEvent> InputParser::expire() { return parse(true); }

// Each place that needs more bytes than have arrived either stops, keeping
// the sequence for the next piece, or (`complete`: nothing more comes)
// decides on what there is.
std::vector<InputEvent> InputParser::parse(bool complete) {
  std::vector<InputEvent> events;
  const std::string& in = pending_;
  std::size_t i = 0;
  bool stopped = false;
  while (i < in.size() && !stopped) {
    const auto byte = static_cast<unsigned char>(in[i]);
    if (byte != 0x1b) {
      // One character key, however many bytes it takes.
      std::size_t length = 1;
      if (byte >= 0xC0 && utf8_) length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
      events.push_back({InputEvent::key, byte, 0, 0});
      i += std::min(length, in.size() - i);
      continue;
    }
    if (i + 1 >= in.size()) {
      if (!complete) {
        stopped = true;
        continue;
      }
      events.push_back({InputEvent::key, 27, 0, 0});
      ++i;
      continue;
    }
    const char next = in[i + 1];
    if (next == '[') {
      // CSI: parameters, then a final byte from '@' to '~'.
      std::size_t end = i + 2;
      while (end < in.size() && (in[end] < '@' || in[end] > '~' || (end == i + 2 && in[end] == '<'))) ++end;
      if (end >= in.size()) {
        if (!complete) {
          stopped = true;
          continue;
        }
        i = in.size();
        break;
      }
      const std::string body = in.substr(i + 2, end - i - 2);
      const char final_byte = in[end];
      if (final_byte == 'M' && body.empty()) {
        // X10 mouse report: three more bytes.
        if (in.size() < end + 4 && !complete) {
          stopped = true;
          continue;
        }
        if (in.size() >= end + 4) {
          const int b = static_cast<unsigned char>(in[end + 1]) - 32;
          const int x = static_cast<unsigned char>(in[end + 2]) - 33;
          const int y = static_cast<unsigned char>(in[end + 3]) - 33;
          if ((b & 3) == 0 && (b & 96) == 0) events.push_back({InputEvent::click, 0, x, y});
        }
        i = std::min(in.size(), end + 4);
        continue;
      }
      if ((final_byte == 'M' || final_byte == 'm') && !body.empty() && body[0] == '<') {
        int b = 0, x = 0, y = 0;
        if (std::sscanf(body.c_str() + 1, "%d;%d;%d", &b, &x, &y) == 3 && final_byte == 'M' &&
            (b & 3) == 0 && (b & 96) == 0) {
          events.push_back({InputEvent::click, 0, x - 1, y - 1});
        }
      }
      // Other sequences (arrows, function keys) are not character keys.
      i = end + 1;
      continue;
    }
    if (next == 'O') {
      // SS3 (keypad and function keys): one more byte.
      if (i + 2 >= in.size() && !complete) {
        stopped = true;
        continue;
      }
      i = std::min(in.size(), i + 3);
      continue;
    }
    // Alt with a key: the access key of a button.
    events.push_back({InputEvent::access_key, static_cast<unsigned char>(next), 0, 0});
    i += 2;
  }
  pending_.erase(0, std::min(i, pending_.size()));
  return events;
}

}  // namespace quillfern::cli::tui
