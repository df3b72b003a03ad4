#include "quillfern/platform/secure_memory.hpp"

#if defined(__linux__)
#include <sys/prctl.h>
#elif !defined(_WIN32)
#include <sys/resource.h>
#endif

namespace quillfern::platform {

void secure_wipe(std::string& text) noexcept {
  // The small-string buffer or the heap buffer: both lie at data(), and
  // capacity() counts every byte of it but the terminator.
  secure_wipe(text.data(), text.capacity());
  text.clear();
}

void keep_out_of_core_dumps() noexcept {
#if defined(__linux__)
  ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#elif !defined(_WIN32)
  const struct rlimit none {0, 0};
  ::setrlimit(RLIMIT_CORE, &none);
#endif
}

}  // namespace quillfern::platform
