// The keyed text ciphers on texts of 1 MiB and more, each beside its
// straightforward character-by-character version (tests/reference).
// FastBlowFish runs with an 8-character password and counts its zero
// results through the notice callback, as the control's message box would;
// the text-box stream runs through each kernel on random bytes too.
#include <benchmark/benchmark.h>

#include <random>

#include "../tests/reference/cipher_text_reference.hpp"
#include "../tests/reference/fastblowfish_reference.hpp"
#include "../tests/reference/textbox_reference.hpp"
#include "quillfern/ciphers/cipher_text.hpp"
#include "quillfern/ciphers/fastblowfish_kernels.hpp"
#include "quillfern/ciphers/textbox.hpp"
#include "quillfern/ciphers/textbox_kernels.hpp"

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

std::size_t size_of(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

// Runs `cipher` on `text` for every iteration and counts the text's bytes.
template <typename Cipher>
void run_over(benchmark::State& state, const std::string& text, Cipher cipher) {
  for (auto _ : state) benchmark::DoNotOptimize(cipher(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void BM_FastBlowFish(benchmark::State& state, quillfern::cpu::Kernel kernel) {
  if (!quillfern::cpu::supported(kernel)) {
    state.SkipWithError("kernel not available on this processor");
    return;
  }
  std::size_t zeros = 0;
  const ZeroNotice count = [&](std::size_t) { ++zeros; };
  run_over(state, random_codes(size_of(state), 0, 255),
           [&](const std::string& text) { return detail::fast_blow_fish(kernel, text, password, count); });
  state.counters["zeros/iter"] = benchmark::Counter(static_cast<double>(zeros), benchmark::Counter::kAvgIterations);
}

void BM_FastBlowFishStepByStep(benchmark::State& state) {
  run_over(state, random_codes(size_of(state), 0, 255),
           [](const std::string& text) { return quillfern::reference::fast_blow_fish(text, password); });
}

// Printable codes, which the password-carrying cipher never cuts.
void BM_EnCipherText(benchmark::State& state) {
  run_over(state, random_codes(size_of(state), 32, 126),
           [](const std::string& text) { return encipher_text(text, password); });
}

void BM_EnCipherTextStepByStep(benchmark::State& state) {
  run_over(state, random_codes(size_of(state), 32, 126),
           [](const std::string& text) { return quillfern::reference::encipher_text(text, password); });
}

std::string cipher_text(const benchmark::State& state) {
  return encipher_text(random_codes(size_of(state), 32, 126), password).text;
}

void BM_DeCipherText(benchmark::State& state) {
  run_over(state, cipher_text(state), [](const std::string& cipher) { return decipher_text(cipher, password); });
}

void BM_DeCipherTextStepByStep(benchmark::State& state) {
  run_over(state, cipher_text(state),
           [](const std::string& cipher) { return quillfern::reference::decipher_text(cipher, password); });
}

// The text-box stream through a kernel, on printable codes (none dropped
// under this password's key number) or on random bytes (dropped in nearly
// every stretch).
void BM_TextBox(benchmark::State& state, bool crypt, quillfern::cpu::Kernel kernel, bool random_bytes) {
  if (!quillfern::cpu::supported(kernel)) {
    state.SkipWithError("kernel not available on this processor");
    return;
  }
  const std::uint64_t key = text_box_key(password);
  std::string out(size_of(state), '\0');
  run_over(state, random_codes(size_of(state), random_bytes ? 0 : 32, random_bytes ? 255 : 126),
           [&](const std::string& text) {
             TextBoxStream stream(crypt ? TextBoxStream::Direction::crypt : TextBoxStream::Direction::decrypt, key);
             TextBoxKernels::use(stream, kernel);
             return stream.process(text.data(), text.size(), out.data());
           });
}

void BM_TextBoxStepByStep(benchmark::State& state, bool crypt) {
  run_over(state, random_codes(size_of(state), 32, 126), [&](const std::string& text) {
    std::string p(password);
    return quillfern::reference::text_box(crypt, text, p);
  });
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
BENCHMARK_CAPTURE(BM_TextBox, crypt, true, quillfern::cpu::Kernel::avx2, false)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_TextBox, decrypt, false, quillfern::cpu::Kernel::avx2, false)->Arg(MiB)->Arg(16 * MiB);
BENCHMARK_CAPTURE(BM_TextBox, crypt_random_bytes_avx2, true, quillfern::cpu::Kernel::avx2, true)->Arg(MiB);
BENCHMARK_CAPTURE(BM_TextBox, crypt_random_bytes_ssse3, true, quillfern::cpu::Kernel::ssse3, true)->Arg(MiB);
BENCHMARK_CAPTURE(BM_TextBox, crypt_random_bytes_portable, true, quillfern::cpu::Kernel::portable, true)->Arg(MiB);
BENCHMARK_CAPTURE(BM_TextBoxStepByStep, crypt, true)->Arg(MiB);
BENCHMARK_CAPTURE(BM_TextBoxStepByStep, decrypt, false)->Arg(MiB);
