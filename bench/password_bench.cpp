// The password cipher over its whole input range (1 to 254 characters),
// beside the character-by-character version with every rule checked.
#include <benchmark/benchmark.h>

#include <random>

#include "quillfern/transforms/password.hpp"
#include "../tests/reference/password_reference.hpp"

namespace {

std::string printable(std::size_t length) {
  std::mt19937 gen(42);
  std::uniform_int_distribution<int> dist(32, 126);
  std::string text(length, ' ');
  for (char& ch : text) ch = static_cast<char>(dist(gen));
  return text;
}

void BM_EncryptPassword(benchmark::State& state) {
  const std::string text = printable(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(quillfern::transforms::encrypt_password(7, text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_DecryptPassword(benchmark::State& state) {
  const std::string text = quillfern::transforms::encrypt_password(7, printable(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(quillfern::transforms::decrypt_password(7, text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_EncryptPasswordStepByStep(benchmark::State& state) {
  const std::string text = printable(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(quillfern::reference::password_cipher(true, 7, text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(BM_EncryptPassword)->Arg(1)->Arg(16)->Arg(64)->Arg(254);
BENCHMARK(BM_DecryptPassword)->Arg(1)->Arg(16)->Arg(64)->Arg(254);
BENCHMARK(BM_EncryptPasswordStepByStep)->Arg(1)->Arg(16)->Arg(64)->Arg(254);
