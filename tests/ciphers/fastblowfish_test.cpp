#include "quillfern/ciphers/fastblowfish_kernels.hpp"

#include <gtest/gtest.h>

#include <numeric>
#include <sstream>

#include "quillfern/ciphers/key_tables.hpp"
#include "quillfern/control/encryption.hpp"
#include "testing/doubles.hpp"
#include "reference/fastblowfish_reference.hpp"
#include "support.hpp"
#include "vectors.hpp"

namespace quillfern {
namespace {

using ciphers::fast_blow_fish;
using cpu::Kernel;

struct Ciphered {
  std::string output;
  std::vector<std::size_t> zeros;
};

Ciphered run(std::string_view text, std::string_view password, Kernel kernel = ciphers::detail::fast_blow_fish_kernel()) {
  Ciphered r;
  r.output = ciphers::detail::fast_blow_fish(kernel, text, password,
                                             [&](std::size_t at) { r.zeros.push_back(at); });
  return r;
}

std::vector<std::size_t> numbers(const std::string& text) {
  std::vector<std::size_t> out;
  std::istringstream in(text);
  for (std::size_t n = 0; in >> n;) out.push_back(n);
  return out;
}

// Through the control: the output and one "ERROR Zero!" box per zero result.
QF_VECTOR_RUNNER("FastBlowFish", [](const test::VectorCase& c) {
  const std::vector<std::size_t> zeros = numbers(c.at("Zeros"));
  EXPECT_EQ(run(c.at("InPutString"), c.at("Password")).zeros, zeros);
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  std::string out = "before";
  control.FastBlowFish(c.at("InPutString"), out, c.at("Password"));
  EXPECT_EQ(out, c.at("OutPut"));
  EXPECT_EQ(box.messages().size(), zeros.size());
  // The step-by-step reference agrees with the file.
  EXPECT_EQ(reference::fast_blow_fish(c.at("InPutString"), c.at("Password")).output, c.at("OutPut"));
});

std::vector<std::string> passwords_for(unsigned seed) {
  std::vector<std::string> out = {"", "a", "\xff", "pw", "abc", "\xf4\xfa\xff"};
  for (std::size_t n : {4u, 7u, 8u, 9u, 16u, 127u, 128u, 129u, 200u}) {
    out.push_back(test::random_text(n, seed + static_cast<unsigned>(n)));
  }
  out.push_back(test::random_text(8, seed + 1000, 32, 126));
  out.push_back(test::random_text(8, seed + 1001, 240, 255));  // wide lookups past the ends
  return out;
}

TEST(FastBlowFish, MatchesTheStepByStepCipherOnRandomTexts) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  const auto passwords = passwords_for(seed);
  for (std::size_t p = 0; p < passwords.size(); ++p) {
    for (std::size_t length : {0u, 1u, 2u, 127u, 128u, 129u, 255u, 256u, 257u, 300u, 1000u, 1793u, 5000u}) {
      const std::string text = test::random_text(length, seed * 7 + static_cast<unsigned>(length + p));
      const auto expected = reference::fast_blow_fish(text, passwords[p]);
      for (Kernel kernel : ciphers::detail::xor_kernels) {
        if (!cpu::supported(kernel)) continue;
        const Ciphered got = run(text, passwords[p], kernel);
        EXPECT_EQ(got.output, expected.output) << "password " << p << " length " << length;
        EXPECT_EQ(got.zeros, expected.zero_positions) << "password " << p << " length " << length;
      }
    }
  }
}

TEST(FastBlowFish, MatchesTheStepByStepCipherPastTwoLongPeriods) {
  // A 200-character password repeats its lookups only every 128 x 199
  // positions; the fast version reuses the second period after that.
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::size_t n : {130u, 200u}) {
    const std::string password = test::random_text(n, seed + 3, 200, 255);
    const std::size_t period = std::lcm(std::size_t{128}, n - 1);
    const std::string text = test::random_text(2 * period + 777, seed + 4);
    const auto expected = reference::fast_blow_fish(text, password);
    const Ciphered got = run(text, password);
    EXPECT_EQ(got.output, expected.output) << n;
    EXPECT_EQ(got.zeros, expected.zero_positions) << n;
  }
}

