// The instruction sets of the processor that the library's kernels can use,
// detected once per process and read from a cache after that.
#pragma once

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

}  // namespace quillfern::cpu
