// Commands of the keyed text ciphers. Our tool never loses characters
// silently: when the control's result would leave some out (a cut cipher
// text, dropped text-box codes, a deciphering that stopped early), the
// command writes nothing and exits 4 unless --allow-loss is given.
#include <charconv>
#include <cstdio>
#include <span>

#include "cli/command.hpp"
#include "cli/stream_io.hpp"
#include "quillfern/ciphers/cipher_text.hpp"
#include "quillfern/ciphers/fastblowfish_stream.hpp"
#include "quillfern/ciphers/key_tables.hpp"
#include "quillfern/ciphers/textbox.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/core/identity.hpp"
#include "quillfern/platform/secure_memory.hpp"
#include "quillfern/transforms/hex.hpp"

namespace quillfern::cli {
namespace {

int code_at(const char* codes, std::size_t position) {
  return static_cast<unsigned char>(codes[position - 1]);
}

// Reports a result that would lose characters; true when the command may
// write it anyway.
bool allow_loss(const Context& context, const std::string& why) {
  if (context.args.has("allow-loss")) return true;
  print_error(why);
  print_hint("nothing was written; --allow-loss writes the shorter result");
  return false;
}

// One piece of a streamed command's codes, page-aligned.
class Piece {
 public:
  [[nodiscard]] char* data() const noexcept { return buffer_.get(); }
  [[nodiscard]] static constexpr std::size_t size() noexcept { return stream_piece; }

 private:
  PageBuffer buffer_ = page_aligned(stream_piece);
};

// The pieces a streamed command works on: the input's codes and the
// result's.
struct Pieces {
  Piece in;
  Piece out;
};

CodeSink sink_of(const Context& context, bool hold) {
  return CodeSink(context.args.value("output").value_or(""), context.args.has("force"), context.encoding, hold);
}

// The rest of an input whose result is already decided, counted for the
// message that reports it.
std::uint64_t count_rest(CodeSource& source, Pieces& pieces) {
  std::uint64_t count = 0;
  for (std::size_t got; (got = source.read(pieces.in.data(), pieces.in.size())) != 0;) count += got;
  return count;
}

void show_cipher_text_box(const Context& context, std::string_view text) {
  (void)context.notices.show(text, 12, identity::maker_name);
}

// FastBlowFish needs the whole length first: a regular file tells it, any
// other input is spooled. A regular file read as it is may still change
// before its last code, and the key stream depends on the length, so then
// the result is held back until the whole file has been read unchanged.
// Zero results are counted on the fast path and shown one by one only
// where each is printed.
int fast_blow_fish(Context& context) {
  std::string password = context.password();
  const platform::WipeOnExit wipe_password(password);
  CodeSource source(context.input_path(), context.encoding, true);
  ciphers::FastBlowFishStream stream(static_cast<std::size_t>(*source.length()), password);
  CodeSink sink = sink_of(context, source.live());
  const bool each = context.notices.mode() == NoticeMode::each;
  const ciphers::ZeroNotice tell = [&](std::size_t) {
    (void)context.notices.show("ERROR Zero!", platform::style_ok_only);
  };
  auto count = [&](std::size_t zeros) {
    if (zeros == 0) return;
    const bool first = stream.zeros() == zeros;
    if (first) (void)context.notices.show("ERROR Zero!", platform::style_ok_only);
    context.notices.repeat_last(first ? zeros - 1 : zeros);
  };
  // In place: one piece in the cache instead of two.
  const Piece piece;
  for (std::size_t got; (got = source.read(piece.data(), piece.size())) != 0;) {
    const std::size_t zeros = stream.process(piece.data(), got, piece.data(), each ? tell : ciphers::ZeroNotice{});
    if (!each) count(zeros);
    sink.write(piece.data(), got);
  }
  const std::size_t zeros = stream.finish(each ? tell : ciphers::ZeroNotice{});
  if (!each) count(zeros);
  sink.commit();
  return exit_ok;
}

// The text box drops codes anywhere, so without --allow-loss the result is
// held back until the whole text has gone through; so it is when a regular
// file is read as it is, which may still change before its last code.
int text_box_stream(Context& context, bool crypt, std::uint64_t key, const std::string& key_text) {
  const bool loss_allowed = context.args.has("allow-loss");
  CodeSource source(context.input_path(), context.encoding, false);
  CodeSink sink = sink_of(context, !loss_allowed || source.live());
  ciphers::TextBoxStream stream(crypt ? ciphers::TextBoxStream::Direction::crypt
                                      : ciphers::TextBoxStream::Direction::decrypt,
                                key);
  Pieces pieces;
  int first_code = -1;
  for (std::size_t got; (got = source.read(pieces.in.data(), pieces.in.size())) != 0;) {
    const std::size_t before = stream.consumed();
    const std::size_t written = stream.process(pieces.in.data(), got, pieces.out.data());
    if (first_code < 0 && stream.dropped() != 0) {
      first_code = code_at(pieces.in.data(), stream.first_dropped() - before);
    }
    // Once a code is dropped, a result held back will not be written.
    if (loss_allowed || stream.dropped() == 0) sink.write(pieces.out.data(), written);
  }
  if (stream.dropped() != 0) {
    const std::string why = std::string(context.command.name) + " would drop " + std::to_string(stream.dropped()) +
                            " of " + std::to_string(stream.consumed()) + " characters, the first at position " +
                            std::to_string(stream.first_dropped()) + " (code " + std::to_string(first_code) +
                            "): under key number " + key_text + " their codes would leave 0..255";
    if (!allow_loss(context, why)) return exit_loss;
  }
  sink.commit();
  return exit_ok;
}

// textbox-decrypt --key-number K: the key number itself (as identify finds
// it) in place of a password, since the cipher depends on nothing else.
int text_box_by_key(Context& context, std::string_view value) {
  for (const char* name : {"password-file", "password-fd", "password-env", "password-hex"}) {
    if (context.args.has(name)) throw UsageError("--key-number takes the place of a password: give only one");
  }
  std::uint64_t key = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), key);
  if (value.empty() || ec != std::errc{} || end != value.data() + value.size()) {
    throw UsageError("--key-number takes a whole number of 0 or more, not '" + std::string(value) + "'");
  }
  return text_box_stream(context, false, key, std::to_string(key));
}

