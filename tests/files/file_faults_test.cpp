// Faults injected into the system calls of EncodeDecodeFile and
// WipeFileClean through the file system's hook: every call of a run
// failed in turn with ENOSPC, EIO and EINTR, interrupted every n-th time,
// transfers cut short, renames and flushes that fail, an input shortened
// between two reads. After each run the
// output is either as it was or complete and correct, nothing is left
// beside it, the generator moved only on success, and the error is the
// platform's number for the system's error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <algorithm>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "file_test_support.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/files/file_cipher.hpp"
#include "quillfern/files/wipe.hpp"
#include "quillfern/platform/file_system.hpp"
#include "quillfern/platform/system_calls.hpp"
#include "testing/doubles.hpp"
#include "reference/file_cipher_reference.hpp"
#include "support.hpp"

namespace quillfern {
namespace {

using platform::SystemCall;
using test::read_file;
using test::ScratchFolder;
using test::write_file;
namespace fs = std::filesystem;

const std::set<SystemCall> every_call = {
    SystemCall::open, SystemCall::create, SystemCall::stat,   SystemCall::read,
    SystemCall::write, SystemCall::sync,  SystemCall::chmod, SystemCall::close,
    SystemCall::rename, SystemCall::remove};
// The calls a full device can fail.
const std::set<SystemCall> filling_calls = {SystemCall::create, SystemCall::write, SystemCall::sync,
                                            SystemCall::close, SystemCall::rename, SystemCall::chmod};
// The calls a signal can interrupt, which are asked again.
const std::set<SystemCall> interruptible_calls = {SystemCall::open, SystemCall::create, SystemCall::read,
                                                  SystemCall::write, SystemCall::sync, SystemCall::close};
const std::set<SystemCall> transfers = {SystemCall::read, SystemCall::write};

// The fault of one run.
struct Fault {
  enum class Mode { none, fail_at, fail_every, shorten_every } mode = Mode::none;
  std::set<SystemCall> calls;  // the calls counted and faulted
  std::size_t n = 0;           // which of them (fail_at) or every how many
  int error = 0;

  [[nodiscard]] std::string describe() const {
    static const char* const modes[] = {"no fault", "fail call", "fail every", "shorten every"};
    return std::string(modes[static_cast<int>(mode)]) + " n=" + std::to_string(n) + " errno=" +
           std::to_string(error);
  }
};

class FaultHook final : public platform::SystemCallHook {
 public:
  FaultHook(Fault fault, unsigned seed) : fault_(std::move(fault)), gen_(seed) {
    previous_ = platform::set_system_call_hook(this);
  }
  ~FaultHook() override { platform::set_system_call_hook(previous_); }
  FaultHook(const FaultHook&) = delete;
  FaultHook& operator=(const FaultHook&) = delete;

  int before(SystemCall call, std::size_t& size) noexcept override {
    trace_.push_back(call);
    if (!fault_.calls.contains(call)) return 0;
    const std::size_t number = ++counted_;
    switch (fault_.mode) {
      case Fault::Mode::none:
        return 0;
      case Fault::Mode::fail_at:
        if (number != fault_.n) return 0;
        failed_ = call;
        ++injected_;
        return fault_.error;
      case Fault::Mode::fail_every:
        if (number % fault_.n != 0) return 0;
        ++injected_;
        return fault_.error;
      case Fault::Mode::shorten_every:
        if (number % fault_.n != 0 || size < 2) return 0;
        size = 1 + gen_() % (size - 1);
        ++injected_;
        return 0;
    }
    return 0;
  }

  [[nodiscard]] const std::vector<SystemCall>& trace() const noexcept { return trace_; }
  [[nodiscard]] std::optional<SystemCall> failed() const noexcept { return failed_; }
  [[nodiscard]] std::size_t injected() const noexcept { return injected_; }