TEST(FastBlowFish, RoundTripsAndTellsEveryZeroResult) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  const std::vector<std::string> passwords = {"", "k", "\x00\x01", "correct horse battery", "Tr0ub4dor&3"};
  for (const std::string& password : passwords) {
    for (std::size_t length : {1u, 127u, 128u, 129u, 256u, 300u, 1u << 20}) {
      std::string text = test::random_text(length, seed + static_cast<unsigned>(length));
      for (std::size_t i = 0; i < text.size(); i += 5) text[i] = '\0';
      const Ciphered there = run(text, password);
      ASSERT_EQ(there.output.size(), text.size());
      const Ciphered back = run(there.output, password);
      EXPECT_EQ(back.output, text) << "length " << length;
      // Every zero in the output is told, in order, then the fill positions.
      for (const Ciphered* r : {&there, &back}) {
        std::vector<std::size_t> inside;
        for (std::size_t i = 0; i < r->output.size(); ++i) {
          if (r->output[i] == '\0') inside.push_back(i + 1);
        }
        std::vector<std::size_t> told_inside, told_fill;
        for (std::size_t at : r->zeros) (at <= length ? told_inside : told_fill).push_back(at);
        EXPECT_EQ(told_inside, inside);
        const std::size_t processed = (length + 127) / 128 * 128;
        for (std::size_t at : told_fill) EXPECT_LE(at, processed);
        EXPECT_TRUE(std::is_sorted(r->zeros.begin(), r->zeros.end()));
      }
      // Fill positions hold spaces in both directions, so the same ones are told.
      auto fill = [&](const Ciphered& r) {
        std::vector<std::size_t> out;
        for (std::size_t at : r.zeros) if (at > length) out.push_back(at);
        return out;
      };
      EXPECT_EQ(fill(there), fill(back));
    }
  }
}

// The key bytes of a text of `length` codes: the cipher of that many zeros.
std::string key_stream(std::size_t length, std::string_view password) {
  return fast_blow_fish(std::string(length, '\0'), password);
}

TEST(FastBlowFish, EvenLengthPasswordsIgnoreTheTextLength) {
  for (std::string_view password : {"ab", "four", "12345678"}) {
    const std::string shorter = key_stream(100, password);
    EXPECT_EQ(key_stream(1000, password).substr(0, 100), shorter) << password;
    EXPECT_EQ(key_stream(101, password).substr(0, 100), shorter) << password;
  }
  // An odd length brings in the text length mod 256 through the password key.
  const std::string_view odd = "abc";
  EXPECT_EQ(key_stream(266, odd).substr(0, 10), key_stream(10, odd));
  const std::string a = key_stream(10, odd), b = key_stream(11, odd);
  const auto delta = static_cast<unsigned char>(a[0] ^ b[0]);
  const auto keys = static_cast<unsigned char>(ciphers::fast_blow_fish_key(10, odd) ^
                                               ciphers::fast_blow_fish_key(11, odd));
  EXPECT_EQ(delta, keys);
  EXPECT_NE(delta, 0);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(static_cast<unsigned char>(a[i] ^ b[i]), delta);
}

TEST(FastBlowFish, EmptyPasswordGivesOneKeyByteAfterTheFirst) {
  const std::string stream = key_stream(300, "");
  for (std::size_t i = 2; i < stream.size(); ++i) EXPECT_EQ(stream[i], stream[1]) << i;
  // The first key byte differs only through slot A, still 0 at its wide lookup.
  const auto t = [](int n, int at) { return static_cast<unsigned>(*ciphers::key_table_lookup(n, at)); };
  const unsigned first_mix_0 = (0 + t(2, 1)) ^ ((t(4, 3) + t(3, 2)) % 256);
  const unsigned later_mix = (t(5, 7) + t(2, 1)) ^ ((t(4, 3) + t(3, 2)) % 256);
  const unsigned second_mix = (t(5, 7) + t(6, 2)) ^ ((t(8, 9) + t(7, 4)) % 256);
  EXPECT_EQ(static_cast<unsigned char>(stream[0]), (first_mix_0 ^ second_mix) % 256);
  EXPECT_EQ(static_cast<unsigned char>(stream[1]), (later_mix ^ second_mix) % 256);
}