template <bool crypt>
int text_box(Context& context) {
  if (const auto key = context.args.value("key-number"); !crypt && key) return text_box_by_key(context, *key);
  std::string password = context.password();
  const platform::WipeOnExit wipe_password(password);
  // As the control does: Password is overwritten with the key number's
  // decimal text, and the key number is read back from it.
  password = ciphers::text_box_key_text(ciphers::text_box_key(password));
  if (context.args.has("verbose")) {
    print_line("quillfern: key number " + password);
  }
  return text_box_stream(context, crypt, ciphers::text_box_read_key(password), password);
}

// What encipher and decipher start with: the password, the text, the
// stream, and the result, held back unless --allow-loss and the text is
// spooled or cannot change (opened at its first write, so that a refusal
// leaves no trace).
template <typename Stream>
struct CipherTextRun {
  explicit CipherTextRun(Context& context)
      : password(context.password()),
        source(context.input_path(), context.encoding, false),
        stream(password),
        loss_allowed(context.args.has("allow-loss")),
        sink(sink_of(context, !loss_allowed || source.live())) {}

  // An empty password is refused with the control's message box.
  [[nodiscard]] bool refused(const Context& context) const {
    if (stream.verdict() != ciphers::CipherVerdict::no_password) return false;
    show_cipher_text_box(context, "Please put in a password");
    return true;
  }

  std::string password;
  platform::WipeOnExit wipe_password{password};
  CodeSource source;
  Stream stream;
  bool loss_allowed;
  CodeSink sink;
  Pieces pieces;
};

// The cipher text is cut where a sum first exceeds 255; without
// --allow-loss the result is held back until the text has gone through.
int encipher(Context& context) {
  CipherTextRun<ciphers::EnCipherStream> run(context);
  if (run.refused(context)) return exit_refused;
  auto& [in, out] = run.pieces;
  const std::size_t lp = run.password.size();
  std::string block(lp, '\0');
  const platform::WipeOnExit wipe_block(block);
  run.sink.write(block.data(), run.stream.begin(block.data()));
  std::uint64_t read = 0;
  int cut_code = -1;
  for (std::size_t got; run.stream.cut_at() == 0 && (got = run.source.read(in.data(), in.size())) != 0;) {
    const std::size_t written = run.stream.process(in.data(), got, out.data());
    if (run.stream.cut_at() != 0 && run.stream.cut_at() > lp) {
      cut_code = code_at(in.data(), run.stream.cut_at() - lp - read);
    }
    read += got;
    if (run.loss_allowed || run.stream.cut_at() == 0) run.sink.write(out.data(), written);
  }
  if (run.stream.cut_at() != 0) {
    // The message names positions, never a code of the password.
    const std::size_t at = run.stream.cut_at();
    const std::uint64_t whole = lp + read + count_rest(run.source, run.pieces);
    std::string why = "encipher would cut the cipher text at position " + std::to_string(at) + " of " +
                      std::to_string(whole) + ": ";
    if (at <= lp) {
      why += "password character " + std::to_string(at) +
             " has a code above 127, so none of the text would be kept";
    } else {
      why += "text character " + std::to_string(at - lp) + " has code " + std::to_string(cut_code) +
             ", and with the password code aligned with it the sum exceeds 255";
    }
    if (!allow_loss(context, why)) return exit_loss;
  }
  run.sink.commit();
  return exit_ok;
}