 private:
  Fault fault_;
  std::mt19937 gen_;
  platform::SystemCallHook* previous_ = nullptr;
  std::vector<SystemCall> trace_;
  std::size_t counted_ = 0;
  std::size_t injected_ = 0;
  std::optional<SystemCall> failed_;
};

// The platform's number for an injected system error, written out here
// so that the mapping itself is checked.
ErrorNumber mapped(int error) {
  static const std::map<int, ErrorNumber> numbers = {
      {ENOSPC, ErrorNumber::disk_full},     {EDQUOT, ErrorNumber::disk_full},
      {EFBIG, ErrorNumber::disk_full},      {EIO, ErrorNumber::device_io},
      {EACCES, ErrorNumber::permission_denied}, {EROFS, ErrorNumber::permission_denied},
      {EXDEV, ErrorNumber::path_file_access},   {EBUSY, ErrorNumber::path_file_access}};
  return numbers.at(error);
}

// Whether a run with `fault` must succeed: interruptions and short
// transfers are retried.
bool must_succeed(const Fault& fault) {
  return fault.mode == Fault::Mode::none || fault.mode == Fault::Mode::shorten_every || fault.error == EINTR;
}

// Runs `one` with no fault to learn its calls, then with each fault of
// the sweep; returns the number of runs. `one` runs the operation under
// the given fault, checks its outcome and returns the calls it made.
std::size_t sweep(const std::function<std::vector<SystemCall>(const Fault&)>& one) {
  const std::vector<SystemCall> trace = one(Fault{});
  const auto count = [&](const std::set<SystemCall>& calls) {
    return static_cast<std::size_t>(std::count_if(trace.begin(), trace.end(), [&](SystemCall c) { return calls.contains(c); }));
  };
  std::size_t runs = 1;
  const auto run = [&](const Fault& fault) {
    SCOPED_TRACE(fault.describe());
    one(fault);
    ++runs;
  };
  for (std::size_t n = 1; n <= count(every_call); ++n) {
    run({Fault::Mode::fail_at, every_call, n, EIO});
  }
  for (std::size_t n = 1; n <= count(filling_calls); ++n) {
    run({Fault::Mode::fail_at, filling_calls, n, ENOSPC});
  }
  for (std::size_t n = 1; n <= count(interruptible_calls); ++n) {
    run({Fault::Mode::fail_at, interruptible_calls, n, EINTR});
    if (n >= 2) run({Fault::Mode::fail_every, interruptible_calls, n, EINTR});
  }
  for (std::size_t n = 1; n <= std::max<std::size_t>(count(transfers), 1); ++n) {
    run({Fault::Mode::shorten_every, transfers, n, 0});
  }
  return runs;
}

// ---- EncodeDecodeFile ------------------------------------------------

enum class Output { fresh, existing, self, link };

struct CipherCase {
  const char* name;
  std::size_t size;
  Output output;
  bool pipe_input = false;  // read from a pipe, not a regular file
  bool control = false;     // through Encryption::EncodeDecodeFile
};

// A password of small codes, with a 0, so that the reference is quick.
const std::string password("\x03\x01\x00\x02", 4);
constexpr std::uint32_t start_state = 0x2468AC;

struct Expected {
  std::string data, out;
  std::uint32_t end;
};

Expected expected_for(std::size_t size) {
  Expected e;
  e.data = test::random_text(size, static_cast<unsigned>(size) + test::test_seed());
  reference::ClassicRandom random{start_state};
  e.out = reference::file_cipher(e.data, password, random);
  e.end = random.state;
  return e;
}

// One run of a case under `fault`, with every check; returns the calls
// the run made.
std::vector<SystemCall> run_cipher(const CipherCase& c, const Expected& e, const Fault& fault, unsigned seed) {
  ScratchFolder folder;
  const std::string earlier = "the earlier output";
  const std::string in = folder / "in";
  std::string out = folder / "out";
  std::string in_name = in;
  int pipe_end = -1;
  if (c.pipe_input) {
    int ends[2];
    if (::pipe(ends) != 0) throw std::runtime_error("pipe failed");
    // The whole input waits in the pipe, which then ends.
    if (::write(ends[1], e.data.data(), e.data.size()) != static_cast<ssize_t>(e.data.size())) {
      throw std::runtime_error("the pipe took less than the input");
    }
    ::close(ends[1]);
    pipe_end = ends[0];
    in_name = "/proc/self/fd/" + std::to_string(pipe_end);
  } else {
    write_file(in, e.data);
  }
  std::string target = out;
  switch (c.output) {
    case Output::fresh: break;
    case Output::existing: write_file(out, earlier); break;
    case Output::self: out = target = in; break;
    case Output::link:
      target = folder / "target";
      write_file(target, earlier);
      fs::create_symlink(target, out);
      break;
  }
  const std::size_t names = test::entries(folder.path());

  std::optional<Error> error;
  std::uint32_t end = 0;
  std::vector<SystemCall> trace;
  {
    testing::RecordingMessageBox box;
    platform::Host host(box);
    Encryption control(host);
    files::BasicRandom random(start_state);
    host.runtime().random().set_state(start_state);
    FaultHook hook(fault, seed);
    try {
      if (c.control) {
        control.EncodeDecodeFile(in_name, out, password);
      } else {
        files::encode_decode_file(in_name, out, password, random);
      }
    } catch (const Error& failure) {
      error = failure;
    }
    end = c.control ? host.runtime().random().state() : random.state();
    trace = hook.trace();
    if (must_succeed(fault)) {
      EXPECT_FALSE(error) << c.name << ": " << error->what();
    } else {
      EXPECT_EQ(hook.injected(), 1u) << c.name << ": the fault was not met";
      if (!error) {
        ADD_FAILURE() << c.name << ": a failed call went unnoticed";
      } else {
        EXPECT_EQ(error->number(), mapped(fault.error)) << c.name << ": " << error->what();
      }
    }
  }
  if (pipe_end >= 0) ::close(pipe_end);

  if (error) {
    // Nothing changed: the output as it was, the generator where it was.
    switch (c.output) {
      case Output::fresh: EXPECT_FALSE(fs::exists(out)) << c.name; break;
      case Output::existing: EXPECT_EQ(read_file(out), earlier) << c.name; break;
      case Output::self: EXPECT_EQ(read_file(in), e.data) << c.name; break;
      case Output::link: EXPECT_EQ(read_file(target), earlier) << c.name; break;
    }
    EXPECT_EQ(end, start_state) << c.name;
    EXPECT_EQ(test::entries(folder.path()), names) << c.name << ": a temporary file was left";
  } else {
    EXPECT_TRUE(read_file(target) == e.out) << c.name << ": the output is not the cipher text";
    EXPECT_EQ(end, e.end) << c.name;
    EXPECT_EQ(test::entries(folder.path()), names + (c.output == Output::fresh ? 1 : 0))
        << c.name << ": a temporary file was left";
  }
  if (c.output == Output::link) {
    EXPECT_TRUE(fs::is_symlink(out)) << c.name;
  }
  if (c.output != Output::self && !c.pipe_input) {
    EXPECT_TRUE(read_file(in) == e.data) << c.name;
  }
  return trace;
}

TEST(FileFaults, EncodeDecodeFileLosesNothingUnderEveryFault) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  // Over one block of the cipher (1 MiB) the file is read and written in
  // several pieces.
  constexpr std::size_t large = (std::size_t{1} << 20) + 4097;
  const CipherCase cases[] = {
      {"new output", 5000, Output::fresh},
      {"existing output", 5000, Output::existing},
      {"output onto the input", 5000, Output::self},
      {"output through a link", 5000, Output::link},
      {"empty input", 0, Output::existing},
      {"input from a pipe", 40000, Output::existing, true},
      {"two blocks", large, Output::existing},
      {"the control's method", 5000, Output::existing, false, true},
  };
  std::map<std::size_t, Expected> expected;
  std::size_t runs = 0;
  for (const CipherCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (!expected.contains(c.size)) expected.emplace(c.size, expected_for(c.size));
    const Expected& e = expected.at(c.size);
    runs += sweep([&](const Fault& fault) { return run_cipher(c, e, fault, seed); });
  }
  std::cout << "EncodeDecodeFile fault cases run: " << runs << "\n";
  EXPECT_GT(runs, 250u);
}

// Someone else shortens the input while it is read: at the n-th read, to
// a length below the one it had when it was opened. The run fails with 57
// and leaves nothing behind, never a shorter output.
class ShorteningHook final : public platform::SystemCallHook {
 public:
  ShorteningHook(std::string path, std::size_t at_read, std::size_t length)
      : path_(std::move(path)), at_read_(at_read), length_(length) {
    previous_ = platform::set_system_call_hook(this);
  }
  ~ShorteningHook() override { platform::set_system_call_hook(previous_); }
  ShorteningHook(const ShorteningHook&) = delete;
  ShorteningHook& operator=(const ShorteningHook&) = delete;

