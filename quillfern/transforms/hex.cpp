// The hexadecimal conversions: the results' sizes, the lone last
// character, and the kernel of the processor's level (the kernels
// themselves are in hex_<level>.cpp).
#include <string>

#include "quillfern/transforms/hex_kernels.hpp"
#include "quillfern/transforms/hex_tables.hpp"

namespace quillfern::transforms {
namespace {

// The two kernels of a level the processor runs.
struct Kernels {
  void (*convert)(const unsigned char*, std::size_t, char*) noexcept;
  void (*deconvert)(const unsigned char*, std::size_t, char*) noexcept;
};

Kernels kernels_of(cpu::Kernel kernel) noexcept {
  switch (kernel) {
#if QUILLFERN_X86_KERNELS
    case cpu::Kernel::ssse3: return {detail::convert_ssse3, detail::deconvert_ssse3};
    case cpu::Kernel::avx2: return {detail::convert_avx2, detail::deconvert_avx2};
    case cpu::Kernel::avx512: return {detail::convert_avx512, detail::deconvert_avx512};
#endif
    default: return {detail::convert_portable, detail::deconvert_portable};
  }
}

void run_convert(cpu::Kernel kernel, std::string_view text, char* out) noexcept {
  kernels_of(kernel).convert(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out);
}

void run_deconvert(cpu::Kernel kernel, std::string_view hex, char* out) noexcept {
  const auto* in = reinterpret_cast<const unsigned char*>(hex.data());
  kernels_of(kernel).deconvert(in, hex.size(), out);
  // A lone last character reads as a pair whose second character is
  // missing: its own value when it is a digit, otherwise 0.
  if (hex.size() % 2 != 0) {
    const unsigned value = detail::digit_values[in[hex.size() - 1]];
    out[hex.size() / 2] = static_cast<char>(value < 16 ? value : 0);
  }
}

// A string of `size` bytes filled by `fill`, without clearing it first
// where the library allows that.
template <typename Fill>
std::string make_filled(std::size_t size, Fill fill) {
  std::string out;
#if defined(__cpp_lib_string_resize_and_overwrite)
  out.resize_and_overwrite(size, [&](char* data, std::size_t n) {
    fill(data);
    return n;
  });
#else
  out.resize(size);
  fill(out.data());
#endif
  return out;
}

}  // namespace

cpu::Kernel hex_kernel() noexcept {
  static const cpu::Kernel chosen = cpu::pick(hex_kernels, cpu::kernel_level());
  return chosen;
}

void convert_to(cpu::Kernel kernel, std::string_view text, char* out) noexcept {
  run_convert(cpu::pick(hex_kernels, kernel), text, out);
}

void deconvert_to(cpu::Kernel kernel, std::string_view hex, char* out) noexcept {
  run_deconvert(cpu::pick(hex_kernels, kernel), hex, out);
}

void convert_to(std::string_view text, char* out) noexcept { run_convert(hex_kernel(), text, out); }

void deconvert_to(std::string_view hex, char* out) noexcept { run_deconvert(hex_kernel(), hex, out); }

std::string convert(std::string_view text) {
  const cpu::Kernel kernel = hex_kernel();
  return make_filled(converted_size(text.size()), [&](char* out) { run_convert(kernel, text, out); });
}

std::string deconvert(std::string_view hex) {
  const cpu::Kernel kernel = hex_kernel();
  return make_filled(deconverted_size(hex.size()), [&](char* out) { run_deconvert(kernel, hex, out); });
}

}  // namespace quillfern::transforms
