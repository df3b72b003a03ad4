// The wipe under every secret buffer.
#include "quillfern/core/secret.hpp"

#include <cstring>

#if defined(__GLIBC__) || defined(__OpenBSD__) || defined(__FreeBSD__) || defined(__EMSCRIPTEN__)
#define QUILLFERN_HAVE_EXPLICIT_BZERO 1
#endif

namespace quillfern {

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

}  // namespace quillfern
