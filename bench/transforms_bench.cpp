// The character transforms. Hexadecimal conversion has no length limit and
// is measured from 1 KiB to 16 MiB, through every vector kernel the
// processor has, into a fresh string and into a reused buffer; throughput
// counts binary bytes (the input of convert, the output of DeConvert). The
// limited transforms run at their longest inputs. Each fast path stands
// beside the character-by-character version.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "../tests/reference/transforms_reference.hpp"
#include "bench_support.hpp"
#include "quillfern/transforms/hex_kernels.hpp"
#include "quillfern/transforms/power.hpp"
#include "quillfern/transforms/seed.hpp"
#include "quillfern/transforms/shift.hpp"

namespace {

using quillfern::bench::random_bytes;
using quillfern::bench::set_bytes;
using quillfern::cpu::Kernel;

// ---- hexadecimal conversion -----------------------------------------------

// The whole conversion `run` on the benchmark's number of random codes
// (on their digits when `from_hex`), counted in codes.
template <typename Run>
void run_hex(benchmark::State& state, bool from_hex, Run run) {
  const std::string codes = random_bytes(static_cast<std::size_t>(state.range(0)));
  const std::string input = from_hex ? quillfern::transforms::convert(codes) : codes;
  for (auto _ : state) benchmark::DoNotOptimize(run(input));
  set_bytes(state, codes.size());
}

void BM_Convert(benchmark::State& state) {
  run_hex(state, false, [](const std::string& text) { return quillfern::transforms::convert(text); });
}

void BM_DeConvert(benchmark::State& state) {
  run_hex(state, true, [](const std::string& hex) { return quillfern::transforms::deconvert(hex); });
}

// Into a reused buffer through one kernel: the kernel alone.
void BM_ConvertKernel(benchmark::State& state, Kernel kernel) {
  if (!quillfern::cpu::supported(kernel)) {
    state.SkipWithError("kernel not available on this processor");
    return;
  }
  const std::string text = random_bytes(static_cast<std::size_t>(state.range(0)));
  std::string out(2 * text.size(), '\0');
  for (auto _ : state) {
    quillfern::transforms::convert_to(kernel, text, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  set_bytes(state, text.size());
}

void BM_DeConvertKernel(benchmark::State& state, Kernel kernel) {
  if (!quillfern::cpu::supported(kernel)) {
    state.SkipWithError("kernel not available on this processor");
    return;
  }
  const std::string hex = quillfern::transforms::convert(random_bytes(static_cast<std::size_t>(state.range(0))));
  std::string out(hex.size() / 2, '\0');
  for (auto _ : state) {
    quillfern::transforms::deconvert_to(kernel, hex, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  set_bytes(state, out.size());
}

// The machine's ceiling: copying as many bytes as the encoder writes (twice
// its input) into a reused buffer. From 16 MiB on the work runs at memory
// speed; there a fresh result string also costs the operating system's
// zeroing of every new page, which the Kernel rows leave out.
void BM_MemoryCopyBaseline(benchmark::State& state) {
  const std::string from = random_bytes(2 * static_cast<std::size_t>(state.range(0)));
  std::string to(from.size(), '\0');
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  set_bytes(state, from.size() / 2);
}

void BM_ConvertByCharacter(benchmark::State& state) {
  run_hex(state, false, [](const std::string& text) { return quillfern::reference::convert(text); });
}

void BM_DeConvertByCharacter(benchmark::State& state) {
  run_hex(state, true, [](const std::string& hex) { return quillfern::reference::deconvert(hex); });
}

// ---- the limited transforms -------------------------------------------------

void BM_EasyCryptEnCode(benchmark::State& state) {
  const std::string text = random_bytes(static_cast<std::size_t>(state.range(0)), 0, 254);
  for (auto _ : state) benchmark::DoNotOptimize(quillfern::transforms::easy_crypt_encode(text));
  set_bytes(state, text.size());
}

void BM_EasyCryptEnCodeByCharacter(benchmark::State& state) {
  const std::string text = random_bytes(static_cast<std::size_t>(state.range(0)), 0, 254);
  for (auto _ : state) benchmark::DoNotOptimize(quillfern::reference::shift(text, 1));
  set_bytes(state, text.size());
}

void BM_SeedEncryption(benchmark::State& state) {
  const std::string text = random_bytes(static_cast<std::size_t>(state.range(0)));
  const std::string seed = random_bytes(text.size() + 1);
  for (auto _ : state) benchmark::DoNotOptimize(quillfern::transforms::seed_encryption(text, seed));
  set_bytes(state, text.size());
}

void BM_SeedEncryptionByCharacter(benchmark::State& state) {
  const std::string text = random_bytes(static_cast<std::size_t>(state.range(0)));
  const std::string seed = random_bytes(text.size() + 1);
  for (auto _ : state) benchmark::DoNotOptimize(quillfern::reference::seed_encryption(text, seed));
  set_bytes(state, text.size());
}

void BM_PowerEncryption(benchmark::State& state) {
  const std::string text = random_bytes(static_cast<std::size_t>(state.range(0)), 32, 126);
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillfern::transforms::power_encryption(text, quillfern::CodePage::cp1252));
  }
  set_bytes(state, text.size());
}

void BM_PowerEncryptionByCharacter(benchmark::State& state) {
  const std::string text = random_bytes(static_cast<std::size_t>(state.range(0)), 32, 126);
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillfern::reference::power_encryption(text, quillfern::CodePage::cp1252));
  }
  set_bytes(state, text.size());
}

constexpr std::int64_t KiB = 1024;
constexpr std::int64_t MiB = 1024 * KiB;

}  // namespace

BENCHMARK(BM_Convert)->Arg(KiB)->Arg(64 * KiB)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK(BM_DeConvert)->Arg(KiB)->Arg(64 * KiB)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_ConvertKernel, portable, Kernel::portable)->Arg(64 * KiB)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_ConvertKernel, ssse3, Kernel::ssse3)->Arg(64 * KiB)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_ConvertKernel, avx2, Kernel::avx2)->Arg(64 * KiB)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_ConvertKernel, avx512, Kernel::avx512)->Arg(64 * KiB)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_DeConvertKernel, portable, Kernel::portable)->Arg(64 * KiB)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_DeConvertKernel, ssse3, Kernel::ssse3)->Arg(64 * KiB)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_DeConvertKernel, avx2, Kernel::avx2)->Arg(64 * KiB)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_DeConvertKernel, avx512, Kernel::avx512)->Arg(64 * KiB)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK(BM_MemoryCopyBaseline)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK(BM_ConvertByCharacter)->Arg(KiB)->Arg(MiB);
BENCHMARK(BM_DeConvertByCharacter)->Arg(KiB)->Arg(MiB);
BENCHMARK(BM_EasyCryptEnCode)->Arg(255)->Arg(32766);
BENCHMARK(BM_EasyCryptEnCodeByCharacter)->Arg(255)->Arg(32766);
BENCHMARK(BM_SeedEncryption)->Arg(255)->Arg(32766);
BENCHMARK(BM_SeedEncryptionByCharacter)->Arg(255)->Arg(32766);
BENCHMARK(BM_PowerEncryption)->Arg(16)->Arg(255);
BENCHMARK(BM_PowerEncryptionByCharacter)->Arg(16)->Arg(255);
