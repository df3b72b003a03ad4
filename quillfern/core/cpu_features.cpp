#include "quillfern/core/cpu_features.hpp"

namespace quillfern::cpu {
namespace {

Features detect() noexcept {
  Features found;
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  found.ssse3 = __builtin_cpu_supports("ssse3") != 0;
  found.avx2 = __builtin_cpu_supports("avx2") != 0;
  found.avx512bw = __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0;
#endif
  return found;
}

}  // namespace

const Features& features() noexcept {
  static const Features cached = detect();
  return cached;
}

}  // namespace quillfern::cpu
