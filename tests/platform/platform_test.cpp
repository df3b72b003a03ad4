#include <gtest/gtest.h>

#include <sstream>

#include "quillfern/core/codepage.hpp"
#include "quillfern/platform/message_box.hpp"
#include "quillfern/platform/property_bag.hpp"
#include "support.hpp"

namespace quillfern {
namespace {

// The default message box of hosts without one: one `TITLE: TEXT` line per
// message, codes as they are, the application title when none is given.
TEST(StreamMessageBox, WritesOneLinePerMessageOrDropsThem) {
  std::ostringstream out;
  platform::StreamMessageBox box(out);
  EXPECT_EQ(box.show("Access Denied", 0, "Oldvane"), platform::answer_ok);
  EXPECT_EQ(box.show(std::string_view("a\xff\0b", 4), 48), platform::answer_ok);
  EXPECT_EQ(out.str(), std::string("Oldvane: Access Denied\nquillfern: a\xff\0b\n", 39));

  platform::StreamMessageBox silent;
  EXPECT_EQ(silent.show("ERROR Zero!", 0), platform::answer_ok);
}

TEST(PropertyBag, RoundTripsEveryTypeThroughItsTextForm) {
  platform::PropertyBag bag;
  bag.write("Enabled", Bool{false}, Bool{true});
  bag.write("Count", std::int16_t{-7}, Empty{});
  bag.write("Big", std::int32_t{100000}, Empty{});
  bag.write("Small", std::uint8_t{200}, Empty{});
  bag.write("Ratio", 0.1, Empty{});
  bag.write("Caption", std::string("a \"b\"\n\\\xff"), Empty{});
  const std::string text = bag.to_text();
  EXPECT_NE(text.find("Enabled = Boolean False"), std::string::npos) << text;
  EXPECT_EQ(platform::PropertyBag::from_text(text), bag);
}

TEST(PropertyBag, NamesIgnoreCaseAndDefaultsAreNotKept) {
  platform::PropertyBag bag;
  bag.write("Enabled", Bool{false}, Bool{true});
  EXPECT_EQ(bag.read("ENABLED", Bool{true}), Variant(Bool{false}));
  bag.write("enabled", Bool{true}, Bool{true});
  EXPECT_TRUE(bag.empty());
  EXPECT_EQ(bag.read("Enabled", Bool{true}), Variant(Bool{true}));
}

TEST(PropertyBag, RefusesMalformedTextNamingTheLine) {
  for (const char* text : {"Enabled", "Enabled = Boolean Maybe", "X = String \"open",
                           "X = Integer 40000", "= Boolean True", "X = Unknown 1",
                           "X = String \"\\x4\""}) {
    try {
      (void)platform::PropertyBag::from_text(std::string("# bag\n") + text + "\n");
      ADD_FAILURE() << text;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), ErrorNumber::invalid_call);
      EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
    }
  }
}

TEST(CodePages, MapAll256CodesToDistinctCharactersAndBack) {
  for (CodePage page : {CodePage::cp1252, CodePage::latin1}) {
    std::string all;
    for (int code = 0; code < 256; ++code) all += static_cast<char>(code);
    const std::string utf8 = to_utf8(all, page);
    EXPECT_EQ(from_utf8(utf8, page), all) << to_string(page);
  }
  EXPECT_EQ(to_utf8("\x80\x8a\x9f\xe9", CodePage::cp1252), "\u20ac\u0160\u0178\u00e9");
  EXPECT_EQ(to_utf8("\x80", CodePage::latin1), "\u0080");
  EXPECT_EQ(from_utf8("\u20ac", CodePage::cp1252), "\x80");
  EXPECT_EQ(from_utf8("\u0081", CodePage::cp1252), "\x81") << "undefined codes keep their C1 value";
}

TEST(CodePages, RefuseCharactersTheyLackAndMalformedUtf8) {
  struct Case {
    std::string input;
    CodePage page;
    std::size_t offset;
  };
  for (const Case& c : {Case{"ab\u4e2d", CodePage::cp1252, 2}, Case{"\u20ac", CodePage::latin1, 0},
                        Case{"\u0080", CodePage::cp1252, 0}, Case{"a\xc3", CodePage::cp1252, 1},
                        Case{"\xc0\x80", CodePage::latin1, 0}, Case{"\xed\xa0\x80", CodePage::latin1, 0},
                        Case{"x\xff", CodePage::latin1, 1}}) {
    try {
      (void)from_utf8(c.input, c.page);
      ADD_FAILURE() << c.input;
    } catch (const EncodingError& e) {
      EXPECT_EQ(e.offset(), c.offset) << e.what();
    }
  }
}

TEST(CodePages, ParseTheirNames) {
  EXPECT_EQ(parse_code_page("CP1252"), CodePage::cp1252);
  EXPECT_EQ(parse_code_page("windows-1252"), CodePage::cp1252);
  EXPECT_EQ(parse_code_page("latin1"), CodePage::latin1);
  EXPECT_EQ(parse_code_page("ISO-8859-1"), CodePage::latin1);
  EXPECT_EQ(parse_code_page("none"), CodePage::none);
  EXPECT_EQ(parse_code_page("utf8"), std::nullopt);
}

}  // namespace
}  // namespace quillfern
