// Cells painted on a terminal: the escape sequences that change what is on
// the screen into the new cells, with 24-bit colours or the nearest of the
// 256-colour palette. Pure: the caller writes the result.
#pragma once

#include <string>
#include <vector>

#include "cli/tui/raster.hpp"

namespace quillfern::cli::tui {

// The nearest colour of the xterm 256-colour palette (its 6x6x6 cube and
// its grey ramp).
[[nodiscard]] int palette_index(platform::Colour c);

// What turns the screen showing `drawn` into `cells` (`cols` to a row):
// the changed cells only, or the whole screen when the sizes differ.
// Empty when nothing changed.
[[nodiscard]] std::string paint(const std::vector<Cell>& drawn, const std::vector<Cell>& cells, int cols,
                                bool true_colour);

}  // namespace quillfern::cli::tui
