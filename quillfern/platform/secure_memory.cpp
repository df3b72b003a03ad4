#include "quillfern/platform/secure_memory.hpp"

#include <cstring>

#if defined(__linux__)
#include <sys/prctl.h>
#elif !defined(_WIN32)
#include <sys/resource.h>
#endif

#if defined(__GLIBC__) || defined(__OpenBSD__) || defined(__FreeBSD__)
#define QUILLFERN_HAVE_EXPLICIT_BZERO 1
#endif

namespace quillfern::platform {

void secure_wipe(void* data, std::size_t size) noexcept {
  if (data == nullptr || size == 0) return;
#if defined(QUILLFERN_HAVE_EXPLICIT_BZERO)
  explicit_bzero(data, size);
#else
  // Stores through a volatile pointer cannot be elided, and the barrier
  // keeps the compiler from treating the buffer as dead before them.
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
#endif
#if defined(__GNUC__)
  __asm__ __volatile__("" : : "r"(data) : "memory");
#endif
}

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
