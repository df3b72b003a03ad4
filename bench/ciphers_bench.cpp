// The keyed text ciphers on texts of 1 MiB and more, each beside its
// straightforward character-by-character version (tests/reference).
// FastBlowFish runs with an 8-character password and counts its zero
// results through the notice callback, as the control's message box would.
#include <benchmark/benchmark.h>

#include <random>

#include "../tests/reference/cipher_text_reference.hpp"
#include "../tests/reference/fastblowfish_reference.hpp"
#include "../tests/reference/textbox_reference.hpp"
#include "quillfern/ciphers/cipher_text.hpp"
#include "quillfern/ciphers/fastblowfish_kernels.hpp"
#include "quillfern/ciphers/textbox.hpp"

namespace {

using namespace quillfern::ciphers;

std::string random_codes(std::size_t length, int low, int high) {
  std::mt19937 gen(42);
  std::uniform_int_distribution<int> dist(low, high);
  std::string text(length, ' ');
  for (char& ch : text) ch = static_cast<char>(dist(gen));
  return text;
}

constexpr std::string_view password = "p4ssw0rd";

void set_bytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_FastBlowFish(benchmark::State& state, quillfern::cpu::Kernel kernel) {
  if (!quillfern::cpu::supported(kernel)) {
    state.SkipWithError("kernel not available on this processor");
    return;
  }
  const std::string text = random_codes(static_cast<std::size_t>(state.range(0)), 0, 255);
  std::size_t zeros = 0;
  const ZeroNotice count = [&](std::size_t) { ++zeros; };
  for (auto _ : state) benchmark::DoNotOptimize(detail::fast_blow_fish(kernel, text, password, count));
  state.counters["zeros/iter"] = benchmark::Counter(static_cast<double>(zeros), benchmark::Counter::kAvgIterations);
  set_bytes(state);
}

void BM_FastBlowFishStepByStep(benchmark::State& state) {
  const std::string text = random_codes(static_cast<std::size_t>(state.range(0)), 0, 255);
  for (auto _ : state) benchmark::DoNotOptimize(quillfern::reference::fast_blow_fish(text, password));
  set_bytes(state);
}

void BM_EnCipherText(benchmark::State& state) {
  const std::string text = random_codes(static_cast<std::size_t>(state.range(0)), 32, 126);
  for (auto _ : state) benchmark::DoNotOptimize(encipher_text(text, password));
  set_bytes(state);
}

void BM_EnCipherTextStepByStep(benchmark::State& state) {
  const std::string text = random_codes(static_cast<std::size_t>(state.range(0)), 32, 126);
  for (auto _ : state) benchmark::DoNotOptimize(quillfern::reference::encipher_text(text, password));
  set_bytes(state);
}

void BM_DeCipherText(benchmark::State& state) {
  const std::string cipher =
      encipher_text(random_codes(static_cast<std::size_t>(state.range(0)), 32, 126), password).text;
  for (auto _ : state) benchmark::DoNotOptimize(decipher_text(cipher, password));
  set_bytes(state);
}

void BM_DeCipherTextStepByStep(benchmark::State& state) {
  const std::string cipher =
      encipher_text(random_codes(static_cast<std::size_t>(state.range(0)), 32, 126), password).text;
  for (auto _ : state) benchmark::DoNotOptimize(quillfern::reference::decipher_text(cipher, password));
  set_bytes(state);
}

void BM_TextBox(benchmark::State& state, bool crypt) {
  const std::string text = random_codes(static_cast<std::size_t>(state.range(0)), 32, 126);
  const std::uint64_t key = text_box_key(password);
  for (auto _ : state) {
    benchmark::DoNotOptimize(crypt ? text_box_crypt(text, key) : text_box_decrypt(text, key));
  }
  set_bytes(state);
}

void BM_TextBoxStepByStep(benchmark::State& state, bool crypt) {
  const std::string text = random_codes(static_cast<std::size_t>(state.range(0)), 32, 126);
  for (auto _ : state) {
    std::string p(password);
    benchmark::DoNotOptimize(quillfern::reference::text_box(crypt, text, p));
  }
  set_bytes(state);
}

constexpr std::int64_t MiB = 1 << 20;

}  // namespace

BENCHMARK_CAPTURE(BM_FastBlowFish, avx2, quillfern::cpu::Kernel::avx2)->Arg(MiB)->Arg(4 * MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_FastBlowFish, portable, quillfern::cpu::Kernel::portable)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK(BM_FastBlowFishStepByStep)->Arg(MiB);
BENCHMARK(BM_EnCipherText)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK(BM_EnCipherTextStepByStep)->Arg(MiB);
BENCHMARK(BM_DeCipherText)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK(BM_DeCipherTextStepByStep)->Arg(MiB);
BENCHMARK_CAPTURE(BM_TextBox, crypt, true)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_TextBox, decrypt, false)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_TextBoxStepByStep, crypt, true)->Arg(MiB);
BENCHMARK_CAPTURE(BM_TextBoxStepByStep, decrypt, false)->Arg(MiB);
