#include "quillfern/files/file_cipher.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "file_test_support.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/files/file_cipher_kernels.hpp"
#include "testing/doubles.hpp"
#include "reference/file_cipher_reference.hpp"
#include "support.hpp"
#include "vectors.hpp"

namespace quillfern {
namespace {

using files::BasicRandom;
using files::encode_decode;
using files::encode_decode_file;
using files::KeyStream;
using test::read_file;
using test::ScratchFolder;
using test::write_file;

QF_VECTOR_RUNNER("EncodeDecodeFile", [](const test::VectorCase& c) {
  const auto state = static_cast<std::uint32_t>(c.number("State"));
  const auto end = static_cast<std::uint32_t>(c.number("End"));
  BasicRandom random(state);
  EXPECT_EQ(encode_decode(c.at("InputFile"), c.at("Password"), random), c.at("OutputFile after"));
  EXPECT_EQ(random.state(), end);
  // The same through files.
  ScratchFolder folder;
  write_file(folder / "in", c.at("InputFile"));
  BasicRandom file_random(state);
  encode_decode_file(folder / "in", folder / "out", c.at("Password"), file_random);
  EXPECT_EQ(read_file(folder / "out"), c.at("OutputFile after"));
  EXPECT_EQ(file_random.state(), end);
});

// The reference's outcome: the cipher text and the end state.
std::pair<std::string, std::uint32_t> slow_cipher(std::string_view data, std::string_view password,
                                                  std::uint32_t state) {
  reference::ClassicRandom random{state};
  std::string out = reference::file_cipher(data, password, random);
  return {out, random.state};
}

std::string random_password(std::mt19937& gen, std::size_t length) {
  std::string password = test::random_text(length, static_cast<unsigned>(gen()));
  // Codes 0, 1 and 255 are in every other password.
  if (length >= 3 && gen() % 2 == 0) {
    password[gen() % length] = '\0';
    password[gen() % length] = '\x01';
    password[gen() % length] = '\xff';
  }
  return password;
}

TEST(FileCipher, MatchesTheDrawByDrawReference) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  const std::size_t lengths[] = {1, 2, 31, 32, 33, 127, 128, 129, 255, 1000, 4097};
  for (int round = 0; round < 60; ++round) {
    const std::size_t password_length = 1 + gen() % (round % 3 == 0 ? 70 : 12);
    const std::string password = random_password(gen, password_length);
    const std::uint32_t state = round % 4 == 0 ? BasicRandom::start_state : gen() & 0xFFFFFFu;
    const std::string data = test::random_text(lengths[static_cast<std::size_t>(round) % std::size(lengths)], static_cast<unsigned>(gen()));
    const auto [expected, end] = slow_cipher(data, password, state);
    for (cpu::Kernel kernel : files::lane_kernels) {
      BasicRandom random(state);
      KeyStream keys(password, random);
      files::KeyStreamKernels::use(keys, kernel);
      std::string out = data;
      // In pieces of random sizes: the stream carries on across calls.
      for (std::size_t done = 0; done < out.size();) {
        const std::size_t piece = std::min<std::size_t>(out.size() - done, 1 + gen() % 700);
        keys.apply(reinterpret_cast<unsigned char*>(out.data() + done), piece);
        done += piece;
      }
      EXPECT_EQ(out, expected) << "password length " << password_length << " data " << data.size()
                               << " " << cpu::to_string(files::KeyStreamKernels::used(keys)) << " lanes";
      EXPECT_EQ(keys.state(), end);
    }
  }
}

TEST(FileCipher, LongPasswordsGoByteByByteWithTheSameResult) {
  // 4097 characters: more step phases than the lane tables hold.
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  const std::string password = test::random_text(4097, seed, 0, 40);
  const std::string data = test::random_text(9000, seed + 1);
  BasicRandom random;
  EXPECT_EQ(encode_decode(data, password, random), slow_cipher(data, password, BasicRandom::start_state).first);
}

TEST(FileCipher, EmptyPasswordFailsOnlyForNonEmptyData) {
  BasicRandom random(777);
  EXPECT_QF_ERROR((void)encode_decode("x", "", random), ErrorNumber::invalid_call);
  EXPECT_EQ(random.state(), 777u);
  EXPECT_EQ(encode_decode("", "", random), "");
  EXPECT_EQ(random.state(), 777u);
  // The reference fails too, after its first byte.
  reference::ClassicRandom slow{777};
  EXPECT_QF_ERROR((void)reference::file_cipher("x", "", slow), ErrorNumber::invalid_call);
}

TEST(FileCipher, RoundTripsFilesOfTheEdgeSizes) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  ScratchFolder folder;
  const std::string password("p\x00\x01\xff w", 6);
  for (std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 10u << 20}) {
    const std::string data = test::random_text(size, seed + static_cast<unsigned>(size));
    write_file(folder / "plain", data);
    BasicRandom encoder, decoder;
    encode_decode_file(folder / "plain", folder / "coded", password, encoder);
    const std::string coded = read_file(folder / "coded");
    ASSERT_EQ(coded.size(), size);
    BasicRandom memory;
    EXPECT_EQ(coded, encode_decode(data, password, memory));
    encode_decode_file(folder / "coded", folder / "restored", password, decoder);
    EXPECT_EQ(read_file(folder / "restored"), data) << size;
    EXPECT_EQ(encoder.state(), decoder.state());
  }
  EXPECT_EQ(test::entries(folder.path()), 3u);  // no temporary file left
}

