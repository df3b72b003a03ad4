// Commands of the file operations: file-code and wipe, with a progress bar
// on a terminal for long work.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "cli/command.hpp"
#include "cli/streams.hpp"
#include "cli/terminal_guard.hpp"
#include "quillfern/core/error.hpp"
#include "quillfern/files/file_cipher.hpp"
#include "quillfern/files/wipe.hpp"
#include "quillfern/platform/file_system.hpp"
#include "quillfern/platform/runtime.hpp"
#include "quillfern/platform/secure_memory.hpp"

namespace quillfern::cli {
namespace {

// Files below this size finish before a bar would be worth drawing.
constexpr std::uint64_t progress_threshold = 8u << 20;

std::string human_bytes(double bytes) {
  const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
  int unit = 0;
  while (bytes >= 1024 && unit < 4) {
    bytes /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
  return text;
}

// A one-line bar on standard error: bytes done, rate, time left. Drawn only
// on a terminal, without --quiet, for files over the threshold.
class ProgressBar {
 public:
  ProgressBar(std::string label, bool quiet) : label_(std::move(label)), enabled_(!quiet && is_terminal(STDERR_FILENO)) {}
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;
  ~ProgressBar() { finish(); }

  void update(std::uint64_t done, std::uint64_t total) {
    if (!enabled_ || total < progress_threshold) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(100) && done < total) return;
    last_ = now;
    drawn_ = true;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    const double left = rate > 0 ? static_cast<double>(total - done) / rate : 0;
    constexpr int width = 24;
    const int filled = static_cast<int>(width * static_cast<double>(done) / static_cast<double>(total));
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(width, ' ');
    std::fprintf(stderr, "\r%s [%s] %s / %s  %s/s  %.0f s left \x1b[K", label_.c_str(), bar.c_str(),
                 human_bytes(static_cast<double>(done)).c_str(),
                 human_bytes(static_cast<double>(total)).c_str(), human_bytes(rate).c_str(), left);
    std::fflush(stderr);
  }

  void finish() {
    if (drawn_) std::fputs("\r\x1b[K", stderr);
    drawn_ = false;
  }

  [[nodiscard]] files::FileProgress callback() {
    return [this](std::uint64_t done, std::uint64_t total) { update(done, total); };
  }

 private:
  std::string label_;
  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_ = start_;
};

bool is_standard(const std::string& name) { return name == "-"; }

// file-code on standard input or output: the key stream over the bytes in
// pieces, so any size runs in bounded memory; a file named as OUTPUT is
// still replaced only when the whole input has been read.
std::uint32_t file_code_stream(const std::string& input_name, const std::string& output_name,
                               const std::string& password, std::uint32_t state, bool force) {
  InputFile input(input_name);
  OutputFile output(is_standard(output_name) ? std::string() : output_name, force);
  std::vector<char> piece(std::size_t{1} << 17);
  std::optional<files::KeyStream> stream;
  std::uint32_t end_state = files::KeyStream::seeded_state(password, state);
  while (const std::size_t got = input.read(piece.data(), piece.size())) {
    // As the control does: an empty password fails only on a file with data.
    if (password.empty()) throw Error(ErrorNumber::invalid_call);
    if (!stream) stream.emplace(password, files::BasicRandom(state));
    auto* bytes = reinterpret_cast<unsigned char*>(piece.data());
    stream->apply(bytes, got);
    if (end_state == files::KeyStream::seeded_state(password, state) && is_standard(output_name)) {
      refuse_raw_to_terminal({piece.data(), got}, "", force, false);
    }
    output.write({piece.data(), got});
    end_state = stream->state();
  }
  output.commit();
  return end_state;
}

int file_code(Context& context) {
  std::vector<std::string> files_named = context.args.positionals();
  if (const auto output = context.args.value("output")) {
    if (files_named.size() != 1) throw UsageError("file-code -o OUTPUT takes one INPUT");
    files_named.push_back(*output);
  }
  if (files_named.size() != 2) throw UsageError("file-code takes INPUT and OUTPUT");
  for (const std::string& name : files_named) {
    if (name.empty()) throw UsageError("file-code needs file names ('-' is standard input or output)");
  }
  if (is_standard(files_named[1]) && context.args.has("print-state")) {
    throw UsageError("--print-state prints on standard output, which takes the file: give OUTPUT a name");
  }
  platform::Runtime runtime(generator_state_option(context));
  if (is_standard(files_named[0]) || is_standard(files_named[1])) {
    std::string password = context.password();
    const platform::WipeOnExit wipe_password(password);
    const std::uint32_t state = file_code_stream(files_named[0], files_named[1], password,
                                                 runtime.random().state(), context.args.has("force"));
    if (context.args.has("print-state")) write_output(std::to_string(state) + "\n");
    return exit_ok;
  }
  // The input is looked at before a password is asked for, so a mistyped
  // name fails at once.
  if (platform::file_info(files_named[0]).kind == platform::FileKind::missing) {
    platform::raise_file_error(ENOENT, platform::FileAccess::read, files_named[0]);
  }
  std::string password = context.password();
  const platform::WipeOnExit wipe_password(password);
  ProgressBar bar("file-code", context.args.has("quiet"));
  files::encode_decode_file(files_named[0], files_named[1], password, runtime.random(), bar.callback(),
                            replace_options(context.args.has("force")));
  bar.finish();
  if (context.args.has("print-state")) {
    write_output(std::to_string(runtime.random().state()) + "\n");
  }
  return exit_ok;
}

int wipe(Context& context) {
  const auto& names = context.args.positionals();
  if (names.empty()) throw UsageError("wipe takes at least one FILE");
  int status = exit_ok;
  for (const std::string& name : names) {
    ProgressBar bar("wipe", context.args.has("quiet"));
    // Other names of the file lose their data too; they are not deleted.
    const auto warn_links = [&](std::uint64_t others) {
      print_warning(name + " has " + std::to_string(others) + " other hard link" + (others == 1 ? "" : "s") +
                    ", whose data is destroyed too");
    };
    try {
      files::wipe_file_clean(name, bar.callback(), warn_links);
    } catch (const Error& e) {
      bar.finish();
      print_error(e);
      status = exit_error;
    }
  }
  return status;
}

}  // namespace

std::vector<Command> file_commands() {
  const Option quiet{"quiet", 'q', "", "no progress bar"};
  std::vector<Command> rows;
  rows.push_back(
      {"file-code", &operation_of<&Encryption::EncodeDecodeFile>(), "INPUT (OUTPUT | -o OUTPUT)",
       "encode or decode a file under a password (the same operation)",
       "Every byte is exclusive-ored with a key byte of the runtime's generator, seeded from the\n"
       "password. Each run starts the generator at its start state, as a new process would, so a\n"
       "file encoded by one run decodes in the next. OUTPUT is replaced only when the whole file\n"
       "is done and has exactly INPUT's length; it may be INPUT itself. A replaced OUTPUT keeps its\n"
       "mode, and its owner and group where the user may set them; a read-only one is replaced\n"
       "only with --force. Devices, pipes and /dev/stdout are written in place. '-' is\n"
       "standard input as INPUT and standard output as OUTPUT.",
       uses_password,
       generator_options({{"output", 'o', "OUTPUT", "write OUTPUT ('-' is standard output)"},
                          {"force", 'f', "", "replace OUTPUT even when it is read-only"},
                          quiet}),
       file_code});
  rows.push_back({"wipe", &operation_of<&Encryption::WipeFileClean>(), "FILE...",
                  "overwrite files with X, then spaces, and delete them",
                  "Each file is overwritten to the next whole 4096-byte block past its end, first\n"
                  "with 'X' and then with spaces, each pass flushed to the device, and deleted.\n"
                  "Read-only files are wiped too; anything but a regular file is refused. A file\n"
                  "that could not be deleted (a folder we may not write, sticky or append-only;\n"
                  "an immutable file) is refused with error 70 before anything is written, and\n"
                  "a name given to another file during the wipe is not deleted (error 75). On a\n"
                  "full device the file's own bytes still get both passes; the error (61) says\n"
                  "what could not be written, and the file stays. A file with other hard links\n"
                  "draws a warning: their data is the same and is destroyed too.",
                  uses_nothing, {quiet}, wipe});
  return rows;
}

}  // namespace quillfern::cli
