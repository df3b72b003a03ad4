// Many controls on many threads calling every text operation at once: the
// results must equal those of a single-threaded run. Each thread has its
// own host (message box, runtime); nothing else is shared, so the library's
// functions must be reentrant. Run under ThreadSanitizer by
// `./test.sh --thread`.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "quillfern/ciphers/cipher_text.hpp"
#include "quillfern/ciphers/fastblowfish.hpp"
#include "quillfern/ciphers/textbox.hpp"
#include "quillfern/control/dispatcher.hpp"
#include "quillfern/files/file_cipher.hpp"
#include "quillfern/files/wipe.hpp"
#include "quillfern/transforms/hex.hpp"
#include "quillfern/transforms/power.hpp"
#include "testing/doubles.hpp"
#include "support.hpp"

namespace quillfern {
namespace {

struct Call {
  const Operation* operation;
  std::vector<Variant> args;
};

// A printable text, or any codes, of a length that suits the operation.
Variant text_argument(std::mt19937& gen, std::size_t max_length, bool printable) {
  std::uniform_int_distribution<std::size_t> length(0, max_length);
  const unsigned seed = static_cast<unsigned>(gen());
  return test::random_text(length(gen), seed, printable ? 32 : 0, printable ? 126 : 255);
}

std::vector<Call> make_calls(unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<Call> calls;
  for (const Operation& op : interface_table()) {
    // The file operations and the About window have their own tests, and
    // Enabled is the one piece of state a control keeps between calls.
    if (op.name == "EncodeDecodeFile" || op.name == "WipeFileClean" || op.name == "About" ||
        op.kind != InvokeKind::method) {
      continue;
    }
    for (int round = 0; round < 6; ++round) {
      Call call{&op, {}};
      for (const Parameter& p : op.params()) {
        switch (p.type) {
          case ValueType::byte: call.args.emplace_back(static_cast<std::uint8_t>(gen() % 12)); break;
          case ValueType::boolean: call.args.emplace_back(Bool{gen() % 2 == 0}); break;
          default: call.args.push_back(text_argument(gen, round < 3 ? 40 : 300, round % 2 == 0)); break;
        }
      }
      calls.push_back(std::move(call));
    }
  }
  return calls;
}

// What a call did: its result and arguments afterwards, or its error, and
// the message boxes it showed.
std::string outcome(Encryption& control, testing::RecordingMessageBox& box, const Call& call) {
  std::vector<Variant> args = call.args;
  box.clear();
  std::string out;
  try {
    Variant result = invoke(control, call.operation->dispid, call.operation->kind, args);
    out = "result " + std::string(type_name(result)) + ":" + to_text(result);
  } catch (const Error& e) {
    out = "error " + std::to_string(e.code());
  }
  for (const Variant& arg : args) out += "|" + to_text(arg);
  for (const auto& message : box.messages()) out += "|box " + message.title + ":" + message.text;
  return out;
}

TEST(Load, ManyControlsOnManyThreadsMatchASingleThreadedRun) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  const std::vector<Call> calls = make_calls(seed);

  std::vector<std::string> expected;
  {
    testing::RecordingMessageBox box;
    platform::Host host(box);
    Encryption control(host);
    for (const Call& call : calls) expected.push_back(outcome(control, box, call));
  }

  constexpr int threads = 8;
  constexpr int controls_per_thread = 3;
  constexpr int rounds = 4;
  std::vector<int> mismatches(threads, 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      testing::RecordingMessageBox box;
      platform::Host host(box);
      std::vector<std::unique_ptr<Encryption>> controls;
      for (int c = 0; c < controls_per_thread; ++c) controls.push_back(std::make_unique<Encryption>(host));
      for (int r = 0; r < rounds; ++r) {
        for (std::size_t i = 0; i < calls.size(); ++i) {
          // Each thread walks the calls from its own starting point.
          const std::size_t k = (i + static_cast<std::size_t>(t) * 7) % calls.size();
          Encryption& control = *controls[(k + static_cast<std::size_t>(r)) % controls.size()];
          if (outcome(control, box, calls[k]) != expected[k]) ++mismatches[static_cast<std::size_t>(t)];
        }
      }
    });
  }
  for (auto& worker : workers) worker.join();
  for (int t = 0; t < threads; ++t) EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0) << "thread " << t;
}

// The plain functions on large inputs, where their vector kernels and
// shared constant tables are busiest: every thread must get the results of
// a single-threaded run.
TEST(Load, PlainFunctionsOnLargeInputsAreReentrant) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  const std::string text = test::random_text(1 << 18, seed);
  const std::string printable = test::random_text(1 << 16, seed + 1, 32, 126);
  const std::string password = "Passw0rd";

  auto run = [&] {
    std::vector<std::string> out;
    out.push_back(transforms::convert(text));
    out.push_back(transforms::deconvert(out.back()));
    out.push_back(transforms::power_encryption(printable.substr(0, 255), CodePage::cp1252));
    out.push_back(ciphers::fast_blow_fish(text, password));
    out.push_back(ciphers::encipher_text(printable, password).text);
    out.push_back(ciphers::decipher_text(out.back(), password).text);
    out.push_back(ciphers::text_box_crypt(printable, 3).text.value_or("(empty)"));
    files::BasicRandom random;
    out.push_back(files::encode_decode(text, password, random));
    return out;
  };
  const std::vector<std::string> expected = run();

  constexpr int threads = 6;
  std::vector<int> mismatches(threads, 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      for (int round = 0; round < 3; ++round) {
        if (run() != expected) ++mismatches[static_cast<std::size_t>(t)];
      }
    });
  }
  for (auto& worker : workers) worker.join();
  for (int t = 0; t < threads; ++t) EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0) << "thread " << t;
}

// Controls on many threads encoding, decoding and wiping their own files
// at once, each host with its own runtime: the generator is per runtime.
TEST(Load, FileOperationsOnManyThreadsMatchASingleThreadedRun) {
  const auto root = std::filesystem::temp_directory_path() /
                    ("quillfern-load-" + std::to_string(::getpid()));
  std::filesystem::create_directories(root);
  const std::string plain = test::random_text(300000, test::test_seed() + 7);
  auto slurp = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  auto work = [&](const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "plain", std::ios::binary) << plain;
    testing::RecordingMessageBox box;
    platform::Host host(box);
    Encryption control(host);
    const std::string in = (dir / "plain").string(), coded = (dir / "coded").string(),
                      back = (dir / "back").string(), pw = "load test";
    control.EncodeDecodeFile(in, coded, pw);
    host.runtime().reset();
    control.EncodeDecodeFile(coded, back, pw);
    std::string result = slurp(coded);
    const bool restored = slurp(back) == plain;
    control.WipeFileClean(coded);
    return std::make_pair(result, restored && !std::filesystem::exists(coded));
  };
  const auto expected = work(root / "single");
  ASSERT_TRUE(expected.second);

  constexpr int threads = 6;
  std::vector<int> mismatches(threads, 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      if (work(root / ("thread" + std::to_string(t))) != expected) ++mismatches[static_cast<std::size_t>(t)];
    });
  }
  for (auto& worker : workers) worker.join();
  std::filesystem::remove_all(root);
  for (int t = 0; t < threads; ++t) EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0) << "thread " << t;
}

}  // namespace
}  // namespace quillfern