  int before(SystemCall call, std::size_t&) noexcept override {
    if (call == SystemCall::read && ++reads_ == at_read_) {
      cut_ = ::truncate(path_.c_str(), static_cast<off_t>(length_)) == 0;
    }
    return 0;
  }
  [[nodiscard]] bool cut() const noexcept { return cut_; }

 private:
  std::string path_;
  std::size_t at_read_, length_;
  std::size_t reads_ = 0;
  bool cut_ = false;
  platform::SystemCallHook* previous_ = nullptr;
};

TEST(FileFaults, AnInputShortenedWhileItIsReadFailsCleanly) {
  // Three blocks of the cipher; cut before the first, the second and the
  // last read, to nothing, into a block and at a block's edge.
  constexpr std::size_t block = std::size_t{1} << 20;
  const std::string data = test::random_text(3 * block, test::test_seed());
  const struct {
    std::size_t at_read, length;
  } cuts[] = {{1, 0}, {1, 100}, {2, 0}, {2, block}, {2, block + 5000}, {3, 2 * block}, {3, 3 * block - 1}};
  for (const auto& cut : cuts) {
    for (Output output : {Output::fresh, Output::existing, Output::self}) {
      SCOPED_TRACE("cut at read " + std::to_string(cut.at_read) + " to " + std::to_string(cut.length) +
                   " bytes, output " + std::to_string(static_cast<int>(output)));
      ScratchFolder folder;
      const std::string in = folder / "in";
      write_file(in, data);
      std::string out = folder / "out";
      if (output == Output::existing) write_file(out, "the earlier output");
      if (output == Output::self) out = in;
      const std::size_t names = test::entries(folder.path());
      files::BasicRandom random(start_state);
      {
        ShorteningHook hook(in, cut.at_read, cut.length);
        EXPECT_QF_ERROR(files::encode_decode_file(in, out, password, random), ErrorNumber::device_io);
        EXPECT_TRUE(hook.cut());
      }
      EXPECT_EQ(random.state(), start_state);
      EXPECT_EQ(test::entries(folder.path()), names) << "a temporary file was left";
      switch (output) {
        case Output::existing: EXPECT_EQ(read_file(out), "the earlier output"); break;
        case Output::fresh: EXPECT_FALSE(fs::exists(out)); break;
        default: EXPECT_EQ(read_file(in).size(), cut.length); break;
      }
    }
  }
}

// ---- WipeFileClean ---------------------------------------------------

struct WipeCase {
  const char* name;
  std::size_t size;
  bool read_only = false;
  bool control = false;
};

std::vector<SystemCall> run_wipe(const WipeCase& c, const Fault& fault, unsigned seed) {
  ScratchFolder folder;
  const std::string name = folder / "doomed";
  const std::string witness = folder / "witness";
  write_file(name, std::string(c.size, 'd'));
  if (c.read_only) fs::permissions(name, fs::perms::owner_read | fs::perms::group_read);
  const fs::perms mode = fs::status(name).permissions();
  // A second name keeps the bytes in sight after the wipe deletes its own.
  fs::create_hard_link(name, witness);
  std::optional<Error> error;
  std::vector<SystemCall> trace;
  {
    testing::RecordingMessageBox box;
    platform::Host host(box);
    Encryption control(host);
    FaultHook hook(fault, seed);
    try {
      if (c.control) {
        control.WipeFileClean(name);
      } else {
        files::wipe_file_clean(name);
      }
    } catch (const Error& failure) {
      error = failure;
    }
    trace = hook.trace();
    if (must_succeed(fault)) {
      EXPECT_FALSE(error) << c.name << ": " << error->what();
    } else if (!error) {
      ADD_FAILURE() << c.name << ": a failed call went unnoticed";
    } else {
      EXPECT_EQ(error->number(), mapped(fault.error)) << c.name << ": " << error->what();
    }
  }
  const std::uint64_t extent = files::wipe_extent(c.size);
  if (error) {
    // The file stays where it was, at most overwritten, with its mode,
    // and can be wiped.
    EXPECT_TRUE(fs::is_regular_file(name)) << c.name;
    EXPECT_EQ(fs::status(name).permissions(), mode) << c.name << ": the mode was not put back";
    EXPECT_EQ(test::entries(folder.path()), 2u) << c.name;
    files::wipe_file_clean(name);
  } else {
    EXPECT_EQ(test::entries(folder.path()), 1u) << c.name;
    EXPECT_TRUE(read_file(witness) == std::string(extent, ' ')) << c.name << ": not all spaces";
    EXPECT_EQ(fs::status(witness).permissions(), mode) << c.name << ": the other name's mode changed";
  }
  EXPECT_FALSE(fs::exists(name)) << c.name;
  return trace;
}

TEST(FileFaults, WipeFileCleanLosesNothingUnderEveryFault) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  const WipeCase cases[] = {
      {"empty file", 0},
      {"several blocks", 70000},
      {"read-only file", 5000, true},
      {"over one fill", (std::size_t{1} << 20) + 10},
      {"the control's method", 5000, false, true},
  };
  std::size_t runs = 0;
  for (const WipeCase& c : cases) {
    SCOPED_TRACE(c.name);
    runs += sweep([&](const Fault& fault) { return run_wipe(c, fault, seed); });
  }
  std::cout << "WipeFileClean fault cases run: " << runs << "\n";
  EXPECT_GT(runs, 100u);
}

