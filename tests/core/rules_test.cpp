#include "quillfern/core/rules.hpp"

#include <gtest/gtest.h>

#include "support.hpp"

namespace quillfern {
namespace {

using namespace rules;

TEST(Rules, AscReadsTheFirstCodeAndRefusesTheEmptyText) {
  EXPECT_EQ(asc("A"), 65);
  EXPECT_EQ(asc("\xff" "b"), 255);
  EXPECT_EQ(asc(std::string_view("\0", 1)), 0);
  EXPECT_QF_ERROR((void)asc(""), ErrorNumber::invalid_call);
}

TEST(Rules, ChrAcceptsExactlyTheCodes0To255) {
  EXPECT_EQ(chr(0), '\0');
  EXPECT_EQ(static_cast<unsigned char>(chr(255)), 255);
  EXPECT_QF_ERROR((void)chr(256), ErrorNumber::invalid_call);
  EXPECT_QF_ERROR((void)chr(-1), ErrorNumber::invalid_call);
  // A 16-bit pattern with its top bit set arrives as a negative code.
  const std::int16_t pattern = xor16(0x00F0, static_cast<std::int16_t>(-245));
  EXPECT_LT(pattern, 0);
  EXPECT_QF_ERROR((void)chr(pattern), ErrorNumber::invalid_call);
}

TEST(Rules, SixteenBitArithmeticOverflowsAtItsLimits) {
  struct Case {
    std::int64_t value;
    bool fits;
  };
  for (Case c : {Case{32767, true}, Case{32768, false}, Case{-32768, true}, Case{-32769, false}}) {
    SCOPED_TRACE(c.value);
    if (c.fits) {
      EXPECT_EQ(to_int16(c.value), c.value);
    } else {
      EXPECT_QF_ERROR((void)to_int16(c.value), ErrorNumber::overflow);
    }
  }
  EXPECT_EQ(add16(32766, 1), 32767);
  EXPECT_QF_ERROR((void)add16(32767, 1), ErrorNumber::overflow);
  EXPECT_QF_ERROR((void)sub16(-32768, 1), ErrorNumber::overflow);
  EXPECT_QF_ERROR((void)mul16(16384, 2), ErrorNumber::overflow);
  EXPECT_EQ(mul16(16383, 2), 32766);
  // Exclusive-or and complement never fail.
  EXPECT_EQ(xor16(32767, -1), -32768);
  EXPECT_EQ(not16(0), -1);
}

TEST(Rules, LengthsAndBytesConvertWithinTheirRanges) {
  EXPECT_EQ(length16(std::string(32767, 'a')), 32767);
  EXPECT_QF_ERROR((void)length16(std::string(32768, 'a')), ErrorNumber::overflow);
  EXPECT_EQ(to_byte(255), 255);
  EXPECT_QF_ERROR((void)to_byte(256), ErrorNumber::overflow);
  EXPECT_QF_ERROR((void)to_byte(-1), ErrorNumber::overflow);
}

TEST(Rules, ACountedLoopToTheLargestCounterFailsAfterItsLastPass) {
  EXPECT_NO_THROW(finish_loop16(32766));
  EXPECT_QF_ERROR(finish_loop16(32767), ErrorNumber::overflow);
  EXPECT_EQ(max_loop16_length, 32766u);
}

TEST(Errors, CarryTheirNumberAndStandardDescription) {
  struct Case {
    ErrorNumber number;
    std::string_view text;
  };
  for (Case c : {Case{ErrorNumber::invalid_call, "Invalid procedure call or argument"},
                 Case{ErrorNumber::overflow, "Overflow"},
                 Case{ErrorNumber::file_not_found, "File not found"},
                 Case{ErrorNumber::bad_file_name, "Bad file name or number"},
                 Case{ErrorNumber::device_io, "Device I/O error"},
                 Case{ErrorNumber::disk_full, "Disk full"},
                 Case{ErrorNumber::permission_denied, "Permission denied"},
                 Case{ErrorNumber::path_file_access, "Path/File access error"},
                 Case{ErrorNumber::path_not_found, "Path not found"}}) {
    Error error(c.number);
    EXPECT_EQ(error.description(), c.text);
    EXPECT_EQ(std::string_view(error.what()), c.text);
  }
  Error detailed(ErrorNumber::file_not_found, "a.txt");
  EXPECT_EQ(detailed.code(), 53);
  EXPECT_EQ(std::string_view(detailed.what()), "File not found: a.txt");
}

}  // namespace
}  // namespace quillfern
