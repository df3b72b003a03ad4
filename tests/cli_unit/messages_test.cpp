#include "cli/messages.hpp"

#include <gtest/gtest.h>

namespace quillfern::cli {
namespace {

TEST(Messages, EscapeEverythingATerminalCouldTakeAsAControl) {
  struct Case {
    std::string text;
    std::string shown;
  };
  for (const Case& c : {
           Case{"report.txt", "report.txt"},
           Case{"caf\xc3\xa9 \xe4\xb8\xad.txt", "caf\xc3\xa9 \xe4\xb8\xad.txt"},  // printable UTF-8 stays
           Case{"a\033b", "a\\033b"},
           Case{"a\033]0;title\007", "a\\033]0;title\\007"},
           Case{"line\nnext\ttab\rback", "line\\nnext\\ttab\\rback"},
           Case{std::string("nul\0end", 7), "nul\\000end"},
           Case{"del\x7f", "del\\177"},
           Case{"back\\slash", "back\\\\slash"},     // so that a\033b and a\\033b differ
           Case{"c1 \xc2\x9b" "31m", "c1 \\302\\23331m"},  // U+009B, a control sequence introducer
           Case{"raw \x9b", "raw \\233"},            // not UTF-8
           Case{"cut \xe4\xb8", "cut \\344\\270"},   // a character cut short
           Case{"bidi \xe2\x80\xae" "txt.exe", "bidi \\342\\200\\256txt.exe"},  // U+202E
           Case{"\xe2\x81\xa6x", "\\342\\201\\246x"},  // U+2066
       }) {
    EXPECT_EQ(printable(c.text), c.shown);
  }
}

}  // namespace
}  // namespace quillfern::cli