// A device with room for `room` bytes of writes between two flushes: the
// write that would pass it is cut to what is left, and the next one fails
// with ENOSPC. A wipe's second pass over bytes already written needs no
// more room than the first, so the count starts again at each flush.
class FullDevice final : public platform::SystemCallHook {
 public:
  explicit FullDevice(std::size_t room) : room_(room) { previous_ = platform::set_system_call_hook(this); }
  ~FullDevice() override { platform::set_system_call_hook(previous_); }
  FullDevice(const FullDevice&) = delete;
  FullDevice& operator=(const FullDevice&) = delete;

  int before(SystemCall call, std::size_t& size) noexcept override {
    if (call == SystemCall::sync) written_ = 0;
    if (call != SystemCall::write) return 0;
    if (written_ >= room_) return ENOSPC;
    size = std::min(size, room_ - written_);
    written_ += size;
    return 0;
  }

 private:
  std::size_t room_;
  std::size_t written_ = 0;
  platform::SystemCallHook* previous_ = nullptr;
};

TEST(FileFaults, AFullDeviceStillGetsBothPassesOverTheFilesOwnBytes) {
  const struct {
    std::size_t size, room, spaces;
    bool read_only;
    const char* says;
  } cases[] = {
      {5000, 5000, 5000, false, "3192 of the 3192 bytes past its end could not be written"},
      {8192, 8192, 8192, true, "4096 of the 4096 bytes past its end could not be written"},
      {8192, 9000, 9000, false, "3288 of the 4096 bytes past its end"},  // part of the growth fits
      {0, 0, 0, false, "4096 of the 4096 bytes past its end"},
      {(1u << 20) + 10, (1u << 20) + 10, (1u << 20) + 10, true, "its own 1048586 bytes were overwritten"},
      // A device that copies on write may refuse the file's own bytes: a
      // refused write reports nothing of what it wrote, so those count as
      // not overwritten.
      {70000, 30000, 0, false, "only the first 0 of its 70000 bytes could be overwritten"},
      {(3u << 20) + 5, (2u << 20) + 7, 2u << 20, false, "only the first 2097152 of its 3145733 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    ScratchFolder folder;
    const std::string name = folder / "doomed", witness = folder / "witness";
    write_file(name, std::string(c.size, 'd'));
    if (c.read_only) fs::permissions(name, fs::perms::owner_read | fs::perms::group_read);
    const fs::perms mode = fs::status(name).permissions();
    fs::create_hard_link(name, witness);
    try {
      FullDevice device(c.room);
      files::wipe_file_clean(name);
      ADD_FAILURE() << "the wipe did not fail";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), ErrorNumber::disk_full);
      EXPECT_NE(e.detail().find(c.says), std::string::npos) << e.detail();
      EXPECT_NE(e.detail().find("it was not deleted"), std::string::npos) << e.detail();
    }
    const std::string left = read_file(witness);
    EXPECT_GE(left.size(), c.spaces);
    EXPECT_TRUE(left.substr(0, c.spaces) == std::string(c.spaces, ' ')) << "the file's own bytes were not all spaces";
    if (c.spaces >= c.size) {
      EXPECT_EQ(left.find_first_not_of(' '), std::string::npos) << "bytes of the first pass were left";
    }
    EXPECT_TRUE(fs::is_regular_file(name));
    EXPECT_EQ(fs::status(name).permissions(), mode);
  }
}

