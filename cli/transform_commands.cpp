// Commands of the character transforms.
#include <cstdint>
#include <limits>
#include <memory>

#include "cli/command.hpp"
#include "cli/explain.hpp"
#include "cli/text_input.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/transforms/hex.hpp"
#include "quillfern/transforms/password.hpp"
#include "quillfern/transforms/power.hpp"
#include "quillfern/transforms/seed.hpp"
#include "quillfern/transforms/shift.hpp"

namespace quillfern::cli {
namespace {

// How much of the text decides the result of a length-limited operation:
// any longer text fails exactly as its first `decided` characters do, so the
// command reads no further and hands the control that much. The password
// cipher fails by its 255th character at the latest; the operations that
// take the length as a 16-bit number fail at once from 32768 on (below
// that, a text of 32767 fails only after its last character, so its last
// character counts).
constexpr std::size_t password_decided = transforms::password_max_length + 1;
constexpr std::size_t length16_decided = std::size_t{std::numeric_limits<std::int16_t>::max()} + 1;
static_assert(transforms::shift_max_length < length16_decided &&
              transforms::seed_max_length < length16_decided &&
              transforms::power_max_length < length16_decided);

std::uint8_t number_option(const Context& context) {
  auto value = context.args.value("number");
  if (!value) throw UsageError("--number N is required");
  return parse_number("number", *value);
}

template <auto Method>
int password_command(Context& context) {
  const std::uint8_t number = number_option(context);
  const std::string input = context.read_text(password_decided);
  platform::Host host(context.notices);
  Encryption control(host);
  std::string output;
  try {
    (control.*Method)(number, input, output);
  } catch (const Error& e) {
    throw explained({*context.command.operation, input, number}, e);
  }
  context.write_text(output);
  return exit_ok;
}

// A transform with one input text of at most 32766 characters and OutPut.
template <auto Method>
int shift_command(Context& context) {
  const std::string input = context.read_text(length16_decided);
  platform::Host host(context.notices);
  Encryption control(host);
  std::string output;
  try {
    (control.*Method)(input, output);
  } catch (const Error& e) {
    throw explained({*context.command.operation, input}, e);
  }
  context.write_text(output);
  return exit_ok;
}

// Hexadecimal conversion streams raw bytes in pieces, so any size runs in
// bounded memory: every code is converted on its own and every pair of
// digits is read on its own, so converting piece by piece gives exactly the
// control's result.
constexpr std::size_t hex_piece = std::size_t{128} << 10;

// -o FILE (replaced atomically, read-only only with --force) or standard
// output.
OutputFile output_of(const Context& context) {
  return OutputFile(context.args.value("output").value_or(""), context.args.has("force"));
}

// With --encoding the text arrives as UTF-8 and is converted in pieces,
// so memory stays bounded here too. A character the code page lacks ends
// the run with an error: -o then writes nothing, while standard output has
// already taken the digits before it.
int convert_encoded(Context& context) {
  TextReader input(context.input_path(), context.encoding);
  OutputFile output = output_of(context);
  std::string codes;
  std::string digits;
  while (input.read(codes, hex_piece) != 0) {
    // Hexadecimal digits are ASCII, the same in every code page and in UTF-8.
    digits.resize(transforms::converted_size(codes.size()));
    transforms::convert_to(codes, digits.data());
    output.write(digits);
    codes.clear();
  }
  output.commit();
  return exit_ok;
}

int deconvert_encoded(Context& context) {
  TextReader input(context.input_path(), context.encoding);
  OutputFile output = output_of(context);
  std::string digits;
  std::string codes;
  // As in the raw stream below, an odd character waits for its partner.
  while (input.read(digits, 2 * hex_piece) != 0) {
    const std::size_t whole = digits.size() - digits.size() % 2;
    codes.resize(whole / 2);
    transforms::deconvert_to(std::string_view(digits).substr(0, whole), codes.data());
    output.write(to_utf8(codes, context.encoding));
    digits.erase(0, whole);
  }
  if (!digits.empty()) output.write(to_utf8(transforms::deconvert(digits), context.encoding));
  output.commit();
  return exit_ok;
}

// A raw stream of the hexadecimal conversions: FILE or standard input,
// -o FILE or standard output, and a page-aligned buffer for each side.
struct HexStream {
  HexStream(const Context& context, std::size_t in_size, std::size_t out_size)
      : input(context.input_path()), output(output_of(context)), in(page_aligned(in_size)), out(page_aligned(out_size)) {}

