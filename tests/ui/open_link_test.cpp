#include "quillfern/ui/open_link.hpp"

#include <gtest/gtest.h>

#include <climits>

#include "testing/doubles.hpp"

namespace quillfern {
namespace {

using platform::ShellRequest;

struct OpenLinkFixture : ::testing::Test {
  OpenLinkFixture() { host.set_shell(shell); }
  testing::RecordingMessageBox box;
  testing::RecordingShell shell;
  platform::Host host{box};
  ui::OpenLink link{host};
};

using ExecuteLink = OpenLinkFixture;

TEST_F(ExecuteLink, WithoutALinkDoesNothing) {
  EXPECT_EQ(link.Link(), "");
  link.ExecuteLink();
  link.ExecuteLink("", ui::SW_SHOWMAXIMIZED, "/tmp");
  EXPECT_TRUE(shell.requests().empty());
  EXPECT_TRUE(box.messages().empty());
}

TEST_F(ExecuteLink, StoresTheLinkAndOpensItAgainLater) {
  link.ExecuteLink("https://a.example/");
  EXPECT_EQ(link.Link(), "https://a.example/");
  link.ExecuteLink();
  link.Link("notes.txt");
  EXPECT_EQ(link.Link(), "notes.txt");
  link.ExecuteLink("", ui::SW_SHOWMINIMIZED, "/srv/docs");
  const std::vector<ShellRequest> expected{
      {"open", "https://a.example/", "", "1", 1},
      {"open", "https://a.example/", "", "1", 1},
      {"open", "notes.txt", "", "/srv/docs", 2},
  };
  EXPECT_EQ(shell.requests(), expected);
}

TEST_F(ExecuteLink, PassesTheWindowStateUnchecked) {
  link.ExecuteLink("x", static_cast<ui::WINDOW_STATES>(0));
  link.ExecuteLink("x", static_cast<ui::WINDOW_STATES>(-7));
  link.ExecuteLink("x", ui::SW_SHOWMAXIMIZED);
  ASSERT_EQ(shell.requests().size(), 3u);
  EXPECT_EQ(shell.requests()[0].show_command, 0);
  EXPECT_EQ(shell.requests()[1].show_command, -7);
  EXPECT_EQ(shell.requests()[2].show_command, 3);
}

TEST_F(ExecuteLink, WarnsForResultsFromZeroToThirtyTwoOnly) {
  struct Case {
    std::int32_t result;
    bool warns;
  };
  for (const Case& c : {Case{0, true}, Case{2, true}, Case{3, true}, Case{31, true},
                        Case{32, true}, Case{33, false}, Case{42, false}, Case{-1, false},
                        Case{INT_MIN, false}, Case{INT_MAX, false}}) {
    box.clear();
    shell.set_result(c.result);
    link.ExecuteLink("ab");
    if (c.warns) {
      ASSERT_EQ(box.messages().size(), 1u) << c.result;
      EXPECT_EQ(box.messages()[0],
                (platform::Message{"Error jumping to/launching:ab", 48, "Warning"}));
    } else {
      EXPECT_TRUE(box.messages().empty()) << c.result;
    }
  }
}

class ThrowingBox final : public platform::MessageBox {
 protected:
  int present(const platform::Message&) override { throw std::runtime_error("no screen"); }
};

TEST_F(ExecuteLink, RaisesNothingEvenWhenTheWarningFails) {
  ThrowingBox broken;
  host.set_message_box(broken);
  shell.set_result(platform::shell_result::file_not_found);
  EXPECT_NO_THROW(link.ExecuteLink("missing.doc"));
  EXPECT_EQ(shell.requests().size(), 1u);
}

}  // namespace
}  // namespace quillfern
