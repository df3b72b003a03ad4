#include "cli/tui/painter.hpp"

#include <gtest/gtest.h>

namespace quillfern::cli::tui {
namespace {

TEST(TuiPainter, PicksTheNearestPaletteColour) {
  struct Case {
    platform::Colour colour;
    int index;
  };
  const Case cases[] = {
      {platform::rgb(0, 0, 0), 16},       {platform::rgb(255, 255, 255), 231},
      {platform::rgb(210, 0, 0), 160},    {platform::rgb(128, 128, 128), 244},
      {platform::rgb(192, 192, 192), 250}, {platform::rgb(0, 95, 255), 27},
  };
  for (const Case& c : cases) EXPECT_EQ(palette_index(c.colour), c.index) << std::hex << c.colour;
}

TEST(TuiPainter, PaintsTheWholeScreenOnceThenOnlyWhatChanged) {
  std::vector<Cell> cells(6);
  for (Cell& cell : cells) cell.glyph = "x";
  const std::string whole = paint({}, cells, 3, false);
  EXPECT_EQ(whole, "\x1b[0m\x1b[2J\x1b[1;1H\x1b[0;38;5;16;48;5;16mxxx\x1b[2;1Hxxx");

  EXPECT_EQ(paint(cells, cells, 3, false), "");
  std::vector<Cell> next = cells;
  next[4].glyph = "y";
  next[4].bold = true;
  next[4].fore = platform::rgb(1, 2, 3);
  EXPECT_EQ(paint(cells, next, 3, true), "\x1b[2;2H\x1b[0;1;38;2;1;2;3;48;2;0;0;0my");
}

}  // namespace
}  // namespace quillfern::cli::tui
