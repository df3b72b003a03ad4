#include "cli/tui/painter.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace quillfern::cli::tui {
namespace {

std::string colour_code(bool fore, platform::Colour c, bool true_colour) {
  if (true_colour) {
    return std::string(fore ? "38;2;" : "48;2;") + std::to_string(platform::red_of(c)) + ";" +
           std::to_string(platform::green_of(c)) + ";" + std::to_string(platform::blue_of(c));
  }
  return std::string(fore ? "38;5;" : "48;5;") + std::to_string(palette_index(c));
}

}  // namespace

int palette_index(platform::Colour c) {
  static constexpr int levels[6] = {0, 95, 135, 175, 215, 255};
  auto nearest_level = [](int v) {
    int best = 0;
    for (int i = 1; i < 6; ++i) {
      if (std::abs(levels[i] - v) < std::abs(levels[best] - v)) best = i;
    }
    return best;
  };
  const int r = platform::red_of(c), g = platform::green_of(c), b = platform::blue_of(c);
  const int ri = nearest_level(r), gi = nearest_level(g), bi = nearest_level(b);
  auto distance = [&](int x, int y, int z) { return (x - r) * (x - r) + (y - g) * (y - g) + (z - b) * (z - b); };
  const int cube = distance(levels[ri], levels[gi], levels[bi]);
  const int grey_step = std::clamp(((r + g + b) / 3 - 3) / 10, 0, 23);
  const int grey = 8 + 10 * grey_step;
  if (distance(grey, grey, grey) < cube) return 232 + grey_step;
  return 16 + 36 * ri + 6 * gi + bi;
}

std::string paint(const std::vector<Cell>& drawn, const std::vector<Cell>& cells, int cols, bool true_colour) {
  std::string out;
  const bool whole = drawn.size() != cells.size();
  if (whole) out += "\x1b[0m\x1b[2J";
  const auto width = static_cast<std::size_t>(cols);
  std::size_t cursor = SIZE_MAX;
  const Cell* pen = nullptr;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const Cell& cell = cells[i];
    if (!whole && drawn[i] == cell) continue;
    if (cursor != i) {
      out += "\x1b[" + std::to_string(i / width + 1) + ";" + std::to_string(i % width + 1) + "H";
    }
    if (pen == nullptr || pen->fore != cell.fore || pen->back != cell.back || pen->bold != cell.bold ||
        pen->underline != cell.underline) {
      out += "\x1b[0;";
      if (cell.bold) out += "1;";
      if (cell.underline) out += "4;";
      out += colour_code(true, cell.fore, true_colour) + ";" + colour_code(false, cell.back, true_colour) + "m";
      pen = &cell;
    }
    out += cell.glyph;
    cursor = i + 1;
    // Writing the last column may leave the cursor there: move explicitly.
    if (cursor % width == 0) cursor = SIZE_MAX;
  }
  return out;
}

}  // namespace quillfern::cli::tui