TEST(FastBlowFish, LastPasswordCharacterOnlyEntersThePasswordKey) {
  // Same length, differing only in the last character: one constant
  // exclusive-or apart, (K1 ^ K2) mod 256.
  for (auto [x, y] : {std::pair{"secrea", "secreb"}, std::pair{"q1", "q9"}, std::pair{"abc", "abz"}}) {
    const std::string a = key_stream(500, x), b = key_stream(500, y);
    const auto expected = static_cast<unsigned char>(
        (ciphers::fast_blow_fish_key(500, x) ^ ciphers::fast_blow_fish_key(500, y)) % 256);
    for (std::size_t i = 0; i < a.size(); ++i) {
      ASSERT_EQ(static_cast<unsigned char>(a[i] ^ b[i]), expected) << x << " " << i;
    }
  }
  // Password keys 256 apart encipher alike: n ^ codes of 2 and 130 give 4 and 260.
  const std::string p1(2, '\0');
  std::string p2 = p1;
  p2[1] = '\x80';
  EXPECT_EQ(ciphers::fast_blow_fish_key(10, p1) + 256, ciphers::fast_blow_fish_key(10, p2));
  EXPECT_EQ(key_stream(300, p1), key_stream(300, p2));
  // One- and two-character passwords with the same first code share their lookups.
  EXPECT_EQ(static_cast<unsigned char>(key_stream(10, "m")[3] ^ key_stream(10, "m")[4]),
            static_cast<unsigned char>(key_stream(10, "mz")[3] ^ key_stream(10, "mz")[4]));
}

TEST(FastBlowFish, OneChangedCodeChangesOnlyItsPosition) {
  const std::string text = test::random_text(700, 11);
  const std::string out = fast_blow_fish(text, "password1");
  for (std::size_t at : {0u, 127u, 128u, 699u}) {
    std::string changed = text;
    changed[at] = static_cast<char>(changed[at] ^ 0x5a);
    const std::string other = fast_blow_fish(changed, "password1");
    for (std::size_t i = 0; i < text.size(); ++i) {
      EXPECT_EQ(other[i] == out[i], i != at) << at << " " << i;
    }
  }
}

TEST(FastBlowFish, KernelsAgreeOnManyZeros) {
  if (!cpu::supported(Kernel::avx2)) GTEST_SKIP() << "no AVX2 here";
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::size_t length : {1u, 31u, 32u, 63u, 64u, 65u, 1000u, 70000u}) {
    const std::string key = test::random_text(length, seed + 1);
    std::string in = test::random_text(length, seed + 2);
    for (std::size_t i = 0; i < length; i += 3) in[i] = key[i];  // a zero result every third code
    std::vector<std::size_t> zs, za;
    std::string os(length, '\0'), oa(length, '\0');
    auto u = [](const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); };
    auto w = [](std::string& s) { return reinterpret_cast<std::uint8_t*>(s.data()); };
    const std::size_t ns = ciphers::detail::xor_with_key(Kernel::portable, u(in), u(key), w(os), length, 7,
                                                         [&](std::size_t at) { zs.push_back(at); });
    const std::size_t na = ciphers::detail::xor_with_key(Kernel::avx2, u(in), u(key), w(oa), length, 7,
                                                         [&](std::size_t at) { za.push_back(at); });
    EXPECT_EQ(os, oa);
    EXPECT_EQ(zs, za);
    EXPECT_EQ(ns, na);
    EXPECT_EQ(ns, zs.size());
    EXPECT_GE(ns, length / 3);
  }
}

TEST(FastBlowFish, TheControlShowsErrorZeroAndWritesOutPutOnce) {
  testing::RecordingMessageBox box(2);  // the answer is ignored
  platform::Host host(box);
  Encryption control(host);
  std::string out = "unchanged";
  control.FastBlowFish("", out, "pw");
  EXPECT_EQ(out, "");
  EXPECT_TRUE(box.messages().empty());

  // Deciphering a text of codes 0 tells every position.
  const std::string zeros(200, '\0');
  std::string cipher;
  control.FastBlowFish(zeros, cipher, "pw");
  box.clear();
  std::string plain = cipher;
  control.FastBlowFish(plain, plain, "pw");  // the same variable in and out
  EXPECT_EQ(plain, zeros);
  std::size_t fill_zeros = 0;
  for (std::size_t at : run(cipher, "pw").zeros) fill_zeros += at > 200 ? 1 : 0;
  ASSERT_EQ(box.messages().size(), 200 + fill_zeros);
  for (const auto& m : box.messages()) {
    EXPECT_EQ(m, (platform::Message{"ERROR Zero!", 0, "quillfern"}));
  }
}

// A message box that fails: the cipher goes on as if it had been shown.
class FailingBox final : public platform::MessageBox {
 protected:
  int present(const platform::Message&) override { throw std::runtime_error("no display"); }
};

TEST(FastBlowFish, AFailingMessageBoxIsASkippedStep) {
  FailingBox box;
  platform::Host host(box);
  Encryption control(host);
  std::string out;
  control.FastBlowFish(std::string(10, '\0'), out, "");
  std::string back;
  control.FastBlowFish(out, back, "");
  EXPECT_EQ(back, std::string(10, '\0'));
}

}  // namespace
}  // namespace quillfern
