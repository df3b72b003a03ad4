#include "cli/tui/raster.hpp"

#include <algorithm>
#include <cmath>

#include "cli/tui/layout.hpp"
#include "quillfern/core/codepage.hpp"

namespace quillfern::cli::tui {
namespace {

using platform::Colour;
using platform::Control;
using platform::ControlKind;

Colour average(Colour a, Colour b) {
  auto mid = [](std::uint8_t x, std::uint8_t y) { return static_cast<std::uint8_t>((x + y + 1) / 2); };
  return platform::rgb(mid(platform::red_of(a), platform::red_of(b)),
                       mid(platform::green_of(a), platform::green_of(b)),
                       mid(platform::blue_of(a), platform::blue_of(b)));
}

// The cell text of a character code; control codes show as '?'.
std::string glyph(char code, bool utf8) {
  const auto byte = static_cast<unsigned char>(code);
  if (byte < 32 || byte == 127) return "?";
  if (!utf8) return std::string(1, code);
  return to_utf8(std::string_view(&code, 1), CodePage::cp1252);
}

}  // namespace

std::vector<Cell> rasterise(const platform::Form* form, const std::optional<platform::Message>& message,
                            const Grid& grid) {
  const auto cols = static_cast<std::size_t>(grid.cols);
  const auto rows = static_cast<std::size_t>(grid.rows);
  std::vector<Cell> cells(cols * rows);
  if (form == nullptr || form->width() <= 0 || form->height() <= 0) return cells;

  // The form's surface in half-cell pixels, with its line shapes.
  std::vector<Colour> pixels(cols * rows * 2, form->back_colour());
  const double px = static_cast<double>(grid.cols) / form->width();
  const double py = static_cast<double>(grid.rows * 2) / form->height();
  auto plot = [&](long x, long y, Colour c) {
    if (x >= 0 && y >= 0 && x < grid.cols && y < grid.rows * 2) {
      pixels[static_cast<std::size_t>(y) * cols + static_cast<std::size_t>(x)] = c;
    }
  };
  for (const platform::LineShape& line : form->lines()) {
    if (!line.visible) continue;
    const double x1 = line.x1 * px, y1 = line.y1 * py, x2 = line.x2 * px, y2 = line.y2 * py;
    // One step per pixel, and never more steps than the screen has pixels.
    const double steps = std::min(std::max({std::abs(x2 - x1), std::abs(y2 - y1), 1.0}),
                                  static_cast<double>(grid.cols + grid.rows * 2));
    for (double s = 0; s <= steps; s += 1.0) {
      const double t = s / steps;
      long x = static_cast<long>(std::floor(x1 + (x2 - x1) * t));
      if (x >= grid.cols && x1 != x2) x = grid.cols - 1;  // a line to the right edge ends on it
      plot(x, static_cast<long>(std::floor(y1 + (y2 - y1) * t)), line.border_colour);
    }
  }
  auto pixel = [&](std::size_t col, std::size_t row, std::size_t half) {
    return pixels[(row * 2 + half) * cols + col];
  };
  for (std::size_t row = 0; row < rows; ++row) {
    for (std::size_t col = 0; col < cols; ++col) {
      Cell& cell = cells[row * cols + col];
      if (grid.utf8) {
        cell.glyph = "\u2580";  // upper half block: fore above, back below
        cell.fore = pixel(col, row, 0);
        cell.back = pixel(col, row, 1);
      } else {
        cell.back = pixel(col, row, 0);
      }
    }
  }
  // The surface's colour behind text: the mean of the cell's two pixels.
  std::vector<Colour> surface(cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    surface[i] = grid.utf8 ? average(cells[i].fore, cells[i].back) : cells[i].back;
  }
  auto cell_at = [&](int col, int row) -> Cell* {
    if (col < 0 || row < 0 || col >= grid.cols || row >= grid.rows) return nullptr;
    return &cells[static_cast<std::size_t>(row) * cols + static_cast<std::size_t>(col)];
  };
  // Text over the surface keeps the surface's colour behind it.
  auto put = [&](int col, int row, std::string g, Colour fore, bool bold, bool underline) {
    Cell* cell = cell_at(col, row);
    if (cell == nullptr) return;
    cell->back = surface[static_cast<std::size_t>(cell - cells.data())];
    cell->glyph = std::move(g);
    cell->fore = fore;
    cell->bold = bold;
    cell->underline = underline;
  };

  for (const Placed& p : place(*form, grid.cols, grid.rows)) {
    const Control& c = *p.control;
    const Rect& r = p.rect;
    if (c.kind == ControlKind::frame) {
      const bool u = grid.utf8;
      for (int col = r.col0; col < r.col1; ++col) {
        put(col, r.row0, u ? "\u2500" : "-", c.fore_colour, false, false);
        put(col, r.row1 - 1, u ? "\u2500" : "-", c.fore_colour, false, false);
      }
      for (int row = r.row0; row < r.row1; ++row) {
        put(r.col0, row, u ? "\u2502" : "|", c.fore_colour, false, false);
        put(r.col1 - 1, row, u ? "\u2502" : "|", c.fore_colour, false, false);
      }
      put(r.col0, r.row0, u ? "\u250c" : "+", c.fore_colour, false, false);
      put(r.col1 - 1, r.row0, u ? "\u2510" : "+", c.fore_colour, false, false);
      put(r.col0, r.row1 - 1, u ? "\u2514" : "+", c.fore_colour, false, false);
      put(r.col1 - 1, r.row1 - 1, u ? "\u2518" : "+", c.fore_colour, false, false);
      if (!p.lines.empty()) {
        for (std::size_t i = 0; i < p.lines[0].size(); ++i) {
          put(r.col0 + 2 + static_cast<int>(i), r.row0, glyph(p.lines[0][i], grid.utf8), c.fore_colour, false, false);
        }
      }
      continue;
    }
    if (c.kind == ControlKind::command_button) {
      const Colour face = platform::rgb(192, 192, 192);
      const int middle = r.row0 + (r.row1 - r.row0 - 1) / 2;
      for (int row = r.row0; row < r.row1; ++row) {
        for (int col = r.col0; col < r.col1; ++col) {
          if (Cell* cell = cell_at(col, row)) *cell = Cell{" ", c.fore_colour, face, false, false};
        }
      }
      if (!p.lines.empty()) {
        const std::string& text = p.lines[0];
        const int start = r.col0 + (r.col1 - r.col0 - static_cast<int>(text.size())) / 2;
        for (std::size_t i = 0; i < text.size(); ++i) {
          if (Cell* cell = cell_at(start + static_cast<int>(i), middle)) {
            *cell = Cell{glyph(text[i], grid.utf8), c.fore_colour, face, true, i == p.access_key};
          }
        }
      }
      continue;
    }
    for (std::size_t n = 0; n < p.lines.size(); ++n) {
      const std::string& text = p.lines[n];
      const int width = r.col1 - r.col0;
      const int length = static_cast<int>(text.size());
      int start = r.col0;
      if (c.alignment == platform::Alignment::center) start += (width - length) / 2;
      if (c.alignment == platform::Alignment::right) start += width - length;
      for (int i = 0; i < length; ++i) {
        put(start + i, r.row0 + static_cast<int>(n), glyph(text[static_cast<std::size_t>(i)], grid.utf8),
            c.fore_colour, c.font.bold, c.font.underline);
      }
    }
  }

  if (message) {
    const Rect box = message_rect(message->text, grid.cols, grid.rows);
    const Colour face = platform::rgb(192, 192, 192);
    const Colour ink = 0;
    for (int row = box.row0; row < box.row1; ++row) {
      for (int col = box.col0; col < box.col1; ++col) {
        if (Cell* cell = cell_at(col, row)) *cell = Cell{" ", ink, face, false, false};
      }
    }
    auto text_at = [&](int col, int row, const std::string& text, bool bold) {
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (Cell* cell = cell_at(col + static_cast<int>(i), row)) {
          *cell = Cell{glyph(text[i], grid.utf8), ink, face, bold, false};
        }
      }
    };
    const int width = box.col1 - box.col0;
    text_at(box.col0 + 2, box.row0, message->title, true);
    const auto lines = message_lines(message->text, box);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      text_at(box.col0 + 2, box.row0 + 1 + static_cast<int>(i), lines[i], false);
    }
    text_at(box.col0 + (width - 6) / 2, box.row1 - 2, "[ OK ]", true);
  }
  return cells;
}

}  // namespace quillfern::cli::tui
