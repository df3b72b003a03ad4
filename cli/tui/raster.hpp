// A form drawn into a grid of character cells: its surface and line shapes
// in half-cell pixels (two per cell, with the upper-half block), its
// controls as text over them, the button as a grey bar, and a message box
// over everything. Pure: the cells are then painted on the terminal.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "quillfern/platform/message_box.hpp"
#include "quillfern/platform/window_system.hpp"

namespace quillfern::cli::tui {

struct Cell {
  std::string glyph = " ";  // UTF-8 on a UTF-8 terminal, else the code page's byte
  platform::Colour fore = 0;
  platform::Colour back = 0;
  bool bold = false;
  bool underline = false;
  friend bool operator==(const Cell&, const Cell&) = default;
};

// The grid drawn on.
struct Grid {
  int cols = 80;
  int rows = 24;
  bool utf8 = false;  // box-drawing and half-block characters, text converted from the code page
};

// The cells of `grid`, row by row: `form` (none: blank cells) with
// `message` boxed over it.
[[nodiscard]] std::vector<Cell> rasterise(const platform::Form* form,
                                          const std::optional<platform::Message>& message, const Grid& grid);

}  // namespace quillfern::cli::tui
