#include "quillfern/core/cpu_features.hpp"

#include <cstdlib>

#include "quillfern/core/ascii.hpp"

namespace quillfern::cpu {
namespace {

Features detect() noexcept {
  Features found;
#if QUILLFERN_X86_KERNELS
  __builtin_cpu_init();
  found.ssse3 = __builtin_cpu_supports("ssse3") != 0;
  found.avx2 = __builtin_cpu_supports("avx2") != 0;
  found.avx512bw = __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0;
#endif
  return found;
}

Kernel highest_supported() noexcept {
  Kernel best = Kernel::portable;
  for (Kernel kernel : kernel_levels) {
    if (supported(kernel)) best = kernel;
  }
  return best;
}

}  // namespace

const Features& features() noexcept {
  static const Features cached = detect();
  return cached;
}

std::string_view to_string(Kernel kernel) noexcept {
  switch (kernel) {
    case Kernel::portable: return "portable";
    case Kernel::ssse3: return "ssse3";
    case Kernel::avx2: return "avx2";
    case Kernel::avx512: return "avx512";
  }
  return "unknown";
}

std::optional<Kernel> kernel_named(std::string_view name) noexcept {
  for (Kernel kernel : kernel_levels) {
    if (ascii::equal_ignoring_case(name, to_string(kernel))) return kernel;
  }
  return std::nullopt;
}

bool supported(Kernel kernel) noexcept {
  if (kernel == Kernel::portable) return true;
#if QUILLFERN_X86_KERNELS
  const Features& f = features();
  switch (kernel) {
    case Kernel::portable: return true;
    case Kernel::ssse3: return f.ssse3;
    case Kernel::avx2: return f.avx2;
    case Kernel::avx512: return f.avx512bw;
  }
#endif
  return false;
}

Kernel capped_level(const char* setting, Kernel best) noexcept {
  if (setting == nullptr || *setting == '\0') return best;
  const std::optional<Kernel> cap = kernel_named(setting);
  if (!cap) return Kernel::portable;
  return *cap < best ? *cap : best;
}

Kernel kernel_level() noexcept {
  static const Kernel level = capped_level(std::getenv("QUILLFERN_KERNELS"), highest_supported());
  return level;
}

Kernel pick(std::span<const Kernel> offered, Kernel wanted) noexcept {
  Kernel chosen = Kernel::portable;
  for (Kernel kernel : offered) {
    if (kernel <= wanted && kernel > chosen && supported(kernel)) chosen = kernel;
  }
  return chosen;
}

}  // namespace quillfern::cpu
