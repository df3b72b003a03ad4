// Record mode of the quillfern tool: a column of scrambled passwords of 8 to
// 16 characters restored in one run of decrypt-password --lines, the input
// read from a file and the results written to another. Target: at least
// 1,000,000 records per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli/command.hpp"
#include "quillfern/transforms/password.hpp"

namespace {

constexpr std::size_t record_count = 1'000'000;

std::string scratch(const char* name) { return "/tmp/quillfern-bench-" + std::to_string(::getpid()) + "-" + name; }

// The scrambled column, made by the library; no record holds a line break.
std::string make_column() {
  std::mt19937 gen(7);
  std::uniform_int_distribution<int> length(8, 16);
  std::uniform_int_distribution<int> code(33, 126);
  std::string column;
  for (std::size_t n = 0; n < record_count;) {
    std::string text(static_cast<std::size_t>(length(gen)), ' ');
    for (char& c : text) c = static_cast<char>(code(gen));
    const std::string scrambled = quillfern::transforms::encrypt_password(5, text);
    if (scrambled.find_first_of("\n\r") != std::string::npos) continue;
    column += scrambled;
    column += '\n';
    ++n;
  }
  return column;
}

void BM_RecordsDecryptPassword(benchmark::State& state) {
  const std::string input = scratch("column");
  const std::string output = scratch("restored");
  std::ofstream(input, std::ios::binary) << make_column();
  const std::vector<std::string> args{"decrypt-password", "--number", "5", "--lines", "-o", output, input};
  for (auto _ : state) {
    if (quillfern::cli::run(args) != 0) state.SkipWithError("decrypt-password --lines failed");
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(record_count));
  std::remove(input.c_str());
  std::remove(output.c_str());
}
BENCHMARK(BM_RecordsDecryptPassword)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
