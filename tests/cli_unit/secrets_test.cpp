#include "cli/secrets.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "quillfern/platform/secure_memory.hpp"

namespace quillfern::cli {
namespace {

ParsedArgs with(std::string_view name, std::string value) {
  ParsedArgs args;
  args.add(name, std::move(value));
  return args;
}

struct Secrets : ::testing::Test {
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("quillfern-secrets-" + std::to_string(::getpid()));
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string file(const std::string& name, const std::string& content) {
    auto path = dir / name;
    std::ofstream(path, std::ios::binary) << content;
    ::chmod(path.c_str(), 0600);
    return path.string();
  }
};

TEST_F(Secrets, PasswordFilesGiveTheirFirstLineWithoutItsEnding) {
  struct Case {
    std::string content;
    std::string expected;
  };
  for (const Case& c : {Case{"pass\n", "pass"}, Case{"pass\r\nsecond\n", "pass"},
                        Case{"no newline", "no newline"}, Case{"\n", ""},
                        Case{std::string("a\0b\n", 4), std::string("a\0b", 3)}}) {
    EXPECT_EQ(read_password(with("password-file", file("p", c.content)), CodePage::none), c.expected);
  }
}

TEST_F(Secrets, ConvertTextPasswordsButNotHexOnes) {
  const std::string path = file("utf8", "caf\xc3\xa9\n");
  EXPECT_EQ(read_password(with("password-file", path), CodePage::cp1252), "caf\xe9");
  EXPECT_EQ(read_password(with("password-file", path), CodePage::none), "caf\xc3\xa9");
  EXPECT_EQ(read_password(with("password-hex", "c3a9"), CodePage::cp1252), "\xc3\xa9");
  ::setenv("QUILLFERN_TEST_PASSWORD", "\xe2\x82\xac", 1);
  EXPECT_EQ(read_password(with("password-env", "QUILLFERN_TEST_PASSWORD"), CodePage::cp1252), "\x80");
  EXPECT_THROW((void)read_password(with("password-env", "QUILLFERN_TEST_PASSWORD"), CodePage::latin1),
               UsageError);
}

TEST_F(Secrets, ReadPasswordsFromADescriptor) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], "fd-secret\nrest", 14), 14);
  ::close(fds[1]);
  EXPECT_EQ(read_password(with("password-fd", std::to_string(fds[0])), CodePage::none), "fd-secret");
  ::close(fds[0]);
  EXPECT_THROW((void)read_password(with("password-fd", "x"), CodePage::none), UsageError);
}

// What is left on a descriptor after the password was read from it.
std::string rest_of(int fd) {
  std::string rest;
  char buffer[256];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) rest.append(buffer, static_cast<std::size_t>(got));
  return rest;
}

TEST_F(Secrets, ReadADescriptorUpToTheLineFeedAndNoFurther) {
  struct Case {
    std::string content;
    std::string password;
    std::string rest;
  };
  for (const Case& c : {Case{"pw\nhello world", "pw", "hello world"}, Case{"pw\r\n\nx", "pw", "\nx"},
                        Case{"\ntext", "", "text"}, Case{"no line feed", "no line feed", ""},
                        Case{std::string(5000, 'p') + "\n" + std::string(5000, 't'), std::string(5000, 'p'),
                             std::string(5000, 't')}}) {
    // A pipe, read a byte at a time: the text is there before the password
    // is read, so any read ahead would swallow it.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], c.content.data(), c.content.size()), static_cast<ssize_t>(c.content.size()));
    ::close(fds[1]);
    EXPECT_EQ(read_password(with("password-fd", std::to_string(fds[0])), CodePage::none), c.password);
    EXPECT_EQ(rest_of(fds[0]), c.rest) << "pipe";
    ::close(fds[0]);
    // A regular file, read in blocks and its offset put back after the line feed.
    const int fd = ::open(file("fd", "skipped" + c.content).c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 7, SEEK_SET), 7);
    EXPECT_EQ(read_password(with("password-fd", std::to_string(fd)), CodePage::none), c.password);
    EXPECT_EQ(rest_of(fd), c.rest) << "file";
    ::close(fd);
  }
}

TEST_F(Secrets, TakePasswordsOfAtMostOneMebibyte) {
  const std::string longest(password_max_bytes, 'p');
  EXPECT_EQ(read_password(with("password-file", file("max", longest + "\r\n")), CodePage::none), longest);
  EXPECT_EQ(read_password(with("password-file", file("max", longest + "\nmore")), CodePage::none), longest);
  for (const std::string& content : {longest + "p", longest + "pp\n", longest + "p\r\n"}) {
    try {
      (void)read_password(with("password-file", file("long", content)), CodePage::none);
      ADD_FAILURE() << content.size();
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find("longer than 1 MiB"), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW((void)read_password(with("password-hex", std::string(2 * password_max_bytes + 2, 'a')),
                                   CodePage::none),
               UsageError);
}

TEST_F(Secrets, ReadSeedsOnlyAsFarAsAsked) {
  const std::string path = file("seed", "0123456789");
  EXPECT_EQ(read_seed(with("seed-file", path), CodePage::none, 4), "0123");
  EXPECT_EQ(read_seed(with("seed-file", path), CodePage::none, 40), "0123456789");
  EXPECT_EQ(read_seed(with("seed-file", "/dev/zero"), CodePage::none, 5), std::string(5, '\0'));
  EXPECT_EQ(read_seed(with("seed-hex", "414243"), CodePage::none, 2), "AB");
}

TEST_F(Secrets, RefuseTwoSourcesMissingOnesAndUnsetVariables) {
  ParsedArgs two = with("password-hex", "41");
  two.add("password-env", "HOME");
  EXPECT_THROW((void)read_password(two, CodePage::none), UsageError);
  ::unsetenv("QUILLFERN_TEST_UNSET");
  EXPECT_THROW((void)read_password(with("password-env", "QUILLFERN_TEST_UNSET"), CodePage::none), UsageError);
  EXPECT_THROW((void)read_password(with("password-file", (dir / "missing").string()), CodePage::none),
               UsageError);
  EXPECT_THROW((void)read_seed(ParsedArgs{}, CodePage::none), UsageError);
}

TEST_F(Secrets, SeedFilesAreTakenByteForByte) {
  const std::string path = file("seed", "line one\r\nline two\n");
  EXPECT_EQ(read_seed(with("seed-file", path), CodePage::cp1252), "line one\r\nline two\n");
  EXPECT_EQ(read_seed(with("seed-hex", "00 ff"), CodePage::none), std::string("\0\xff", 2));
}

TEST(SecureWipe, ClearsTheWholeBuffer) {
  std::string secret(100, 's');
  const char* buffer = secret.data();
  const std::size_t capacity = secret.capacity();
  platform::secure_wipe(secret);
  EXPECT_TRUE(secret.empty());
  EXPECT_EQ(secret.data(), buffer) << "wiped in place, not reallocated";
  for (std::size_t i = 0; i < capacity; ++i) ASSERT_EQ(buffer[i], '\0') << i;
}

}  // namespace
}  // namespace quillfern::cli
