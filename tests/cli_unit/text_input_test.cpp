#include "cli/text_input.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace quillfern::cli {
namespace {

struct TextInput : ::testing::Test {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("quillfern-text-" + std::to_string(::getpid()));
  void TearDown() override { std::filesystem::remove(path); }
  std::string write(const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
};

// Messages of the errors of a read, or "" when it succeeded.
std::string error_of(const std::string& path, CodePage page, std::size_t most) {
  try {
    (void)read_text(path, page, most);
    return "";
  } catch (const IoError& e) {
    return e.what();
  }
}

TEST_F(TextInput, ConvertUtf8SplitAcrossPiecesAndNameOffsetsInTheWholeInput) {
  // 65535 ASCII bytes put the two bytes of "é" on both sides of a piece.
  const std::string head(65535, 'a');
  const std::string file = write(head + "\xc3\xa9" + "z");
  EXPECT_EQ(read_text(file, CodePage::cp1252), head + "\xe9z");
  EXPECT_EQ(read_text(file, CodePage::none), head + "\xc3\xa9z");

  write(head + "bc\xe4\xb8\xad");
  EXPECT_EQ(error_of(path, CodePage::cp1252, TextReader::no_limit),
            "input: character U+4E2D at byte 65537 has no code in cp1252");
  write(head + "\xe2\x82");
  EXPECT_EQ(error_of(path, CodePage::cp1252, TextReader::no_limit), "input: truncated UTF-8 at byte 65535");
}

TEST_F(TextInput, StopAtTheLimitWithoutLookingFurther) {
  const std::string file = write(std::string(40000, 'x') + "\xff" + std::string(40000, 'y'));
  for (CodePage page : {CodePage::none, CodePage::cp1252}) {
    EXPECT_EQ(read_text(file, page, 32768), std::string(32768, 'x'));
    EXPECT_EQ(read_text(file, page, 0), "");
  }
  // What lies past the limit is never decoded, so its faults do not count.
  EXPECT_EQ(error_of(file, CodePage::cp1252, 40000), "");
  EXPECT_EQ(error_of(file, CodePage::cp1252, 40001), "input: malformed UTF-8 at byte 40000");
  // A character of several bytes counts once.
  write("\xc3\xa9\xc3\xa9\xc3\xa9");
  EXPECT_EQ(read_text(path, CodePage::latin1, 2), "\xe9\xe9");
}

TEST_F(TextInput, ReadAnEndlessSourceInBoundedTime) {
  EXPECT_EQ(read_text("/dev/zero", CodePage::none, 32768), std::string(32768, '\0'));
  EXPECT_EQ(read_text("/dev/zero", CodePage::latin1, 255), std::string(255, '\0'));
}

}  // namespace
}  // namespace quillfern::cli
