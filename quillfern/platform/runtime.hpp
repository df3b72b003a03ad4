// The runtime a host lends its controls: the state that outlives a call.
// Its one piece is the random-number generator, which EncodeDecodeFile
// advances and reseeds, so that a later call goes on from where the last
// one left it. One runtime per host; nothing else in the library is global.
#pragma once

#include "quillfern/core/basic_random.hpp"

namespace quillfern::platform {

class Runtime {
 public:
  Runtime() noexcept = default;
  explicit Runtime(std::uint32_t generator_state) noexcept : random_(generator_state) {}

  [[nodiscard]] files::BasicRandom& random() noexcept { return random_; }
  [[nodiscard]] const files::BasicRandom& random() const noexcept { return random_; }

  // Back to the state of a new process: the generator at its start state.
  void reset() noexcept { random_ = files::BasicRandom(); }

 private:
  files::BasicRandom random_;
};

}  // namespace quillfern::platform
