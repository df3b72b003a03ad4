// Helpers shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "quillfern/core/cpu_features.hpp"
#include "quillfern/core/error.hpp"

namespace quillfern::cpu {
// Kernel levels by name in the tests' messages.
inline void PrintTo(Kernel kernel, std::ostream* out) { *out << to_string(kernel); }
}  // namespace quillfern::cpu

namespace quillfern::test {

// Asserts that `statement` throws quillfern::Error with `number`.
#define EXPECT_QF_ERROR(statement, expected)                                   \
  do {                                                                         \
    try {                                                                      \
      statement;                                                               \
      ADD_FAILURE() << "expected error " << static_cast<int>(expected);        \
    } catch (const ::quillfern::Error& qf_error_) {                            \
      EXPECT_EQ(qf_error_.number(), expected) << qf_error_.what();             \
    }                                                                          \
  } while (false)

// A text of `length` characters with codes in [low, high], reproducible
// from `seed`.
inline std::string random_text(std::size_t length, unsigned seed, int low = 0, int high = 255) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> dist(low, high);
  std::string out(length, '\0');
  for (char& ch : out) ch = static_cast<char>(dist(gen));
  return out;
}

// The seed of the random property tests: QUILLFERN_TEST_SEED, or a fixed
// default; every test that uses it prints it.
inline unsigned test_seed() {
  const char* env = std::getenv("QUILLFERN_TEST_SEED");
  return env != nullptr ? static_cast<unsigned>(std::strtoul(env, nullptr, 10)) : 20261207u;
}

// "ok:" and the result of `call`, or "error N" for the quillfern::Error
// it raised: two calls compare equal when they give the same answer.
template <typename F>
std::string outcome(F&& call) {
  try {
    return "ok:" + call();
  } catch (const Error& e) {
    return "error " + std::to_string(e.code());
  }
}

// Tests run once per kernel level; a level this processor does not run is
// skipped.
class PerKernelLevel : public ::testing::TestWithParam<cpu::Kernel> {
 protected:
  void SetUp() override {
    if (!cpu::supported(GetParam())) {
      GTEST_SKIP() << "this processor does not run the " << cpu::to_string(GetParam()) << " level";
    }
  }
};

}  // namespace quillfern::test