// The verdict comes with the password block, before any of the text; a
// stop (a damaged cipher text) may come anywhere after it.
int decipher(Context& context) {
  CipherTextRun<ciphers::DeCipherStream> run(context);
  if (run.refused(context)) return exit_refused;
  auto& [in, out] = run.pieces;
  auto& stream = run.stream;
  std::uint64_t read = 0;
  int stop_code = -1;
  for (std::size_t got; stream.stopped_at() == 0 && (got = run.source.read(in.data(), in.size())) != 0;) {
    const std::size_t written = stream.process(in.data(), got, out.data());
    if (stream.decided() && stream.verdict() != ciphers::CipherVerdict::done) break;
    if (stream.stopped_at() != 0) stop_code = code_at(in.data(), stream.stopped_at() - read);
    read += got;
    if (written != 0 && (run.loss_allowed || stream.stopped_at() == 0)) run.sink.write(out.data(), written);
  }
  if (stream.finish() != ciphers::CipherVerdict::done) {
    show_cipher_text_box(context, "Access Denied");
    return exit_refused;
  }
  if (stream.stopped_at() != 0) {
    const std::uint64_t whole = read + count_rest(run.source, run.pieces);
    const std::string why = "decipher stopped at cipher position " + std::to_string(stream.stopped_at()) + " of " +
                            std::to_string(whole) + ": its code " + std::to_string(stop_code) +
                            " is below the password code aligned with it, so the cipher text is damaged";
    if (!allow_loss(context, why)) return exit_loss;
  }
  run.sink.commit();
  return exit_ok;
}

int print_tables(Context& context) {
  std::string text;
  for (int n = 1; n <= ciphers::key_table_count; ++n) {
    const std::span<const std::uint8_t> table = ciphers::key_table(n);
    text += transforms::convert(std::string_view(reinterpret_cast<const char*>(table.data()), table.size()));
    text += '\n';
  }
  context.write_text(text);
  return exit_ok;
}

}  // namespace

std::vector<Command> cipher_commands() {
  const Option verbose{"verbose", 'v', "", "print the key number on standard error"};
  return {
      {"fastblowfish", &operation_of<&Encryption::FastBlowFish>(), "[FILE]",
       "encipher or decipher with FastBlowFish (the same command both ways)",
       "The result has the input's length. Every position whose result is code 0 "
       "shows \"ERROR Zero!\" (see --notices); the result is written all the same. "
       "Any size streams in bounded memory; a pipe is spooled first, as the key "
       "depends on the whole length, and the result of a file is held back until "
       "the whole file has been read unchanged.",
       uses_text_io | uses_password | uses_notices, {}, fast_blow_fish},
      {"textbox-crypt", &operation_of<&Encryption::TextBoxCrypt>(), "[FILE]",
       "scramble a text under the key number of a password",
       "The key number is the password's code sum divided by 60. A code that would "
       "leave 0..255 is dropped by the control; then nothing is written (exit 4) "
       "unless --allow-loss is given: the result is held back until the end.",
       uses_text_io | uses_password | uses_loss, {verbose}, text_box<true>},
      {"textbox-decrypt", &operation_of<&Encryption::TextBoxDeCrypt>(), "[FILE]",
       "unscramble a text scrambled by textbox-crypt with the same password",
       "Give the same password as for textbox-crypt (not the key number), or the "
       "key number itself with --key-number (identify finds it).",
       uses_text_io | uses_password | uses_loss,
       {verbose, {"key-number", 'k', "K", "use key number K instead of a password"}},
       text_box<false>},
      {"encipher", &operation_of<&Encryption::EnCipherText>(), "[FILE]",
       "encipher a text into a cipher text that carries its password",
       "A password code plus its aligned code above 255 cuts the cipher text; then "
       "nothing is written (exit 4) unless --allow-loss is given. An empty password "
       "is refused (exit 3).",
       uses_text_io | uses_password | uses_loss | uses_notices, {}, encipher},
      {"decipher", &operation_of<&Encryption::DeCipherText>(), "[FILE]",
       "decipher a cipher text made by encipher, checking its password",
       "A cipher text that does not decipher to the password followed by the text "
       "is refused with \"Access Denied\" (exit 3, no output).",
       uses_text_io | uses_password | uses_loss | uses_notices, {}, decipher},
      {"tables", nullptr, "",
       "print the eight FastBlowFish key tables, one line each, in hexadecimal", "",
       uses_nothing, {}, print_tables},
  };
}

}  // namespace quillfern::cli
