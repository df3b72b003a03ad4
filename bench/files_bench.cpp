// The file cipher's key stream: the AVX2 lanes, the same lanes in plain
// C++, one jump-ahead chain (a password too long for the lane tables goes
// byte by byte), and the draw-by-draw reference, on an 8-character
// printable password. Then the whole file operation through the page cache.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "../tests/reference/file_cipher_reference.hpp"
#include "bench_support.hpp"
#include "quillfern/files/file_cipher_kernels.hpp"

namespace {

using quillfern::bench::random_bytes;
using quillfern::files::BasicRandom;
using quillfern::files::KeyStream;

const std::string password = random_bytes(8, 33, 126);

void run_key_stream(benchmark::State& state, const std::string& key, quillfern::cpu::Kernel kernel) {
  if (!quillfern::cpu::supported(kernel)) {
    state.SkipWithError("kernel not available on this processor");
    return;
  }
  std::string data = random_bytes(static_cast<std::size_t>(state.range(0)));
  KeyStream keys(key, BasicRandom());
  quillfern::files::KeyStreamKernels::use(keys, kernel);
  for (auto _ : state) {
    keys.apply(reinterpret_cast<unsigned char*>(data.data()), data.size());
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_KeyStreamAvx2Lanes(benchmark::State& state) { run_key_stream(state, password, quillfern::cpu::Kernel::avx2); }
void BM_KeyStreamPortableLanes(benchmark::State& state) { run_key_stream(state, password, quillfern::cpu::Kernel::portable); }
void BM_KeyStreamOneChain(benchmark::State& state) {
  static const std::string long_password = random_bytes(4097, 33, 126);
  run_key_stream(state, long_password, quillfern::cpu::Kernel::portable);
}

void BM_FileCipherDrawByDraw(benchmark::State& state) {
  const std::string data = random_bytes(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    quillfern::reference::ClassicRandom random;
    benchmark::DoNotOptimize(quillfern::reference::file_cipher(data, password, random));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_EncodeDecodeFile(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path();
  const std::string input = (folder / "quillfern-bench-in").string();
  const std::string output = (folder / "quillfern-bench-out").string();
  {
    std::ofstream out(input, std::ios::binary);
    const std::string data = random_bytes(static_cast<std::size_t>(state.range(0)));
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
  }
  for (auto _ : state) {
    BasicRandom random;
    quillfern::files::encode_decode_file(input, output, password, random);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  std::remove(input.c_str());
  std::remove(output.c_str());
}

}  // namespace

BENCHMARK(BM_KeyStreamAvx2Lanes)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_KeyStreamPortableLanes)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_KeyStreamOneChain)->Arg(1 << 20);
BENCHMARK(BM_FileCipherDrawByDraw)->Arg(1 << 16);
BENCHMARK(BM_EncodeDecodeFile)->Arg(64 << 20)->Unit(benchmark::kMillisecond);