// ---- Named faults ----------------------------------------------------

// A rename or a flush that fails with each of the errors a system gives
// for it: the platform's number, the output as it was.
TEST(FileFaults, FailedRenamesAndFlushesKeepTheEarlierOutput) {
  const unsigned seed = test::test_seed();
  const struct {
    SystemCall call;
    int error;
  } faults[] = {
      {SystemCall::rename, EXDEV},  {SystemCall::rename, EACCES}, {SystemCall::rename, EROFS},
      {SystemCall::rename, EBUSY},  {SystemCall::rename, ENOSPC}, {SystemCall::rename, EIO},
      {SystemCall::rename, EDQUOT}, {SystemCall::sync, EIO},      {SystemCall::sync, ENOSPC},
      {SystemCall::sync, EDQUOT},   {SystemCall::close, EIO},     {SystemCall::close, EDQUOT},
      {SystemCall::write, EFBIG},   {SystemCall::write, EDQUOT},  {SystemCall::remove, EBUSY},
      {SystemCall::remove, EACCES},
  };
  const Expected e = expected_for(3000);
  std::size_t runs = 0;
  for (const auto& f : faults) {
    const Fault fault{Fault::Mode::fail_at, {f.call}, 1, f.error};
    SCOPED_TRACE(fault.describe());
    if (f.call != SystemCall::remove) {
      for (Output output : {Output::existing, Output::fresh, Output::self}) {
        run_cipher({"named fault", e.data.size(), output}, e, fault, seed);
        ++runs;
      }
    }
    if (f.call != SystemCall::rename) {
      run_wipe({"named fault", 3000}, fault, seed);
      ++runs;
    }
  }
  std::cout << "Named fault cases run: " << runs << "\n";
}

}  // namespace
}  // namespace quillfern
