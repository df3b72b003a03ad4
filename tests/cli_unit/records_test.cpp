// Record mode restores a column made by the library itself: 100,000
// passwords of every code but the line breaks, scrambled one by one through
// the control's operation, restored in one run and compared byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include <unistd.h>

#include "quillfern/ciphers/fastblowfish.hpp"
#include "quillfern/transforms/hex.hpp"
#include "quillfern/transforms/password.hpp"

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Records, RestoreAHundredThousandRecordsMadeByTheLibrary) {
  const std::string dir = ::testing::TempDir() + "records-" + std::to_string(::getpid());
  ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
  std::mt19937 gen(2024);
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<int> code(0, 255);
  std::string plain;
  std::string scrambled;  // hex of each scrambled record
  std::string sealed;     // hex of each FastBlowFish text
  const std::string password = "correct horse";
  for (int n = 0; n < 100'000; ++n) {
    std::string text(static_cast<std::size_t>(length(gen)), ' ');
    for (char& c : text) {
      do c = static_cast<char>(code(gen));
      while (c == '\n' || c == '\r');
    }
    // Key 5 takes at most 250 at odd positions and at least 5 at even ones.
    std::string key5 = text;
    for (std::size_t i = 0; i < key5.size(); ++i) {
      const int c = static_cast<unsigned char>(key5[i]);
      if (i % 2 == 0 ? c > 250 : c < 5) key5[i] = 'x';
    }
    plain += key5 + '\n';
    scrambled += quillfern::transforms::convert(quillfern::transforms::encrypt_password(5, key5)) + '\n';
    sealed += quillfern::transforms::convert(quillfern::ciphers::fast_blow_fish(key5, password, [](std::size_t) {})) + '\n';
  }
  std::ofstream(dir + "/scrambled.hex", std::ios::binary) << scrambled;
  std::ofstream(dir + "/sealed.hex", std::ios::binary) << sealed;
  const std::string tool = QUILLFERN_TOOL_PATH;
  ASSERT_EQ(std::system(("'" + tool + "' decrypt-password -n 5 --lines --in-format hex -o '" + dir +
                         "/restored' '" + dir + "/scrambled.hex'").c_str()),
            0);
  EXPECT_TRUE(read_file(dir + "/restored") == plain) << "decrypt-password records differ";
  ASSERT_EQ(std::system(("PW='" + password + "' '" + tool +
                         "' fastblowfish --password-env PW --notices none --lines --in-format hex -o '" + dir +
                         "/opened' '" + dir + "/sealed.hex'").c_str()),
            0);
  EXPECT_TRUE(read_file(dir + "/opened") == plain) << "fastblowfish records differ";
  (void)std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
