#include "quillfern/core/basic_random.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "reference/file_cipher_reference.hpp"
#include "support.hpp"
#include "vectors.hpp"

namespace quillfern {
namespace {

using files::BasicRandom;

QF_VECTOR_RUNNER("BasicRandom", [](const test::VectorCase& c) {
  BasicRandom random(static_cast<std::uint32_t>(c.number("State")));
  if (c.has("Reseed")) random.reseed(static_cast<double>(c.number("Reseed")));
  const std::string& states = c.at("Out");
  ASSERT_EQ(states.size() % 3, 0u);
  for (std::size_t i = 0; i < states.size(); i += 3) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(states[i + k])); };
    const std::uint32_t expected = byte(0) << 16 | byte(1) << 8 | byte(2);
    const float drawn = random.draw();
    EXPECT_EQ(random.state(), expected) << "draw " << i / 3 + 1;
    EXPECT_EQ(drawn, static_cast<float>(expected) / 16777216.0f);
  }
});

TEST(BasicRandom, FirstDrawOfANewRuntime) {
  BasicRandom random;
  EXPECT_EQ(random.state(), 0x50000u);
  EXPECT_NEAR(random.draw(), 0.7055475f, 1e-7f);
}

TEST(BasicRandom, DrawsByteRoundedAndSkipsAgreeWithTheReference) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  for (int round = 0; round < 2000; ++round) {
    const std::uint32_t start = gen() & 0xFFFFFFu;
    BasicRandom fast(start), rounded(start), byte(start);
    reference::ClassicRandom slow{start};
    const float value = slow.draw();
    EXPECT_EQ(fast.draw(), value);
    EXPECT_EQ(rounded.draw_rounded(), reference::round_half_even(value));
    EXPECT_EQ(byte.draw_byte(), static_cast<int>(std::floor(value * 256.0f)));
    const std::uint64_t count = gen() % 3000;
    BasicRandom skipped(start);
    skipped.skip(count);
    reference::ClassicRandom stepped{start};
    for (std::uint64_t k = 0; k < count; ++k) (void)stepped.draw();
    EXPECT_EQ(skipped.state(), stepped.state) << "skip " << count << " from " << start;
  }
}

TEST(BasicRandom, RoundingSendsAnExactHalfToZero) {
  // The state 0x800000 draws exactly 0.5; the previous state is found by
  // inverting one draw (the multiplier is odd, so invertible mod 2^24).
  std::uint32_t inverse = 1;
  for (int i = 0; i < 5; ++i) inverse = (inverse * (2u - BasicRandom::multiplier * inverse)) & 0xFFFFFFu;
  const auto before = [&](std::uint32_t after) {
    return (inverse * ((after - BasicRandom::increment) & 0xFFFFFFu)) & 0xFFFFFFu;
  };
  for (std::uint32_t after : {0x800000u, 0x800001u, 0x7FFFFFu}) {
    BasicRandom random(before(after));
    const int rounded = random.draw_rounded();
    EXPECT_EQ(random.state(), after);
    EXPECT_EQ(rounded, after > 0x800000u ? 1 : 0);
    EXPECT_EQ(rounded, reference::round_half_even(static_cast<float>(after) / 16777216.0f));
  }
}

TEST(BasicRandom, ReseedKeepsTheLowByteAndTakesTheMiddleFromTheDouble) {
  const struct {
    double value;
    std::uint32_t state, expected;
  } cases[] = {
      {0.0, 0xABCDEF, 0x0000EF},     {1.0, 0xABCDEF, 0x3FF0EF},  {-1.0, 0x000001, 0xBFF001},
      {0.5, 0x123456, 0x3FE056},     {2.0, 0, 0x400000},
      // 1234.5678: high word 0x40934A45 gives (0x4A45 ^ 0x4093) << 8.
      {1234.5678, 0x000077, 0x0AD677},
  };
  for (const auto& c : cases) {
    BasicRandom random(c.state);
    random.reseed(c.value);
    reference::ClassicRandom slow{c.state};
    slow.reseed(c.value);
    EXPECT_EQ(random.state(), c.expected) << c.value;
    EXPECT_EQ(slow.state, c.expected) << c.value;
  }
}

