// identify on texts of 64 KiB and 1 MiB: English text under the text-box
// cipher and the cipher text that carries its password, random codes, and
// the slowest input there is, a run of one even code (every password
// length is a candidate for the carried password).
#include <benchmark/benchmark.h>

#include <random>

#include "quillfern/ciphers/cipher_text.hpp"
#include "quillfern/ciphers/textbox.hpp"
#include "quillfern/control/identify.hpp"

namespace {

using namespace quillfern;

std::string english(std::size_t length) {
  static constexpr std::string_view words[] = {"nobody", "remembers", "which", "key", "made", "these",
                                               "stored", "texts,", "so", "we", "ask", "the", "tool."};
  std::mt19937 gen(42);
  std::string text;
  while (text.size() < length) {
    text += words[gen() % std::size(words)];
    text += ' ';
  }
  text.resize(length);
  return text;
}

void run(benchmark::State& state, const std::string& text, bool all) {
  IdentifyOptions options;
  options.all = all;
  for (auto _ : state) benchmark::DoNotOptimize(identify(text, options));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void BM_IdentifyTextBox(benchmark::State& state) {
  run(state, *ciphers::text_box_crypt(english(static_cast<std::size_t>(state.range(0))), 16).text, false);
}
void BM_IdentifyCipherText(benchmark::State& state) {
  run(state, ciphers::encipher_text(english(static_cast<std::size_t>(state.range(0))), "secret").text, false);
}
void BM_IdentifyRandomCodes(benchmark::State& state) {
  std::mt19937 gen(42);
  std::string text(static_cast<std::size_t>(state.range(0)), '\0');
  for (char& c : text) c = static_cast<char>(gen());
  run(state, text, false);
}
void BM_IdentifyOneEvenCode(benchmark::State& state) {
  run(state, std::string(static_cast<std::size_t>(state.range(0)), 'B'), state.range(1) != 0);
}

BENCHMARK(BM_IdentifyTextBox)->Arg(1 << 16)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdentifyCipherText)->Arg(1 << 16)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdentifyRandomCodes)->Arg(1 << 16)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdentifyOneEvenCode)->Args({1 << 20, 0})->Args({1 << 20, 1})->Unit(benchmark::kMillisecond);

}  // namespace
