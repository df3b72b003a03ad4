#include "quillfern/core/cpu_features.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

namespace quillfern {
namespace {

using cpu::Kernel;

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
  for (std::size_t i = 1; i < cpu::kernel_levels.size(); ++i) {
    EXPECT_TRUE(!cpu::supported(cpu::kernel_levels[i]) || cpu::supported(cpu::kernel_levels[i - 1]))
        << cpu::to_string(cpu::kernel_levels[i]);
  }
  EXPECT_TRUE(cpu::supported(Kernel::portable));
}

TEST(CpuKernels, AreKnownByTheirNames) {
  for (Kernel kernel : cpu::kernel_levels) EXPECT_EQ(cpu::kernel_named(cpu::to_string(kernel)), kernel);
  EXPECT_EQ(cpu::kernel_named("AVX2"), Kernel::avx2);
  EXPECT_EQ(cpu::kernel_named("Portable"), Kernel::portable);
  for (const char* other : {"", "scalar", "avx", "avx-512", "avx2 ", "sse3"}) {
    EXPECT_FALSE(cpu::kernel_named(other).has_value()) << other;
  }
}

// What QUILLFERN_KERNELS allows on processors of each level.
TEST(CpuKernels, TheVariableCapsTheLevel) {
  struct Case {
    const char* setting;
    Kernel best;
    Kernel level;
  };
  const Case cases[] = {
      {nullptr, Kernel::avx512, Kernel::avx512},  {"", Kernel::avx2, Kernel::avx2},
      {"portable", Kernel::avx512, Kernel::portable}, {"PORTABLE", Kernel::ssse3, Kernel::portable},
      {"ssse3", Kernel::avx512, Kernel::ssse3},   {"avx2", Kernel::avx512, Kernel::avx2},
      {"avx2", Kernel::ssse3, Kernel::ssse3},     {"avx512", Kernel::avx2, Kernel::avx2},
      {"avx512", Kernel::portable, Kernel::portable}, {"none", Kernel::avx512, Kernel::portable},
      {"0", Kernel::avx2, Kernel::portable},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cpu::capped_level(c.setting, c.best), c.level)
        << (c.setting != nullptr ? c.setting : "(unset)") << " on " << cpu::to_string(c.best);
  }
}

// ctest runs the KernelChoice tests once more with QUILLFERN_KERNELS set.
TEST(KernelChoice, TheLibraryLevelIsTheProcessorsCappedByTheVariable) {
  Kernel best = Kernel::portable;
  for (Kernel kernel : cpu::kernel_levels) {
    if (cpu::supported(kernel)) best = kernel;
  }
  const char* setting = std::getenv("QUILLFERN_KERNELS");
  EXPECT_EQ(cpu::kernel_level(), cpu::capped_level(setting, best))
      << "QUILLFERN_KERNELS=" << (setting != nullptr ? setting : "(unset)");
  EXPECT_TRUE(cpu::supported(cpu::kernel_level()));
}

TEST(CpuKernels, AFamilyRunsItsHighestSupportedKernelAtMostTheOneAskedFor) {
  constexpr Kernel two[] = {Kernel::portable, Kernel::avx2};
  EXPECT_EQ(cpu::pick(two, Kernel::portable), Kernel::portable);
  EXPECT_EQ(cpu::pick(two, Kernel::ssse3), Kernel::portable);
  const Kernel with_avx2 = cpu::supported(Kernel::avx2) ? Kernel::avx2 : Kernel::portable;
  EXPECT_EQ(cpu::pick(two, Kernel::avx2), with_avx2);
  EXPECT_EQ(cpu::pick(two, Kernel::avx512), with_avx2);
  Kernel expected = Kernel::portable;
  for (Kernel kernel : cpu::kernel_levels) {
    if (cpu::supported(kernel)) expected = kernel;
    EXPECT_EQ(cpu::pick(cpu::kernel_levels, kernel), expected) << cpu::to_string(kernel);
  }
}

}  // namespace
}  // namespace quillfern
