// Every kernel level this processor runs gives the bytes of the portable
// kernels, for each family that has vector kernels: the hexadecimal
// conversions, FastBlowFish (its zero notices included), the text-box
// stream (its drops included) and the file cipher's lanes. Random inputs
// of odd sizes; the seed is printed and QUILLFERN_TEST_SEED replays it. And the families run at the level that
// QUILLFERN_KERNELS allows (ctest runs KernelChoice.* once more with it set).
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "quillfern/ciphers/fastblowfish_kernels.hpp"
#include "quillfern/ciphers/textbox_kernels.hpp"
#include "quillfern/core/cpu_features.hpp"
#include "quillfern/files/file_cipher_kernels.hpp"
#include "quillfern/transforms/hex_kernels.hpp"
#include "support.hpp"

namespace quillfern {
namespace {

using cpu::Kernel;

// Odd sizes around the vector widths and their tails, and random odd ones
// up to some tens of kilobytes.
std::vector<std::size_t> odd_sizes(std::mt19937& gen) {
  std::vector<std::size_t> sizes = {1, 3, 15, 17, 31, 33, 63, 65, 127, 129, 255, 257, 4095, 4097};
  for (int i = 0; i < 12; ++i) sizes.push_back(2 * (gen() % 40000) + 1);
  return sizes;
}

class KernelLevels : public test::PerKernelLevel {
 protected:
  void SetUp() override {
    test::PerKernelLevel::SetUp();
    seed_ = test::test_seed();
    std::cout << "QUILLFERN_TEST_SEED=" << seed_ << '\n';
  }
  unsigned seed_ = 0;
};

TEST_P(KernelLevels, HexConversionGivesThePortableBytes) {
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed_));
  std::mt19937 gen(seed_);
  const std::string_view hex_alphabet = "0123456789abcdefABCDEF \t\nZg/";
  for (std::size_t size : odd_sizes(gen)) {
    const std::string text = test::random_text(size, static_cast<unsigned>(gen()));
    std::string want(transforms::converted_size(size), '\0'), got(want.size(), '\x55');
    transforms::convert_to(Kernel::portable, text, want.data());
    transforms::convert_to(GetParam(), text, got.data());
    ASSERT_EQ(got, want) << "convert, size " << size;

    std::string hex(size, '\0');
    for (char& ch : hex) ch = hex_alphabet[gen() % hex_alphabet.size()];
    for (const std::string& input : {hex, text}) {
      want.assign(transforms::deconverted_size(size), '\0');
      got.assign(want.size(), '\x55');
      transforms::deconvert_to(Kernel::portable, input, want.data());
      transforms::deconvert_to(GetParam(), input, got.data());
      ASSERT_EQ(got, want) << "deconvert, size " << size;
    }
  }
}

TEST_P(KernelLevels, FastBlowFishGivesThePortableBytesAndZeros) {
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed_));
  std::mt19937 gen(seed_);
  for (std::size_t size : odd_sizes(gen)) {
    const std::string password = test::random_text(gen() % 40, static_cast<unsigned>(gen()));
    // Codes 0..15 only, so that zero results are frequent.
    const std::string text = test::random_text(size, static_cast<unsigned>(gen()), 0, 15);
    std::vector<std::size_t> want_zeros, got_zeros;
    const std::string want = ciphers::detail::fast_blow_fish(
        Kernel::portable, text, password, [&](std::size_t at) { want_zeros.push_back(at); });
    const std::string got = ciphers::detail::fast_blow_fish(
        GetParam(), text, password, [&](std::size_t at) { got_zeros.push_back(at); });
    ASSERT_EQ(got, want) << "size " << size << ", password of " << password.size();
    ASSERT_EQ(got_zeros, want_zeros) << "size " << size << ", password of " << password.size();
  }
}

