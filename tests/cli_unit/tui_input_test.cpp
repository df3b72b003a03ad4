#include "cli/tui/input.hpp"

#include <gtest/gtest.h>

#include <random>

#include "support.hpp"

namespace quillfern::cli::tui {
namespace {

InputEvent key(int code) { return {InputEvent::key, code, 0, 0}; }
InputEvent click(int col, int row) { return {InputEvent::click, 0, col, row}; }
InputEvent alt(int code) { return {InputEvent::access_key, code, 0, 0}; }

// What the bytes give when they all arrive at once and nothing follows.
std::vector<InputEvent> events_of(std::string_view bytes, bool utf8 = true) {
  InputParser parser(utf8);
  std::vector<InputEvent> events = parser.feed(bytes);
  if (parser.waiting()) {
    const std::vector<InputEvent> rest = parser.expire();
    events.insert(events.end(), rest.begin(), rest.end());
  }
  EXPECT_FALSE(parser.waiting());
  return events;
}

TEST(TuiInput, ReadsKeysClicksAndAltKeys) {
  struct Case {
    std::string bytes;
    std::vector<InputEvent> events;
  };
  const Case cases[] = {
      {"ab\r", {key('a'), key('b'), key('\r')}},
      {"\x1b", {key(27)}},                            // Escape alone
      {"\x1bx", {alt('x')}},                          // Alt+x
      {"\x1b\x1b", {alt(27)}},
      {"\x1b[A\x1b[15~\x1bOP", {}},                   // arrows, function keys
      {"\x1b[<0;5;3M", {click(4, 2)}},                // SGR press, 1-based
      {"\x1b[<0;5;3m", {}},                           // its release
      {"\x1b[<2;5;3M\x1b[<1;5;3M", {}},               // right and middle buttons
      {"\x1b[<32;5;3M\x1b[<64;5;3M", {}},             // drags and the wheel
      {"\x1b[<0;5M", {}},                             // malformed
      {"\x1b[M !!", {click(0, 0)}},                   // X10 press
      {"\x1b[M#!!", {}},                              // X10 release
      {"\x1b[M \x2a\x25", {click(9, 4)}},
      {"x\x1b[<0;10;20Mz", {key('x'), click(9, 19), key('z')}},
      {"\xc3\xa9!", {key(0xC3), key('!')}},           // one key per UTF-8 character
      {"\xe2\x82\xac\xf0\x9f\x98\x80", {key(0xE2), key(0xF0)}},
      {"\x1b[", {}},                                  // cut short, nothing follows: dropped
      {"\x1b[<0;5", {}},
      {"\x1b[M !", {}},
      {"\x1bO", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(events_of(c.bytes), c.events) << ::testing::PrintToString(c.bytes);
  // Outside UTF-8 every byte is a key.
  EXPECT_EQ(events_of("\xc3\xa9", false), (std::vector<InputEvent>{key(0xC3), key(0xA9)}));
}

TEST(TuiInput, ASequenceCutShortWaitsForItsRest) {
  InputParser parser(true);
  EXPECT_EQ(parser.feed("a\x1b"), std::vector<InputEvent>{key('a')});
  EXPECT_TRUE(parser.waiting());
  EXPECT_EQ(parser.feed("["), std::vector<InputEvent>{});
  EXPECT_TRUE(parser.waiting());
  EXPECT_EQ(parser.feed("<0;12"), std::vector<InputEvent>{});
  EXPECT_EQ(parser.feed(";7Mq\x1b[M"), (std::vector<InputEvent>{click(11, 6), key('q')}));
  EXPECT_TRUE(parser.waiting());  // an X10 report needs three more bytes
  EXPECT_EQ(parser.feed(" !"), std::vector<InputEvent>{});
  EXPECT_EQ(parser.feed("\""), std::vector<InputEvent>{click(0, 1)});
  EXPECT_FALSE(parser.waiting());

  // A lone escape followed in time is Alt with the key; not followed, it is
  // Escape, and the next bytes start afresh.
  EXPECT_EQ(parser.feed("\x1b"), std::vector<InputEvent>{});
  EXPECT_EQ(parser.feed("o"), std::vector<InputEvent>{alt('o')});
  EXPECT_EQ(parser.feed("\x1b"), std::vector<InputEvent>{});
  EXPECT_EQ(parser.expire(), std::vector<InputEvent>{key(27)});
  EXPECT_FALSE(parser.waiting());
  EXPECT_EQ(parser.feed("o"), std::vector<InputEvent>{key('o')});
  // A sequence never finished is dropped whole.
  EXPECT_EQ(parser.feed("\x1b[<0;1"), std::vector<InputEvent>{});
  EXPECT_EQ(parser.expire(), std::vector<InputEvent>{});
  EXPECT_EQ(parser.feed(";1M"), (std::vector<InputEvent>{key(';'), key('1'), key('M')}));
}

// However the bytes are cut into pieces, the events are those of the whole.
TEST(TuiInput, PiecesOfAnySizeGiveTheEventsOfTheWhole) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  const std::string parts[] = {"a", "Z", "\r", "\x1b[<0;5;3M", "\x1b[<0;5;3m", "\x1b[M !!", "\x1bx",
                               "\x1b[A", "\x1bOP", "\x1b[15~", "\xc3\xa9", "\x7f"};
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    for (int n = 0; n < 12; ++n) bytes += parts[gen() % std::size(parts)];
    const std::vector<InputEvent> whole = events_of(bytes);
    InputParser parser(true);
    std::vector<InputEvent> pieced;
    for (std::size_t at = 0; at < bytes.size();) {
      std::size_t piece = 1 + gen() % 6;
      // A UTF-8 character is read whole: the reads of a terminal never split one.
      while (at + piece < bytes.size() && (static_cast<unsigned char>(bytes[at + piece]) & 0xC0) == 0x80) ++piece;
      const std::vector<InputEvent> got = parser.feed(std::string_view(bytes).substr(at, piece));
      pieced.insert(pieced.end(), got.begin(), got.end());
      at += piece;
    }
    ASSERT_FALSE(parser.waiting()) << ::testing::PrintToString(bytes);
    ASSERT_EQ(pieced, whole) << ::testing::PrintToString(bytes);
  }
}

}  // namespace
}  // namespace quillfern::cli::tui
