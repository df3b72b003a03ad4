// The keyed ciphers as streams: a text cut into pieces at random places
// (empty pieces and single codes included, sometimes transformed in place)
// gives exactly what the whole-text functions give, with the same zero
// results, losses and verdicts.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "quillfern/ciphers/cipher_text.hpp"
#include "quillfern/ciphers/fastblowfish.hpp"
#include "quillfern/ciphers/fastblowfish_stream.hpp"
#include "quillfern/ciphers/textbox.hpp"
#include "support.hpp"

namespace quillfern {
namespace {

using ciphers::CipherVerdict;

// Piece lengths that add up to `length`: mostly short, some empty, some
// long, so that cuts fall at every kind of place (inside a block, at a
// block border, inside the password block).
std::vector<std::size_t> random_cuts(std::size_t length, std::mt19937& gen) {
  std::vector<std::size_t> pieces;
  std::uniform_int_distribution<int> kind(0, 9);
  std::size_t left = length;
  while (left > 0) {
    std::size_t piece = 0;
    switch (kind(gen)) {
      case 0: piece = 0; break;
      case 1: piece = 1; break;
      case 2: piece = std::uniform_int_distribution<std::size_t>(0, left)(gen); break;
      default: piece = std::uniform_int_distribution<std::size_t>(1, 300)(gen); break;
    }
    piece = std::min(piece, left);
    pieces.push_back(piece);
    left -= piece;
  }
  pieces.push_back(0);
  return pieces;
}

// Feeds `text` to `stream` in random pieces, each transformed in place,
// and returns the results joined; `after_piece` looks at the stream after
// every piece.
template <typename Stream>
std::string cut_and_process(Stream& stream, const std::string& text, std::mt19937& gen,
                            const std::function<void()>& after_piece = {}) {
  std::string out;
  std::size_t at = 0;
  for (std::size_t piece : random_cuts(text.size(), gen)) {
    std::string chunk = text.substr(at, piece);
    at += piece;
    chunk.resize(stream.process(chunk.data(), chunk.size(), chunk.data()));
    out += chunk;
    if (after_piece) after_piece();
  }
  return out;
}

struct Case {
  std::string text;
  std::string password;
};

// Random cases and the corner ones: empty texts and passwords, lengths
// around the block of 128, long passwords (long periods), codes near
// 0 and 255 that make the ciphers drop and cut.
std::vector<Case> cases(unsigned seed) {
  std::vector<Case> out;
  std::mt19937 gen(seed);
  const std::size_t lengths[] = {0, 1, 2, 127, 128, 129, 255, 256, 300, 1000, 5000, 70000};
  const std::size_t passwords[] = {0, 1, 2, 3, 7, 64, 200, 1500};
  for (std::size_t length : lengths) {
    for (std::size_t lp : passwords) {
      const unsigned s = static_cast<unsigned>(gen());
      // Printable text and password most of the time, full range sometimes.
      const bool wide = (s & 3) == 0;
      out.push_back({test::random_text(length, s, wide ? 0 : 32, wide ? 255 : 126),
                     test::random_text(lp, s + 1, wide ? 1 : 33, wide ? 255 : 126)});
    }
  }
  // FastBlowFish key streams that repeat after 75 KiB (the text goes on
  // past two periods, read where they were walked) and only after some
  // megabytes (walked as the text comes instead of kept).
  out.push_back({test::random_text(200000, seed + 4, 0, 15), test::random_text(600, seed + 5)});
  out.push_back({test::random_text(200000, seed + 2, 0, 15), test::random_text(40000, seed + 3)});
  return out;
}

TEST(CipherStreams, FastBlowFishCutAnywhereMatchesTheWholeText) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  for (const Case& c : cases(seed)) {
    std::vector<std::size_t> expected_zeros;
    const std::string expected =
        ciphers::fast_blow_fish(c.text, c.password, [&](std::size_t at) { expected_zeros.push_back(at); });
    for (const bool counted : {false, true}) {
      ciphers::FastBlowFishStream stream(c.text.size(), c.password);
      std::vector<std::size_t> zeros;
      const ciphers::ZeroNotice tell = [&](std::size_t at) { zeros.push_back(at); };
      std::string out;
      std::size_t at = 0;
      for (std::size_t piece : random_cuts(c.text.size(), gen)) {
        std::string chunk = c.text.substr(at, piece);
        at += piece;
        if (gen() & 1) {
          stream.process(chunk.data(), chunk.size(), chunk.data(), counted ? ciphers::ZeroNotice{} : tell);
          out += chunk;
        } else {
          std::string result(piece, '\x5a');
          stream.process(chunk.data(), chunk.size(), result.data(), counted ? ciphers::ZeroNotice{} : tell);
          out += result;
        }
      }
      stream.finish(counted ? ciphers::ZeroNotice{} : tell);
      ASSERT_EQ(out, expected) << "length " << c.text.size() << ", password " << c.password.size();
      EXPECT_EQ(stream.zeros(), expected_zeros.size());
      if (!counted) {
        EXPECT_EQ(zeros, expected_zeros);
      }
    }
  }
}

TEST(CipherStreams, FastBlowFishRefusesCodesPastItsLength) {
  ciphers::FastBlowFishStream stream(3, "pw");
  char buffer[4] = {'a', 'b', 'c', 'd'};
  EXPECT_THROW(stream.process(buffer, 4, buffer), std::length_error);
  EXPECT_EQ(stream.consumed(), 0u);
  EXPECT_EQ(buffer[0], 'a');
  stream.process(buffer, 3, buffer);
  EXPECT_THROW(stream.process(buffer, 1, buffer), std::length_error);
}

TEST(CipherStreams, TextBoxCutAnywhereMatchesTheWholeText) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  for (const Case& c : cases(seed)) {
    // Keys that drop nothing, some codes, most codes, and every code.
    for (const std::uint64_t key : {std::uint64_t{0}, std::uint64_t{3}, std::uint64_t{100},
                                    std::uint64_t{300}, ciphers::text_box_key(c.password)}) {
      for (const auto direction : {ciphers::TextBoxStream::Direction::crypt,
                                   ciphers::TextBoxStream::Direction::decrypt}) {
        const bool crypt = direction == ciphers::TextBoxStream::Direction::crypt;
        const auto expected = crypt ? ciphers::text_box_crypt(c.text, key) : ciphers::text_box_decrypt(c.text, key);
        ciphers::TextBoxStream stream(direction, key);
        const std::string out = cut_and_process(stream, c.text, gen);
        ASSERT_EQ(out, expected.text.value_or("")) << "length " << c.text.size() << ", key " << key;
        EXPECT_EQ(stream.dropped(), expected.dropped);
        EXPECT_EQ(stream.first_dropped(), expected.first_dropped);
        EXPECT_EQ(stream.produced(), out.size());
      }
    }
  }
}