TEST(FileCipher, FilesOfUnknownLengthAreReadToTheirEnd) {
  // The files of /proc report a length of 0; a pipe has none.
  ScratchFolder folder;
  const std::string source = "/proc/self/mountinfo";
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "no " << source;
  const std::string data = read_file(source);
  ASSERT_FALSE(data.empty());
  ASSERT_EQ(std::filesystem::file_size(source), 0u);
  BasicRandom random, memory;
  encode_decode_file(source, folder / "coded", "pw", random);
  EXPECT_EQ(read_file(folder / "coded"), encode_decode(data, "pw", memory));
  EXPECT_EQ(random.state(), memory.state());
}

TEST(FileCipher, OutputHasExactlyTheInputLengthAndKeepsItsPermissions) {
  ScratchFolder folder;
  write_file(folder / "in", "short");
  write_file(folder / "out", std::string(10000, 'z'));
  ::chmod((folder / "out").c_str(), 0640);
  BasicRandom random;
  encode_decode_file(folder / "in", folder / "out", "pw", random);
  EXPECT_EQ(read_file(folder / "out").size(), 5u);
  struct stat info {};
  ASSERT_EQ(::stat((folder / "out").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(FileCipher, EncodesAFileOntoItselfByAnyName) {
  ScratchFolder folder;
  const std::string data = test::random_text(100000, 5);
  write_file(folder / "f", data);
  std::filesystem::create_symlink(folder / "f", folder / "link");
  BasicRandom a, b, c, memory;
  const std::string coded = encode_decode(data, "key", memory);
  encode_decode_file(folder / "f", folder / "f", "key", a);
  EXPECT_EQ(read_file(folder / "f"), coded);
  // Through the symbolic link: the link stays a link to the new content.
  encode_decode_file(folder / "link", folder / "link", "key", b);
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link"));
  EXPECT_EQ(read_file(folder / "f"), data);
  encode_decode_file(folder / "f", folder.path().string() + "/./link", "key", c);
  EXPECT_EQ(read_file(folder / "f"), coded);
  EXPECT_EQ(test::entries(folder.path()), 2u);
}

TEST(FileCipher, FailuresCreateNothingAndLeaveTheOutputAsItWas) {
  ScratchFolder folder;
  write_file(folder / "in", "data");
  write_file(folder / "out", "keep");
  std::filesystem::create_directory(folder / "dir");
  const struct {
    std::string input, output, password;
    ErrorNumber expected;
  } cases[] = {
      {folder / "missing", folder / "new", "pw", ErrorNumber::file_not_found},
      {folder / "nofolder/in", folder / "new", "pw", ErrorNumber::path_not_found},
      {folder / "in", folder / "nofolder/out", "pw", ErrorNumber::path_not_found},
      {folder / "in", folder / "out", "", ErrorNumber::invalid_call},
      {folder / "in", folder / "new", "", ErrorNumber::invalid_call},
      {folder / "dir", folder / "new", "pw", ErrorNumber::path_file_access},
      {folder / "in", folder / "dir", "pw", ErrorNumber::path_file_access},
      {folder / "in", folder / "in/x", "pw", ErrorNumber::path_not_found},
      {folder / "in", folder / std::string(300, 'n'), "pw", ErrorNumber::bad_file_name},
  };
  for (const auto& c : cases) {
    BasicRandom random(4242);
    EXPECT_QF_ERROR(encode_decode_file(c.input, c.output, c.password, random), c.expected);
    EXPECT_EQ(random.state(), 4242u) << "a failed call leaves the generator as it was";
  }
  EXPECT_EQ(read_file(folder / "out"), "keep");
  EXPECT_EQ(read_file(folder / "in"), "data");
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
  EXPECT_EQ(test::entries(folder.path()), 3u);
  // An empty input with an empty password is no failure.
  write_file(folder / "empty", "");
  BasicRandom random;
  encode_decode_file(folder / "empty", folder / "out", "", random);
  EXPECT_EQ(read_file(folder / "out"), "");
}

TEST(FileCipher, PermissionFailuresAreError70) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads and writes everything (see tests/cli/files_test.sh)";
  ScratchFolder folder;
  write_file(folder / "secret", "data");
  ::chmod((folder / "secret").c_str(), 0);
  std::filesystem::create_directory(folder / "locked");
  ::chmod((folder / "locked").c_str(), 0555);
  write_file(folder / "in", "data");
  BasicRandom random;
  EXPECT_QF_ERROR(encode_decode_file(folder / "secret", folder / "out", "pw", random),
                  ErrorNumber::permission_denied);
  EXPECT_QF_ERROR(encode_decode_file(folder / "in", folder / "locked/out", "pw", random),
                  ErrorNumber::permission_denied);
}

TEST(FileCipher, StopsCleanlyWhenTheProgressCallbackThrows) {
  ScratchFolder folder;
  write_file(folder / "in", std::string(3u << 20, 'a'));
  write_file(folder / "out", "keep");
  BasicRandom random;
  int calls = 0;
  EXPECT_THROW(encode_decode_file(folder / "in", folder / "out", "pw", random,
                                  [&](std::uint64_t done, std::uint64_t total) {
                                    EXPECT_EQ(total, 3u << 20);
                                    EXPECT_LE(done, total);
                                    if (++calls == 2) throw std::runtime_error("stop");
                                  }),
               std::runtime_error);
  EXPECT_EQ(read_file(folder / "out"), "keep");
  EXPECT_EQ(test::entries(folder.path()), 2u);
}

TEST(FileCipher, TheControlDrawsFromTheHostsRuntimeAcrossCalls) {
  ScratchFolder folder;
  const std::string data = "carried over";
  write_file(folder / "in", data);
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  control.EncodeDecodeFile(folder / "in", folder / "one", "pw");
  const std::uint32_t after_first = host.runtime().random().state();
  control.EncodeDecodeFile(folder / "in", folder / "two", "pw");
  // The second call went on from where the first left the generator.
  const auto [expected_two, end] = slow_cipher(data, "pw", after_first);
  EXPECT_EQ(read_file(folder / "two"), expected_two);
  EXPECT_EQ(host.runtime().random().state(), end);
  EXPECT_NE(read_file(folder / "one"), read_file(folder / "two"));
  // A fresh runtime decodes what a fresh runtime encoded.
  host.runtime().reset();
  control.EncodeDecodeFile(folder / "one", folder / "back", "pw");
  EXPECT_EQ(read_file(folder / "back"), data);
  EXPECT_QF_ERROR(control.EncodeDecodeFile(folder / "missing", folder / "x", "pw"), ErrorNumber::file_not_found);
}

}  // namespace
}  // namespace quillfern
