// What the benchmarks share: reproducible inputs and the byte counts that
// turn times into speeds.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace quillfern::bench {

// `length` codes drawn evenly from [low, high], the same on every run.
inline std::string random_bytes(std::size_t length, int low = 0, int high = 255) {
  std::mt19937 gen(42);
  std::uniform_int_distribution<int> dist(low, high);
  std::string text(length, '\0');
  for (char& ch : text) ch = static_cast<char>(dist(gen));
  return text;
}

// Counts `per_iteration` input bytes for every iteration of `state`.
inline void set_bytes(benchmark::State& state, std::size_t per_iteration) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(per_iteration));
}

}  // namespace quillfern::bench