  InputFile input;
  OutputFile output;
  PageBuffer in, out;
};

int convert_command(Context& context) {
  if (context.encoding != CodePage::none) return convert_encoded(context);
  HexStream hex(context, hex_piece, transforms::converted_size(hex_piece));
  while (const std::size_t got = hex.input.read(hex.in.get(), hex_piece)) {
    transforms::convert_to({hex.in.get(), got}, hex.out.get());
    hex.output.write({hex.out.get(), transforms::converted_size(got)});
  }
  hex.output.commit();
  return exit_ok;
}

int deconvert_command(Context& context) {
  if (context.encoding != CodePage::none) return deconvert_encoded(context);
  const std::size_t piece = 2 * hex_piece;  // even: pairs never straddle two pieces
  HexStream hex(context, piece, hex_piece);
  char* digits = hex.in.get();
  char* codes = hex.out.get();
  // A lone digit left at the end of a piece (when a read came up short of
  // an even count) is carried to the front of the next one.
  std::size_t carried = 0;
  for (;;) {
    const std::size_t got = hex.input.read(digits + carried, piece - carried);
    const std::size_t filled = carried + got;
    if (got == 0) break;
    const std::size_t whole = filled - filled % 2;
    transforms::deconvert_to({digits, whole}, codes);
    hex.output.write({codes, whole / 2});
    carried = filled - whole;
    if (carried != 0) digits[0] = digits[whole];
  }
  if (carried != 0) {
    transforms::deconvert_to({digits, carried}, codes);
    hex.output.write({codes, 1});
  }
  hex.output.commit();
  return exit_ok;
}

int seed_command(Context& context) {
  // No text that the control takes needs more of the seed than this.
  const std::string seed = context.seed(length16_decided - 1);
  const std::string input = context.read_text(length16_decided);
  platform::Host host(context.notices);
  Encryption control(host);
  std::string output;
  try {
    output = control.SeedEncryption(input, seed);
  } catch (const Error& e) {
    throw explained({*context.command.operation, input, 0, seed.size()}, e);
  }
  context.write_text(output);
  return exit_ok;
}

int power_command(Context& context) {
  CodePage page = CodePage::cp1252;
  if (auto name = context.args.value("codepage")) {
    auto parsed = parse_code_page(*name);
    if (!parsed) throw UsageError("--codepage takes cp1252, latin1 or none, not '" + *name + "'");
    page = *parsed;
  }
  const std::string input = context.read_text(length16_decided);
  platform::Host host(context.notices, page);
  Encryption control(host);
  std::string output;
  try {
    output = control.PowerEncryption(input);
  } catch (const Error& e) {
    throw explained({*context.command.operation, input}, e);
  }
  context.write_text(output);
  return exit_ok;
}

}  // namespace

std::vector<Command> transform_commands() {
  const std::vector<Option> number{
      {"number", 'n', "N", "the one-byte key, 0 to 255 (see above for the texts each takes)"}};
  std::vector<Command> rows;
  rows.push_back({"encrypt-password", &operation_of<&Encryption::EncryptPassword>(), "--number N [FILE]",
                  "scramble a password under a one-byte key",
                  "Key N from 0 to 10 takes a text of at most 254 characters whose codes are at "
                  "most 255 - N at odd positions (1, 3, ...) and at least N at even positions "
                  "(2, 4, ...); any other code fails with error 5, naming its position. Keys 11 "
                  "to 255 take only the empty text. A 255th character fails with error 6.",
                  uses_text_io, number, password_command<&Encryption::EncryptPassword>});
  rows.push_back({"decrypt-password", &operation_of<&Encryption::DecryptPassword>(), "--number N [FILE]",
                  "restore a password scrambled with the same key",
                  "A text that encrypt-password made with key N always restores under key N; "
                  "another text may fail with error 5, naming its position and what the key "
                  "takes there.",
                  uses_text_io, number,
                  password_command<&Encryption::DecryptPassword>});
  rows.push_back({"convert", &operation_of<&Encryption::convert>(), "[FILE]", "write every code as two upper-case hex digits",
                  "Any length; the text streams through in bounded memory (with --encoding too).", uses_text_io, {},
                  convert_command});
  rows.push_back({"deconvert", &operation_of<&Encryption::DeConvert>(), "[FILE]", "read pairs of hex digits back into codes",
                  "Never fails: a pair is read as the number \"&H\" followed by it (a pair that "
                  "does not start with a digit gives code 0, a bad second character gives the "
                  "first digit's value, blanks, tabs and line feeds are skipped, a lone last "
                  "digit gives its own value). Line breaks are not removed first.",
                  uses_text_io, {}, deconvert_command});
  rows.push_back({"easy-encode", &operation_of<&Encryption::EasyCryptEnCode>(), "[FILE]", "raise every code by one",
                  "At most 32766 characters (error 6); code 255 fails with error 5.", uses_text_io,
                  {}, shift_command<&Encryption::EasyCryptEnCode>});
  rows.push_back({"easy-decode", &operation_of<&Encryption::EasyCryptDeCode>(), "[FILE]", "lower every code by one",
                  "At most 32766 characters (error 6); code 0 fails with error 5.", uses_text_io,
                  {}, shift_command<&Encryption::EasyCryptDeCode>});
  rows.push_back({"seed", &operation_of<&Encryption::SeedEncryption>(), "(--seed-file F | --seed-hex HEX | --seed-env VAR) [FILE]",
                  "exclusive-or a text with a seed at least as long (its own inverse)",
                  "At most 32766 characters (error 6); a seed shorter than the text fails with "
                  "error 5.",
                  uses_text_io | uses_seed, {}, seed_command});
  rows.push_back({"power", &operation_of<&Encryption::PowerEncryption>(), "[--codepage NAME] [FILE]",
                  "scramble a text one way (no inverse)",
                  "At most 255 characters (256 to 32767 fail with error 5, longer with error 6). "
                  "The text is upper-cased first, as the host's code page does.",
                  uses_text_io,
                  {{"codepage", '\0', "NAME",
                    "upper-case as cp1252 (default), latin1, or none (a to z only)"}},
                  power_command});
  return rows;
}

}  // namespace quillfern::cli
