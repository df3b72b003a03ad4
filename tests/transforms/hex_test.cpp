#include "quillfern/transforms/hex_kernels.hpp"

#include <gtest/gtest.h>

#include <random>

#include "quillfern/control/encryption.hpp"
#include "testing/doubles.hpp"
#include "reference/transforms_reference.hpp"
#include "support.hpp"
#include "vectors.hpp"

namespace quillfern {
namespace {

using cpu::Kernel;

QF_VECTOR_RUNNER("convert", [](const test::VectorCase& c) {
  EXPECT_EQ(transforms::convert(c.at("InPutString")), c.at("OutPut"));
  EXPECT_EQ(reference::convert(c.at("InPutString")), c.at("OutPut"));
});
QF_VECTOR_RUNNER("DeConvert", [](const test::VectorCase& c) {
  EXPECT_EQ(transforms::deconvert(c.at("InPutString")), c.at("OutPut"));
  EXPECT_EQ(reference::deconvert(c.at("InPutString")), c.at("OutPut"));
});

std::string convert_with(Kernel kernel, std::string_view text) {
  std::string out(transforms::converted_size(text.size()), '\x55');
  transforms::convert_to(kernel, text, out.data());
  return out;
}

std::string deconvert_with(Kernel kernel, std::string_view hex) {
  std::string out(transforms::deconverted_size(hex.size()), '\x55');
  transforms::deconvert_to(kernel, hex, out.data());
  return out;
}

// A text drawn from `alphabet`.
std::string random_from(std::string_view alphabet, std::size_t length, std::mt19937& gen) {
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string out(length, '\0');
  for (char& ch : out) ch = alphabet[pick(gen)];
  return out;
}

// Lengths around every vector width and its tails, and a few large ones.
std::vector<std::size_t> lengths() {
  std::vector<std::size_t> out;
  for (std::size_t n = 0; n <= 300; ++n) out.push_back(n);
  for (std::size_t n : {511u, 512u, 513u, 1023u, 4096u, 4099u, 65537u}) out.push_back(n);
  return out;
}

using HexKernels = test::PerKernelLevel;

TEST_P(HexKernels, ConvertMatchesThePortableKernel) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::size_t length : lengths()) {
    const std::string text = test::random_text(length, seed + static_cast<unsigned>(length));
    // An odd start exercises unaligned loads.
    const std::string_view shifted = length > 0 ? std::string_view(text).substr(1) : std::string_view{};
    ASSERT_EQ(convert_with(GetParam(), text), convert_with(Kernel::portable, text)) << "length " << length;
    ASSERT_EQ(convert_with(GetParam(), shifted), convert_with(Kernel::portable, shifted)) << "length " << length;
  }
}

TEST_P(HexKernels, DeConvertMatchesThePortableKernelOnAnyInput) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  // Digits of both cases, the blanks the reader skips, and characters next
  // to the digit ranges in the code table ('/', ':', '@', 'G', '`', 'g').
  const std::string_view malformed = "0123456789abcdefABCDEF \t\n\r/:@G`gZ&\x80\xff";
  for (std::size_t length : lengths()) {
    for (const std::string& hex :
         {test::random_text(length, seed + static_cast<unsigned>(length)),
          random_from(malformed, length, gen), random_from("0123456789abcdefABCDEF", length, gen)}) {
      ASSERT_EQ(deconvert_with(GetParam(), hex), deconvert_with(Kernel::portable, hex))
          << "length " << length;
    }
  }
}

TEST_P(HexKernels, ReadsEveryPairAsTheNumberReaderDoes) {
  // All 65536 pairs of characters in one input, so that every pair passes
  // through the vector loop.
  std::string hex;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      hex += static_cast<char>(a);
      hex += static_cast<char>(b);
    }
  }
  const std::string out = deconvert_with(GetParam(), hex);
  ASSERT_EQ(out.size(), 65536u);
  for (std::size_t k = 0; k < out.size(); ++k) {
    const std::string pair = hex.substr(2 * k, 2);
    ASSERT_EQ(static_cast<unsigned char>(out[k]), reference::read_hex_number("&H" + pair))
        << "pair " << static_cast<int>(static_cast<unsigned char>(pair[0])) << ","
        << static_cast<int>(static_cast<unsigned char>(pair[1]));
  }
  // And every code converts to its two digits.
  std::string codes;
  for (int c = 0; c < 256; ++c) codes += static_cast<char>(c);
  EXPECT_EQ(convert_with(GetParam(), codes + codes), reference::convert(codes + codes));
}

TEST_P(HexKernels, LargeOutputsMatchThePortableKernelAtAnyAlignment) {
  // Outputs of 8 MiB and more take the path that writes around the caches;
  // it first brings the destination to a vector boundary.
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  const std::string text = test::random_text((std::size_t{4} << 20) + 77, seed);
  std::mt19937 gen(seed);
  const std::string hex = random_from("0123456789abcdefABCDEF \tZ", (std::size_t{16} << 20) + 5, gen);
  const std::string want_hex = convert_with(Kernel::portable, text);
  const std::string want_codes = deconvert_with(Kernel::portable, hex);
  for (std::size_t offset : {0u, 1u, 2u, 7u}) {
    std::string out(want_hex.size() + offset, '\0');
    transforms::convert_to(GetParam(), text, out.data() + offset);
    ASSERT_TRUE(std::string_view(out).substr(offset) == want_hex) << "offset " << offset;
    out.assign(want_codes.size() + offset, '\0');
    transforms::deconvert_to(GetParam(), hex, out.data() + offset);
    ASSERT_TRUE(std::string_view(out).substr(offset) == want_codes) << "offset " << offset;
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, HexKernels,
                         ::testing::Values(Kernel::portable, Kernel::ssse3, Kernel::avx2,
                                           Kernel::avx512),
                         [](const ::testing::TestParamInfo<Kernel>& kernel_info) {
                           return std::string(cpu::to_string(kernel_info.param));
                         });

TEST(HexConversion, MatchesTheCharacterByCharacterReference) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  for (std::size_t length : {0u, 1u, 2u, 3u, 31u, 64u, 65u, 1000u, 1001u}) {
    const std::string text = test::random_text(length, seed + static_cast<unsigned>(length));
    EXPECT_EQ(transforms::convert(text), reference::convert(text));
    EXPECT_EQ(transforms::deconvert(text), reference::deconvert(text));
    const std::string messy = random_from("0123456789abcdefXYZ \t\n\r", length, gen);
    EXPECT_EQ(transforms::deconvert(messy), reference::deconvert(messy));
  }
}

TEST(HexConversion, RoundTripsAndKeepsLengths) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  for (std::size_t length : {0u, 1u, 17u, 100u, 4097u}) {
    const std::string text = test::random_text(length, seed * 3 + static_cast<unsigned>(length));
    const std::string hex = transforms::convert(text);
    EXPECT_EQ(hex.size(), 2 * text.size());
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(transforms::deconvert(hex), text);
    // Well-formed digits of either case come back upper-cased.
    std::string digits = random_from("0123456789abcdefABCDEF", 2 * length, gen);
    std::string upper = digits;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_EQ(transforms::convert(transforms::deconvert(digits)), upper);
    // Half as many codes, plus one for a lone last character.
    EXPECT_EQ(transforms::deconvert(digits + "7").size(), length + 1);
  }
}

TEST(HexConversion, TheControlWritesOutPutOnce) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  std::string out = "before";
  control.convert("abc", out);
  EXPECT_EQ(out, "616263");
  control.DeConvert(out, out);  // the same variable as input and output
  EXPECT_EQ(out, "abc");
  control.DeConvert("", out);
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace quillfern