// docs/rnd-vectors.txt, the vectors published for other implementations:
// every call of every case, with the state after it and the value it
// returns, through rnd(), randomize() and randomize_timer().
TEST(BasicRandom, PublishedVectorsPass) {
  const std::string path = std::string(QUILLFERN_TEST_DATA) + "/../../docs/rnd-vectors.txt";
  std::ifstream in(path);
  ASSERT_TRUE(in) << path;
  BasicRandom random;
  float timer = 0;
  int line_number = 0, calls = 0;
  std::string line;
  while (std::getline(in, line)) {
    ++line_number;
    if (line.empty() || line.front() == '#') continue;
    SCOPED_TRACE(path + ":" + std::to_string(line_number) + ": " + line);
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "new") {
      std::string state;
      random = BasicRandom(words >> state ? static_cast<std::uint32_t>(std::stoul(state, nullptr, 16)) : BasicRandom::start_state);
      continue;
    }
    if (word == "timer") {
      words >> timer;
      continue;
    }
    std::string argument, arrow;
    words >> argument;
    if (argument == "=>") {
      arrow = argument;
      argument.clear();
    } else {
      words >> arrow;
    }
    ASSERT_EQ(arrow, "=>");
    std::string state_text, value_text;
    words >> state_text >> value_text;
    std::optional<float> value;
    if (word == "rnd") {
      value = random.rnd(argument.empty() ? 1.0f : std::stof(argument));
    } else if (word == "randomize" && argument.empty()) {
      random.randomize_timer(timer);
    } else if (word == "randomize" && argument == "timer") {
      random.randomize(static_cast<double>(timer));
    } else if (word == "randomize") {
      random.randomize(std::stod(argument));
    } else {
      FAIL() << "unknown call";
    }
    ++calls;
    EXPECT_EQ(random.state(), std::stoul(state_text, nullptr, 16));
    ASSERT_EQ(value.has_value(), !value_text.empty());
    if (value) {
      EXPECT_EQ(*value, std::stof(value_text));
      EXPECT_EQ(*value, random.last());
    }
  }
  EXPECT_GE(calls, 40);
}

TEST(BasicRandom, RndDrawsRepeatsOrReseedsBySign) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> positive(1e-30f, 1e30f);
  for (int round = 0; round < 1000; ++round) {
    const std::uint32_t start = gen() & 0xFFFFFFu;
    BasicRandom rnd(start), plain(start);
    EXPECT_EQ(rnd.rnd(positive(gen)), plain.draw());
    EXPECT_EQ(rnd.state(), plain.state());
    const float last = rnd.last();
    EXPECT_EQ(rnd.rnd(0.0f), last);
    EXPECT_EQ(rnd.rnd(-0.0f), last);
    EXPECT_EQ(rnd.state(), plain.state()) << "Rnd(0) does not advance";
    // A negative argument sets the state from its own bits alone.
    const float negative = -positive(gen);
    const auto bits = std::bit_cast<std::uint32_t>(negative);
    BasicRandom other(gen() & 0xFFFFFFu), expected((bits + (bits >> 24)) & 0xFFFFFFu);
    const float value = rnd.rnd(negative);
    EXPECT_EQ(value, other.rnd(negative));
    EXPECT_EQ(value, expected.draw());
    EXPECT_LT(rnd.last(), 1.0f);
  }
}

TEST(BasicRandom, RandomizeFoldsTheDoubleAndTheTimerFoldsTheSingle) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937_64 gen(seed);
  for (int round = 0; round < 1000; ++round) {
    const std::uint32_t start = static_cast<std::uint32_t>(gen()) & 0xFFFFFFu;
    // Any finite double, of either sign and any size: only its upper word counts.
    double value = std::bit_cast<double>(gen());
    if (!std::isfinite(value)) value = -0.0;
    BasicRandom randomized(start), reseeded(start);
    randomized.randomize(value);
    reseeded.reseed(value);
    EXPECT_EQ(randomized.state(), reseeded.state()) << value;
    EXPECT_EQ(randomized.state() & 0xFFu, start & 0xFFu);
    const auto timer = static_cast<float>(static_cast<double>(gen() % 8640000) / 100.0);
    const auto word = std::bit_cast<std::uint32_t>(timer);
    BasicRandom clock(start);
    clock.randomize_timer(timer);
    EXPECT_EQ(clock.state(), (((word & 0xFFFFu) ^ (word >> 16)) << 8 | (start & 0xFFu)) & 0xFFFFFFu) << timer;
  }
}

TEST(BasicRandom, MapsComposeInOrder) {
  const auto a = BasicRandom::steps(17), b = BasicRandom::steps(40);
  EXPECT_EQ(a.then(b).multiplier, BasicRandom::steps(57).multiplier);
  EXPECT_EQ(a.then(b).increment, BasicRandom::steps(57).increment);
  EXPECT_EQ(BasicRandom::steps(0)(0x123456), 0x123456u);
  // The generator's period is 2^24.
  EXPECT_EQ(BasicRandom::steps(std::uint64_t{1} << 24)(0x123456), 0x123456u);
}

}  // namespace
}  // namespace quillfern
