#include "quillfern/core/cpu_features.hpp"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quillfern {
namespace {

// Every thread that asks first sees the one cached answer.
TEST(CpuFeatures, AreDetectedOnceForEveryThread) {
  std::vector<const cpu::Features*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (auto& slot : seen) threads.emplace_back([&slot] { slot = &cpu::features(); });
  for (auto& thread : threads) thread.join();
  for (const cpu::Features* features : seen) EXPECT_EQ(features, &cpu::features());
}

// The sets build on each other on every processor that has them.
TEST(CpuFeatures, WiderSetsComeWithTheNarrowerOnes) {
  const cpu::Features& features = cpu::features();
  EXPECT_TRUE(!features.avx512bw || features.avx2);
  EXPECT_TRUE(!features.avx2 || features.ssse3);
}

}  // namespace
}  // namespace quillfern
