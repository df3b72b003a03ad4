// Record mode restores a column made by the library itself: 100,000
// passwords of every code but the line breaks, scrambled one by one through
// the control's operation, restored in one run and compared byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "quillfern/ciphers/cipher_text.hpp"
#include "quillfern/ciphers/fastblowfish.hpp"
#include "quillfern/control/identify.hpp"
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

std::size_t count_of(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// identify in record mode reports on each record what the library's
// identify finds in it: as many readings, the same one first, under the
// record's own line number.
TEST(Records, IdentifyReportsEachRecordAsTheLibraryReadsIt) {
  const std::string dir = ::testing::TempDir() + "identify-records-" + std::to_string(::getpid());
  ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
  const std::string words[] = {"stored", "password", "column", "nobody", "knows", "which", "key", "made", "it"};
  std::mt19937 gen(16);
  std::vector<std::string> records;
  std::string stored;
  for (int n = 0; n < 300; ++n) {
    const std::string text = words[gen() % std::size(words)] + " " + words[gen() % std::size(words)];
    std::string record;
    switch (n % 4) {
      case 0: record = quillfern::transforms::convert(text); break;
      case 1: record = quillfern::transforms::encrypt_password(static_cast<std::uint8_t>(gen() % 11), text); break;
      case 2: record = quillfern::ciphers::encipher_text(text, words[gen() % std::size(words)]).text; break;
      default: record = text.substr(0, static_cast<std::size_t>(n % 7)); break;  // short texts, the empty one too
    }
    records.push_back(record);
    stored += quillfern::transforms::convert(record) + '\n';
  }
  std::ofstream(dir + "/column.hex", std::ios::binary) << stored;
  const std::string tool = QUILLFERN_TOOL_PATH;
  ASSERT_EQ(std::system(("'" + tool + "' identify --lines --in-format hex --json -o '" + dir + "/report' '" + dir +
                         "/column.hex'").c_str()),
            0);
  std::ifstream report(dir + "/report");
  std::string line;
  std::size_t n = 0;
  while (std::getline(report, line)) {
    ASSERT_LT(n, records.size());
    const auto readings = quillfern::identify(records[n]);
    ++n;
    EXPECT_EQ(line.rfind("{\"line\": " + std::to_string(n) + ", \"length\": " + std::to_string(records[n - 1].size()), 0),
              0u)
        << line.substr(0, 80);
    EXPECT_EQ(count_of(line, "\"made_by\""), readings.size()) << "line " << n;
    if (!readings.empty()) {
      const std::string first = "\"readings\": [{\"made_by\": \"" + std::string(quillfern::made_by(readings.front().kind));
      EXPECT_NE(line.find(first), std::string::npos) << "line " << n << ": " << line.substr(0, 120);
    }
  }
  EXPECT_EQ(n, records.size());
  (void)std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