TEST_P(KernelLevels, TextBoxGivesThePortableBytesAndDrops) {
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed_));
  std::mt19937 gen(seed_);
  using Direction = ciphers::TextBoxStream::Direction;
  for (std::size_t size : odd_sizes(gen)) {
    // Keys that drop nothing on printable codes, some codes, most of them.
    const std::uint64_t key = std::array<std::uint64_t, 4>{0, 3, 40, 200}[gen() % 4];
    const Direction direction = (gen() & 1) != 0 ? Direction::crypt : Direction::decrypt;
    const bool printable = (gen() & 1) != 0;
    const std::string text = test::random_text(size, static_cast<unsigned>(gen()), printable ? 32 : 0,
                                               printable ? 126 : 255);
    ciphers::TextBoxStream portable(direction, key), chosen(direction, key);
    ciphers::TextBoxKernels::use(portable, Kernel::portable);
    ciphers::TextBoxKernels::use(chosen, GetParam());
    std::string want, got;
    // In pieces of odd sizes, the chosen kernel in place.
    for (std::size_t done = 0; done < size;) {
      const std::size_t piece = std::min<std::size_t>(size - done, 2 * (gen() % 1500) + 1);
      std::string out(piece, '\x55'), in_place = text.substr(done, piece);
      out.resize(portable.process(text.data() + done, piece, out.data()));
      in_place.resize(chosen.process(in_place.data(), piece, in_place.data()));
      want += out;
      got += in_place;
      done += piece;
    }
    ASSERT_EQ(got, want) << "size " << size << ", key " << key;
    ASSERT_EQ(chosen.dropped(), portable.dropped()) << "size " << size << ", key " << key;
    ASSERT_EQ(chosen.first_dropped(), portable.first_dropped()) << "size " << size << ", key " << key;
  }
}

TEST_P(KernelLevels, FileCipherLanesGiveThePortableBytes) {
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed_));
  std::mt19937 gen(seed_);
  for (std::size_t size : odd_sizes(gen)) {
    const std::string password = test::random_text(1 + gen() % 70, static_cast<unsigned>(gen()));
    const files::BasicRandom random(gen() & 0xFFFFFFu);
    const std::string data = test::random_text(size, static_cast<unsigned>(gen()));
    std::string want = data, got = data;
    files::KeyStream portable(password, random), chosen(password, random);
    files::KeyStreamKernels::use(portable, Kernel::portable);
    files::KeyStreamKernels::use(chosen, GetParam());
    // In pieces of odd sizes: the lanes carry the stream on across calls.
    for (std::size_t done = 0; done < size;) {
      const std::size_t piece = std::min<std::size_t>(size - done, 2 * (gen() % 3000) + 1);
      portable.apply(reinterpret_cast<unsigned char*>(want.data() + done), piece);
      chosen.apply(reinterpret_cast<unsigned char*>(got.data() + done), piece);
      done += piece;
    }
    ASSERT_EQ(got, want) << "size " << size << ", password of " << password.size();
    ASSERT_EQ(chosen.state(), portable.state()) << "size " << size;
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, KernelLevels, ::testing::ValuesIn(cpu::kernel_levels),
                         [](const ::testing::TestParamInfo<Kernel>& level) {
                           return std::string(cpu::to_string(level.param));
                         });

// Each family runs the best kernel it has at the library's level, which
// QUILLFERN_KERNELS caps; a capped level reaches every family.
TEST(KernelChoice, EveryFamilyRunsAtTheLevelTheEnvironmentAllows) {
  const Kernel level = cpu::kernel_level();
  EXPECT_EQ(transforms::hex_kernel(), cpu::pick(transforms::hex_kernels, level));
  EXPECT_EQ(ciphers::detail::fast_blow_fish_kernel(), cpu::pick(ciphers::detail::xor_kernels, level));
  EXPECT_EQ(ciphers::TextBoxKernels::used(ciphers::TextBoxStream(ciphers::TextBoxStream::Direction::crypt, 1)),
            cpu::pick(ciphers::detail::text_box_kernels, level));
  EXPECT_EQ(files::lane_kernel(), cpu::pick(files::lane_kernels, level));
  const files::KeyStream keys("password", files::BasicRandom());
  EXPECT_EQ(files::KeyStreamKernels::used(keys), files::lane_kernel());

  const char* setting = std::getenv("QUILLFERN_KERNELS");
  if (setting != nullptr && std::string_view(setting) == "portable") {
    EXPECT_EQ(transforms::hex_kernel(), Kernel::portable);
    EXPECT_EQ(ciphers::detail::fast_blow_fish_kernel(), Kernel::portable);
    EXPECT_EQ(ciphers::detail::text_box_kernel(), Kernel::portable);
    EXPECT_EQ(files::lane_kernel(), Kernel::portable);
  }
  std::cout << "QUILLFERN_KERNELS=" << (setting != nullptr ? setting : "(unset)") << ": "
            << cpu::to_string(level) << '\n';
}

}  // namespace
}  // namespace quillfern