TEST(CipherStreams, EnCipherCutAnywhereMatchesTheWholeText) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  for (const Case& c : cases(seed)) {
    const auto expected = ciphers::encipher_text(c.text, c.password);
    ciphers::EnCipherStream stream(c.password);
    ASSERT_EQ(stream.verdict(), expected.verdict);
    std::string out(c.password.size(), '\0');
    out.resize(stream.begin(out.data()));
    out += cut_and_process(stream, c.text, gen);
    ASSERT_EQ(out, expected.text) << "length " << c.text.size() << ", password " << c.password.size();
    EXPECT_EQ(stream.cut_at(), expected.cut_at);
  }
}

TEST(CipherStreams, DeCipherCutAnywhereMatchesTheWholeText) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  for (const Case& c : cases(seed)) {
    // A right cipher text, a damaged one, and the text itself as one.
    std::vector<std::pair<std::string, std::string>> inputs;
    const std::string cipher = ciphers::encipher_text(c.text, c.password).text;
    std::string damaged = cipher;
    if (damaged.size() > c.password.size() + 5) damaged[c.password.size() + 5] = '\0';
    for (const std::string& input : {cipher, damaged, c.text}) {
      for (const std::string& password : {c.password, c.password + "x", std::string("A")}) {
        const auto expected = ciphers::decipher_text(input, password);
        ciphers::DeCipherStream stream(password);
        const std::string out = cut_and_process(stream, input, gen, [&] {
          // Once decided, the verdict never changes.
          if (stream.decided()) {
            EXPECT_EQ(stream.verdict(), expected.verdict);
          }
        });
        ASSERT_EQ(stream.finish(), expected.verdict);
        if (expected.verdict == CipherVerdict::done) {
          ASSERT_EQ(out, expected.text) << "length " << input.size() << ", password " << password.size();
          EXPECT_EQ(stream.stopped_at(), expected.stopped_at);
        } else {
          EXPECT_TRUE(out.empty());
        }
      }
    }
  }
}

TEST(CipherStreams, DeCipherDecidesAtTheEndOfThePasswordBlock) {
  ciphers::DeCipherStream right("key");
  const std::string cipher = ciphers::encipher_text("plain", "key").text;
  std::string out(cipher.size(), '\0');
  EXPECT_EQ(right.process(cipher.data(), 2, out.data()), 0u);
  EXPECT_FALSE(right.decided());
  EXPECT_EQ(right.process(cipher.data() + 2, 1, out.data()), 0u);
  EXPECT_TRUE(right.decided());
  EXPECT_EQ(right.verdict(), CipherVerdict::done);
  // A first code that differs denies at once; a short cipher text at the end.
  ciphers::DeCipherStream wrong("kez");
  EXPECT_EQ(wrong.process(cipher.data(), 1, out.data()), 0u);
  EXPECT_FALSE(wrong.decided());
  wrong.process(cipher.data() + 1, 2, out.data());
  EXPECT_EQ(wrong.verdict(), CipherVerdict::access_denied);
  ciphers::DeCipherStream short_text("key");
  short_text.process(cipher.data(), 2, out.data());
  EXPECT_EQ(short_text.finish(), CipherVerdict::access_denied);
  EXPECT_EQ(ciphers::DeCipherStream("").verdict(), CipherVerdict::no_password);
}

}  // namespace
}  // namespace quillfern
