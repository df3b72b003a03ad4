// The object representation of a value as another type of the same size,
// as std::bit_cast gives it. Standard libraries that lack std::bit_cast
// (libc++ before 14) get the same bits through memcpy. Internal: not
// installed.
#pragma once

#include <bit>
#include <cstring>
#include <type_traits>

namespace quillfern::bits {

template <typename To, typename From>
[[nodiscard]] inline To bit_cast(const From& from) noexcept {
  static_assert(sizeof(To) == sizeof(From), "bit_cast between types of one size");
  static_assert(std::is_trivially_copyable_v<To> && std::is_trivially_copyable_v<From>);
#if defined(__cpp_lib_bit_cast)
  return std::bit_cast<To>(from);
#else
  To to;
  std::memcpy(&to, &from, sizeof to);
  return to;
#endif
}

}  // namespace quillfern::bits
