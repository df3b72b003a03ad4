#include "cli/tui/layout.hpp"

#include <gtest/gtest.h>

#include <utility>

#include "ui/fake_windows.hpp"

namespace quillfern::cli::tui {
namespace {

using platform::Control;
using platform::ControlKind;

// A form of its own design, loaded: 1280 x 640 twips, so that on a 40 x 20
// grid every 32 twips are one cell.
class GridForm final : public platform::Form {
 public:
  GridForm(platform::WindowSystem& windows, std::vector<Control> design_controls, std::int32_t width = 1280,
           std::int32_t height = 640)
      : Form(windows), design_(std::move(design_controls)) {
    resize(width, height);
    Load();
  }

 protected:
  void design() override {
    name_ = "Grid";
    caption_ = "Grid";
    controls_ = design_;
  }

 private:
  std::vector<Control> design_;
};

Control control(std::string name, ControlKind kind, std::string caption, std::int32_t left, std::int32_t top,
                std::int32_t width, std::int32_t height) {
  Control c;
  c.name = std::move(name);
  c.kind = kind;
  c.caption = std::move(caption);
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  return c;
}

Rect rect(int col0, int row0, int col1, int row1) { return Rect{col0, row0, col1, row1}; }

TEST(TuiLayout, WrapsAtSpacesAndCutsLongWords) {
  struct Case {
    std::string text;
    std::size_t width;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", 5, {}},
      {"abc def", 0, {}},
      {"abc def", 7, {"abc def"}},
      {"abc def", 6, {"abc", "def"}},
      {"a b c", 3, {"a b", "c"}},
      {"abcdefgh", 3, {"abc", "def", "gh"}},
      {"ab cdefgh", 3, {"ab", "cde", "fgh"}},
      {"a  b", 10, {"a  b"}},
      {"a ", 4, {"a"}},
  };
  for (const Case& c : cases) EXPECT_EQ(wrap(c.text, c.width), c.lines) << '"' << c.text << "\" in " << c.width;
}

TEST(TuiLayout, ScalesControlsToTheGridInTheFormsOrder) {
  test::FakeWindows windows;
  Control hidden = control("hidden", ControlKind::label, "Hidden", 0, 0, 320, 320);
  hidden.visible = false;
  const GridForm form(windows, {control("title", ControlKind::label, "Title", 320, 64, 640, 96), hidden,
                                control("dot", ControlKind::label, "", 1270, 630, 1, 1)});
  const std::vector<Placed> placed = place(form, 40, 20);
  ASSERT_EQ(placed.size(), 2u);
  EXPECT_EQ(placed[0].control->name, "title");
  EXPECT_EQ(placed[0].rect, rect(10, 2, 30, 5));
  EXPECT_EQ(placed[0].lines, std::vector<std::string>{"Title"});
  // However small, a control takes a cell.
  EXPECT_EQ(placed[1].control->name, "dot");
  EXPECT_EQ(placed[1].rect, rect(39, 19, 40, 20));
  EXPECT_TRUE(placed[1].lines.empty());

  // Twice the grid, twice the cells.
  EXPECT_EQ(place(form, 80, 40)[0].rect, rect(20, 4, 60, 10));
  // A form without a size has nothing to place.
  const GridForm flat(windows, {control("title", ControlKind::label, "Title", 0, 0, 64, 64)}, 1280, 0);
  EXPECT_TRUE(place(flat, 40, 20).empty());
}

TEST(TuiLayout, AOneLineTextWiderThanItsControlGrowsItAroundItsMiddle) {
  test::FakeWindows windows;
  const GridForm form(windows, {
                                   // "Cancel" and the button's two ends need 8 cells of 3.
                                   control("cancel", ControlKind::command_button, "&Cancel", 320, 320, 96, 32),
                                   // A frame keeps its size: its caption sits on its border.
                                   control("frame", ControlKind::frame, "A long caption", 320, 0, 96, 96),
                                   // At the edges the growth stops.
                                   control("left", ControlKind::label, "Leftmost", 0, 160, 64, 32),
                                   control("right", ControlKind::label, "Rightmost", 1216, 160, 64, 32),
                               });
  const std::vector<Placed> placed = place(form, 40, 20);
  ASSERT_EQ(placed.size(), 4u);
  EXPECT_EQ(placed[0].rect, rect(7, 10, 15, 11));
  EXPECT_EQ(placed[0].lines, std::vector<std::string>{"Cancel"});
  EXPECT_EQ(placed[0].access_key, 0u);
  EXPECT_EQ(placed[1].rect, rect(10, 0, 13, 3));
  EXPECT_EQ(placed[2].rect, rect(0, 5, 8, 6));
  EXPECT_EQ(placed[3].rect, rect(34, 5, 40, 6));
}

TEST(TuiLayout, WrappedTextFillsItsControlAndReachesFurtherDownOnlyWithinTheGrid) {
  test::FakeWindows windows;
  Control notice = control("notice", ControlKind::label, "one two three four five", 0, 0, 320, 64);
  notice.word_wrap = true;
  Control bottom = notice;
  bottom.name = "bottom";
  bottom.top = 576;
  const GridForm form(windows, {notice, bottom});
  const std::vector<Placed> placed = place(form, 40, 20);
  ASSERT_EQ(placed.size(), 2u);
  const std::vector<std::string> lines = {"one two", "three four", "five"};
  EXPECT_EQ(placed[0].lines, lines);
  EXPECT_EQ(placed[0].rect, rect(0, 0, 10, 3));
  // Two rows left at the bottom: the lines stay, the control ends there.
  EXPECT_EQ(placed[1].lines, lines);
  EXPECT_EQ(placed[1].rect, rect(0, 18, 10, 20));
}

TEST(TuiLayout, AMessageBoxIsCentredAndWrapsItsText) {
  struct Case {
    std::string text;
    int cols, rows;
    Rect box;
    std::size_t lines;
  };
  const std::string long_text =
      "Error jumping to/launching:https://oldvane.example/ with a reason long enough for three lines";
  const Case cases[] = {
      {"Hi", 80, 24, rect(28, 9, 52, 14), 1},         // at least 24 wide
      {long_text, 80, 24, rect(10, 9, 70, 15), 2},    // at most 56 of text
      {long_text, 30, 24, rect(0, 7, 30, 16), 5},     // as wide as the grid
      {long_text, 30, 6, rect(0, 0, 30, 6), 5},       // as high as the grid
  };
  for (const Case& c : cases) {
    const Rect box = message_rect(c.text, c.cols, c.rows);
    EXPECT_EQ(box, c.box) << c.text.size() << " characters on " << c.cols << "x" << c.rows;
    EXPECT_EQ(message_lines(c.text, box).size(), c.lines) << c.text.size() << " characters on " << c.cols;
  }
  // The OK button's row, inside the box, takes the click.
  const Rect box = rect(28, 9, 52, 14);
  EXPECT_TRUE(on_message_button(box, 28, 12));
  EXPECT_TRUE(on_message_button(box, 51, 12));
  EXPECT_FALSE(on_message_button(box, 52, 12));
  EXPECT_FALSE(on_message_button(box, 40, 11));
  EXPECT_FALSE(on_message_button(box, 40, 13));
}

TEST(TuiLayout, ClicksGoToTheTopmostControlAndAccessKeysToButtons) {
  test::FakeWindows windows;
  const GridForm form(windows, {control("under", ControlKind::label, "", 0, 0, 640, 320),
                                control("over", ControlKind::label, "", 320, 160, 640, 320),
                                control("ok", ControlKind::command_button, "&OK", 960, 480, 320, 96),
                                control("label", ControlKind::label, "&Name", 0, 480, 320, 96),
                                control("plain", ControlKind::command_button, "Plain", 0, 576, 320, 64)});
  const std::vector<Placed> placed = place(form, 40, 20);
  auto name_at = [&](int col, int row) {
    const Placed* p = control_at(placed, col, row);
    return p != nullptr ? p->control->name : std::string("(form)");
  };
  EXPECT_EQ(name_at(0, 0), "under");
  EXPECT_EQ(name_at(12, 6), "over");  // both: the later one
  EXPECT_EQ(name_at(19, 9), "over");
  EXPECT_EQ(name_at(30, 0), "(form)");
  EXPECT_EQ(name_at(39, 17), "ok");

  auto button_for = [&](int key) {
    const Placed* p = button_with_access_key(placed, key);
    return p != nullptr ? p->control->name : std::string("(none)");
  };
  EXPECT_EQ(button_for('o'), "ok");
  EXPECT_EQ(button_for('O'), "ok");
  EXPECT_EQ(button_for('n'), "(none)");  // a label's access key is no button's
  EXPECT_EQ(button_for('p'), "(none)");  // no access key
  EXPECT_EQ(button_for('k'), "(none)");
}

}  // namespace
}  // namespace quillfern::cli::tui
