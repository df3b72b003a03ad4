#include "quillfern/control/encryption.hpp"

#include <gtest/gtest.h>

#include "quillfern/core/identity.hpp"
#include "control/control_fixture.hpp"
#include "support.hpp"

namespace quillfern {
namespace {

using Fixture = ControlFixture;

using EnabledProperty = Fixture;

TEST_F(EnabledProperty, StartsTrueAndEveryWriteNotifiesOnce) {
  EXPECT_TRUE(control.Enabled());
  control.Enabled(false);
  EXPECT_FALSE(control.Enabled());
  EXPECT_EQ(container.changed, std::vector<std::string>{"Enabled"});
  control.Enabled(false);  // the same value notifies all the same
  control.Enabled(true);
  EXPECT_EQ(container.changed, (std::vector<std::string>{"Enabled", "Enabled", "Enabled"}));
  // The flag lives in the container-facing base.
  EXPECT_TRUE(control.base_enabled());
}

TEST_F(EnabledProperty, PersistsUnderEnabledWithDefaultTrue) {
  platform::PropertyBag bag;
  control.WriteProperties(bag);
  EXPECT_TRUE(bag.empty()) << "a value equal to its default is not kept";

  control.Enabled(false);
  control.WriteProperties(bag);
  EXPECT_EQ(bag.find("Enabled"), Variant(Bool{false}));

  container.changed.clear();
  Encryption loaded(host, &container);
  loaded.ReadProperties(bag);
  EXPECT_FALSE(loaded.Enabled());
  EXPECT_TRUE(container.changed.empty()) << "loading sends no notification";

  loaded.ReadProperties(platform::PropertyBag{});
  EXPECT_TRUE(loaded.Enabled()) << "a bag without Enabled reads as true";
}

TEST_F(EnabledProperty, LoadsAnyNonZeroValueAsTrue) {
  struct Case {
    Variant stored;
    bool expected;
  };
  for (const Case& c : {Case{std::int16_t{-1}, true}, Case{std::int16_t{0}, false},
                        Case{std::int32_t{7}, true}, Case{0.0, false}, Case{Bool{true}, true},
                        Case{std::string("0"), false}, Case{std::string("FALSE"), false},
                        Case{std::string("True"), true}}) {
    platform::PropertyBag bag;
    bag.write("Enabled", c.stored, Empty{});
    control.ReadProperties(bag);
    EXPECT_EQ(control.Enabled(), c.expected) << type_name(c.stored);
  }
}

TEST_F(EnabledProperty, SurvivesTheBagsTextForm) {
  control.Enabled(false);
  platform::PropertyBag bag;
  control.WriteProperties(bag);
  const auto restored = platform::PropertyBag::from_text(bag.to_text());
  Encryption loaded(host);
  loaded.ReadProperties(restored);
  EXPECT_FALSE(loaded.Enabled());
}

TEST_F(EnabledProperty, DoesNotChangeWhatMethodsReturn) {
  std::string enabled_out, disabled_out;
  control.EncryptPassword(std::uint8_t{4}, "Password", enabled_out);
  control.Enabled(false);
  control.EncryptPassword(std::uint8_t{4}, "Password", disabled_out);
  EXPECT_EQ(enabled_out, disabled_out);
}

using HideEvent = Fixture;

TEST_F(HideEvent, IsRaisedWhenTheContainerReportsTheControlHidden) {
  control.hidden();
  EXPECT_EQ(container.events, std::vector<std::string>{"Hide"});
  EXPECT_TRUE(container.changed.empty());
}

TEST(Control, WorksWithoutAContainer) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  control.Enabled(false);
  control.hidden();
  EXPECT_FALSE(control.Enabled());
}

TEST(MessageBoxService, CarriesTheApplicationTitleWhenGivenNone) {
  testing::RecordingMessageBox box;
  box.show("ERROR Zero!", platform::style_ok_only);
  box.show("Access Denied", 12, identity::maker_name);
  box.show("x", 48, "");
  ASSERT_EQ(box.messages().size(), 3u);
  EXPECT_EQ(box.messages()[0], (platform::Message{"ERROR Zero!", 0, "quillfern"}));
  EXPECT_EQ(box.messages()[1], (platform::Message{"Access Denied", 12, "Oldvane"}));
  EXPECT_EQ(box.messages()[2].title, "") << "an explicit empty title stays empty";
}

}  // namespace
}  // namespace quillfern
