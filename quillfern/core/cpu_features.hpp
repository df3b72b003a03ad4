// The instruction sets of the processor that the library's kernels can use,
// detected once per process and read from a cache after that, and the one
// way every operation family picks its kernel from them.
//
// Kernels are named by level, each level a superset of the one before:
// `portable` (plain C++, on every processor), `ssse3`, `avx2` and `avx512`
// (AVX-512 F and BW). A family offers the levels it has code for and runs
// the highest of them that the processor supports and QUILLFERN_KERNELS
// allows; every kernel of a family gives exactly the bytes of its portable
// one. Internal: not installed.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

// The vector kernels are built for x86 with a compiler that takes
// per-function target attributes; elsewhere only the portable ones exist.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define QUILLFERN_X86_KERNELS 1
#define QUILLFERN_TARGET_SSSE3 __attribute__((target("ssse3")))
#define QUILLFERN_TARGET_AVX2 __attribute__((target("avx2")))
#define QUILLFERN_TARGET_AVX512 __attribute__((target("avx512f,avx512bw")))
#else
#define QUILLFERN_X86_KERNELS 0
#endif

namespace quillfern::cpu {

struct Features {
  bool ssse3 = false;
  bool avx2 = false;
  bool avx512bw = false;  // AVX-512 F and BW together
};

// The features of the processor the process runs on. The first call
// detects them (any thread may make it); later calls read the cache.
// All false on processors other than x86.
[[nodiscard]] const Features& features() noexcept;

// The kernel levels, lowest first.
enum class Kernel : unsigned char { portable, ssse3, avx2, avx512 };
inline constexpr std::array<Kernel, 4> kernel_levels = {Kernel::portable, Kernel::ssse3, Kernel::avx2,
                                                        Kernel::avx512};

// "portable", "ssse3", "avx2" or "avx512".
[[nodiscard]] std::string_view to_string(Kernel kernel) noexcept;
// The level of one of those names (ASCII case ignored), or nothing.
[[nodiscard]] std::optional<Kernel> kernel_named(std::string_view name) noexcept;

// True when this build has vector code for the level and the processor
// runs it; always true for `portable`.
[[nodiscard]] bool supported(Kernel kernel) noexcept;

// The highest level the processor supports, `best`, capped by `setting`,
// a value of QUILLFERN_KERNELS (null when the variable is unset): a level's
// name caps at that level, an empty value caps nothing, and any other
// value means `portable`.
[[nodiscard]] Kernel capped_level(const char* setting, Kernel best) noexcept;

// The level the library's operations run at: the processor's highest,
// capped by the environment variable QUILLFERN_KERNELS. Both are read on
// the first call only.
[[nodiscard]] Kernel kernel_level() noexcept;

// The kernel a family that has code for the levels `offered` (portable
// among them) runs when asked for `wanted`: the highest offered level, at
// most `wanted`, that the processor supports; portable at the least.
[[nodiscard]] Kernel pick(std::span<const Kernel> offered, Kernel wanted) noexcept;

}  // namespace quillfern::cpu
