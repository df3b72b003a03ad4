// The layout of a form on a terminal's character grid: where each visible
// control goes and which text lines it shows, where a message box goes,
// and what lies under a click or answers an access key. Pure: no terminal
// is needed, so the tests check it on forms of their own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "quillfern/platform/window_system.hpp"

namespace quillfern::cli::tui {

// A rectangle of cells; the ends are exclusive.
struct Rect {
  int col0 = 0, row0 = 0, col1 = 0, row1 = 0;
  [[nodiscard]] bool contains(int col, int row) const noexcept {
    return col >= col0 && col < col1 && row >= row0 && row < row1;
  }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A control placed on the grid, with its text lines.
struct Placed {
  const platform::Control* control = nullptr;
  Rect rect;
  std::vector<std::string> lines;  // codes of the host's code page
  std::size_t access_key = std::string::npos;
};

// Splits `text` into lines of at most `width` characters at spaces; a word
// longer than that is cut. Nothing for a width of 0.
[[nodiscard]] std::vector<std::string> wrap(const std::string& text, std::size_t width);

// Places every visible control of `form`, scaled from its size to a grid of
// `cols` x `rows` cells, in the form's order (the last one on top). A
// one-line text wider than its control grows it around its middle, so that
// the text stays whole; wrapped text fills the control's rows and may
// reach further down. Nothing for a form without a size.
[[nodiscard]] std::vector<Placed> place(const platform::Form& form, int cols, int rows);

// A message box showing `text`: at least 24 columns, at most 56 of text,
// centred on the grid.
[[nodiscard]] Rect message_rect(const std::string& text, int cols, int rows);
// Its text in lines, as the box shows them.
[[nodiscard]] std::vector<std::string> message_lines(const std::string& text, const Rect& box);
// True when a click on the cell goes to the box's OK button: its row, in
// the box.
[[nodiscard]] bool on_message_button(const Rect& box, int col, int row) noexcept;

// The topmost control under the cell, or null.
[[nodiscard]] const Placed* control_at(const std::vector<Placed>& placed, int col, int row) noexcept;
// The first command button whose access key is `key` (letters in either
// case), or null.
[[nodiscard]] const Placed* button_with_access_key(const std::vector<Placed>& placed, int key);

}  // namespace quillfern::cli::tui
