#include "quillfern/ui/about_form.hpp"

#include <gtest/gtest.h>

#include "quillfern/control/encryption.hpp"
#include "testing/doubles.hpp"
#include "support.hpp"
#include "ui/fake_windows.hpp"

namespace quillfern {
namespace {

using platform::MousePointer;

struct AboutFixture : ::testing::Test {
  AboutFixture() {
    host.set_window_system(windows);
    host.set_shell(shell);
  }
  testing::RecordingMessageBox box;
  testing::RecordingShell shell;
  test::FakeWindows windows;
  platform::Host host{box};

  ui::AboutForm& about() { return dynamic_cast<ui::AboutForm&>(*host.about_window()); }
};

using AboutBand = AboutFixture;

TEST_F(AboutBand, FillsTheFormWithLinesFifteenTwipsApartShadingToRed) {
  struct Case {
    std::int32_t height;
    std::size_t lines;   // after element 0
    std::int32_t last_red;
  };
  for (const Case& c : {Case{3000, 200, 225}, Case{3006, 200, 210}, Case{4500, 300, 225},
                        Case{3007, 200, 210}, Case{3008, 201, 225}, Case{0, 0, 0},
                        // N rounds up past height / 15: the last line goes one band further
                        Case{14, 1, 240}}) {
    SCOPED_TRACE(c.height);
    test::FakeWindows fresh;
    host.set_window_system(fresh);
    ui::AboutForm form(host);
    form.resize(6000, c.height);
    form.Show();
    ASSERT_EQ(form.lines().size(), c.lines + 1);
    EXPECT_EQ(fresh.event_passes, static_cast<int>(c.lines)) << "one event pass per line";
    const auto& top = form.Line1(0);
    EXPECT_EQ((std::array{top.x1, top.y1, top.x2, top.y2}), (std::array{0, 0, 6000, 0}));
    EXPECT_EQ(top.border_colour, 0u) << "element 0 keeps its design-time colour";
    platform::Colour previous = 0;
    for (std::size_t i = 1; i <= c.lines; ++i) {
      const auto& line = form.Line1(i);
      ASSERT_EQ(line.y1, static_cast<std::int32_t>(15 * i));
      ASSERT_EQ(line.y2, line.y1);
      ASSERT_EQ(line.x2, 6000);
      ASSERT_TRUE(line.visible);
      ASSERT_EQ(line.border_colour % 15, 0u) << "a pure red in steps of 15";
      ASSERT_GE(line.border_colour, previous) << "shading never goes back";
      previous = line.border_colour;
    }
    if (c.lines > 0) {
      EXPECT_EQ(form.Line1(c.lines).border_colour, static_cast<platform::Colour>(c.last_red));
      if (c.lines >= 15) {
        EXPECT_EQ(form.Line1(1).border_colour, 0u) << "the first line is black";
      }
    }
    EXPECT_EQ(fresh.pointers, (std::vector{MousePointer::hourglass, MousePointer::default_pointer}));
    for (MousePointer p : fresh.pointer_during_events) ASSERT_EQ(p, MousePointer::hourglass);
    form.Unload();
    host.set_window_system(windows);
  }
}

TEST(AboutBandArithmetic, RoundsHalvesToEvenAndStaysInSixteenBits) {
  struct Case {
    float height;
    std::optional<std::int16_t> count;
  };
  for (const Case& c : {Case{3000.0f, 200}, Case{3007.5f, 200}, Case{3022.5f, 202},
                        Case{3006.0f, 200}, Case{7.0f, 0}, Case{8.0f, 1}, Case{491497.0f, 32766},
                        Case{491512.0f, 32767}, Case{491513.0f, std::nullopt},
                        Case{-15.0f, -1}}) {
    EXPECT_EQ(ui::band_line_count(c.height), c.count) << c.height;
  }
  EXPECT_EQ(ui::band_red_level(1, 3000.0f), 0);
  EXPECT_EQ(ui::band_red_level(14, 3000.0f), 15);
  EXPECT_EQ(ui::band_red_level(200, 3000.0f), 225);
  EXPECT_EQ(ui::band_red_level(199, 3000.0f), 210);
  EXPECT_EQ(ui::band_red_level(200, 3006.0f), 210);
}

TEST_F(AboutBand, WritesTheVersionLineAndMovesTheMakersNameToTheTop) {
  ui::AboutForm form(host);
  EXPECT_TRUE(form.controls().empty()) << "no controls before the load";
  form.Show();
  EXPECT_EQ(ui::version_line(), "Version 1.5.22");
  EXPECT_EQ(form.control("lblVersion").caption, "Version 1.5.22");
  const platform::Control& maker = form.control("Label4");
  EXPECT_EQ(maker.caption, "Oldvane");
  EXPECT_EQ((std::array{maker.left, maker.top, maker.width}), (std::array{0, 0, form.width()}));
  EXPECT_EQ(maker.alignment, platform::Alignment::center);
  EXPECT_EQ(form.control("lblProductName").caption, "QUILLFERN OCX");
  EXPECT_EQ(form.control("OK").caption, "&OK");
  EXPECT_EQ(form.control("Label2").caption, ui::maker_web_address);
  EXPECT_EQ(form.control("Label2").mouse_pointer, MousePointer::custom);
  EXPECT_FALSE(form.control("Label6").caption.empty());
  EXPECT_EQ(form.control("Frame1").kind, platform::ControlKind::frame);
  EXPECT_EQ(windows.shows, 1) << "the load shows the form itself";
  EXPECT_TRUE(form.visible());
}

using AboutOperation = AboutFixture;

TEST_F(AboutOperation, EveryControlShowsTheOneWindowOfTheProcess) {
  Encryption first(host);
  Encryption second(host);
  first.About();
  platform::Form* window = host.about_window().get();
  ASSERT_NE(window, nullptr);
  const int passes = windows.event_passes;
  EXPECT_EQ(passes, ui::AboutForm::design_height / 15);
  second.About();
  first.About();
  EXPECT_EQ(host.about_window().get(), window) << "one window object, not one per control";
  EXPECT_EQ(windows.shows, 1);
  EXPECT_EQ(windows.event_passes, passes) << "showing an open window loads nothing again";
  EXPECT_EQ(window->load_count(), 1u);
  EXPECT_EQ(windows.forms, std::vector<platform::Form*>{window});
}

TEST_F(AboutOperation, EveryClosingHandlerUnloadsAndTheNextAboutLoadsAgain) {
  struct Case {
    const char* what;
    std::function<void(ui::AboutForm&)> act;
    bool closes;
  };
  const std::vector<Case> cases{
      {"a letter", [](ui::AboutForm& f) { f.key_press('x'); }, true},
      {"Enter", [](ui::AboutForm& f) { f.key_press(13); }, true},
      {"Escape", [](ui::AboutForm& f) { f.key_press(27); }, true},
      {"Frame1", [](ui::AboutForm& f) { f.click("Frame1"); }, true},
      {"OK", [](ui::AboutForm& f) { f.click("OK"); }, true},
      {"the window's close box", [](ui::AboutForm& f) { f.close_request(); }, true},
      {"the product name", [](ui::AboutForm& f) { f.click("lblProductName"); }, false},
      {"the form", [](ui::AboutForm& f) { f.click(""); }, false},
  };
  Encryption control(host);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const bool was_loaded = host.about_window() && host.about_window()->loaded();
    const unsigned before = host.about_window() ? host.about_window()->load_count() : 0;
    control.About();
    ui::AboutForm& form = about();
    ASSERT_EQ(form.load_count(), before + (was_loaded ? 0 : 1));
    const unsigned loads = form.load_count();
    ASSERT_TRUE(form.visible());
    c.act(form);
    EXPECT_EQ(form.loaded(), !c.closes);
    EXPECT_EQ(form.visible(), !c.closes);
    if (c.closes) {
      EXPECT_TRUE(form.lines().empty()) << "unloading destroys the lines";
      EXPECT_TRUE(windows.forms.empty());
      control.About();
      EXPECT_EQ(form.load_count(), loads + 1) << "the next About loads it again";
      EXPECT_EQ(form.control("lblVersion").caption, "Version 1.5.22");
      form.Unload();
    }
  }
  EXPECT_EQ(&about(), host.about_window().get());
}

TEST_F(AboutOperation, TheAddressLabelOpensTheMakersSiteAndLeavesTheFormOpen) {
  Encryption control(host);
  control.About();
  about().click("Label2");
  ASSERT_EQ(shell.requests().size(), 1u);
  EXPECT_EQ(shell.requests()[0],
            (platform::ShellRequest{"open", std::string(ui::maker_web_address), "", "1", 1}));
  EXPECT_TRUE(about().visible());
  EXPECT_TRUE(box.messages().empty());

  shell.set_result(platform::shell_result::no_association);
  about().Label2_Click();
  ASSERT_EQ(box.messages().size(), 1u);
  EXPECT_EQ(box.messages()[0].text, "Error jumping to/launching:https://oldvane.example/");
  EXPECT_TRUE(about().visible()) << "a failed launch only warns";
}

TEST_F(AboutOperation, ClosingWhileTheBandFillsStopsTheFillingAndRestoresThePointer) {
  Encryption control(host);
  windows.user = [&](int pass) {
    if (pass == 10) about().key_press('q');
  };
  control.About();
  EXPECT_EQ(windows.event_passes, 10);
  EXPECT_FALSE(about().loaded());
  EXPECT_TRUE(windows.forms.empty());
  EXPECT_EQ(windows.pointer, MousePointer::default_pointer);

  // Closed and shown again from within the filling: the new load runs to
  // its end and the interrupted one stops.
  windows.user = [&](int pass) {
    if (pass == 15) {
      about().click("OK");
      control.About();
    }
  };
  control.About();
  EXPECT_TRUE(about().visible());
  EXPECT_EQ(about().load_count(), 3u);
  EXPECT_EQ(about().lines().size(), 301u);
  EXPECT_EQ(windows.pointer, MousePointer::default_pointer);
}

TEST(AboutWithoutWindows, ReportsThatTheHostCannotShowIt) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  EXPECT_QF_ERROR(control.About(), ErrorNumber::not_supported);
  EXPECT_EQ(host.about_window(), nullptr);
}

}  // namespace
}  // namespace quillfern
