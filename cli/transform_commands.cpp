// Commands of the character transforms.
#include <memory>
#include <new>

#include "cli/command.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/transforms/hex.hpp"

namespace quillfern::cli {
namespace {

std::uint8_t number_option(const Context& context) {
  auto value = context.args.value("number");
  if (!value) throw UsageError("--number N is required");
  return parse_number("number", *value);
}

template <auto Method>
int password_command(Context& context) {
  const std::uint8_t number = number_option(context);
  const std::string input = context.read_text();
  platform::Host host(context.notices);
  Encryption control(host);
  std::string output;
  (control.*Method)(number, input, output);
  context.write_text(output);
  return exit_ok;
}

// A transform with one input text and OutPut.
template <auto Method>
int text_command(Context& context) {
  const std::string input = context.read_text();
  platform::Host host(context.notices);
  Encryption control(host);
  std::string output;
  (control.*Method)(input, output);
  context.write_text(output);
  return exit_ok;
}

// Hexadecimal conversion streams raw bytes in pieces, so any size runs in
// bounded memory: every code is converted on its own and every pair of
// digits is read on its own, so converting piece by piece gives exactly the
// control's result. With --encoding the text is converted whole.
constexpr std::size_t hex_piece = std::size_t{128} << 10;

// Page-aligned buffers: the kernel copies from the page cache into a
// page-aligned destination several times as fast as into a misaligned one.
struct FreeBuffer {
  void operator()(char* p) const noexcept { ::operator delete[](p, std::align_val_t{4096}); }
};
using Buffer = std::unique_ptr<char[], FreeBuffer>;
Buffer page_aligned(std::size_t size) {
  return Buffer(static_cast<char*>(::operator new[](size, std::align_val_t{4096})));
}

std::string input_path(const Context& context) {
  const auto& positionals = context.args.positionals();
  return positionals.empty() ? std::string() : positionals.front();
}

int convert_command(Context& context) {
  if (context.encoding != CodePage::none) return text_command<&Encryption::convert>(context);
  InputFile input(input_path(context));
  OutputFile output(context.args.value("output").value_or(""));
  const Buffer codes = page_aligned(hex_piece);
  const Buffer digits = page_aligned(transforms::converted_size(hex_piece));
  while (const std::size_t got = input.read(codes.get(), hex_piece)) {
    transforms::convert_to({codes.get(), got}, digits.get());
    output.write({digits.get(), transforms::converted_size(got)});
  }
  output.commit();
  return exit_ok;
}

int deconvert_command(Context& context) {
  if (context.encoding != CodePage::none) return text_command<&Encryption::DeConvert>(context);
  InputFile input(input_path(context));
  OutputFile output(context.args.value("output").value_or(""));
  const std::size_t piece = 2 * hex_piece;  // even: pairs never straddle two pieces
  const Buffer digits = page_aligned(piece);
  const Buffer codes = page_aligned(hex_piece);
  // A lone digit left at the end of a piece (when a read came up short of
  // an even count) is carried to the front of the next one.
  std::size_t carried = 0;
  for (;;) {
    const std::size_t got = input.read(digits.get() + carried, piece - carried);
    const std::size_t filled = carried + got;
    if (got == 0) break;
    const std::size_t whole = filled - filled % 2;
    transforms::deconvert_to({digits.get(), whole}, codes.get());
    output.write({codes.get(), whole / 2});
    carried = filled - whole;
    if (carried != 0) digits[0] = digits[whole];
  }
  if (carried != 0) {
    transforms::deconvert_to({digits.get(), carried}, codes.get());
    output.write({codes.get(), 1});
  }
  output.commit();
  return exit_ok;
}

int seed_command(Context& context) {
  const std::string seed = context.seed();
  const std::string input = context.read_text();
  platform::Host host(context.notices);
  Encryption control(host);
  context.write_text(control.SeedEncryption(input, seed));
  return exit_ok;
}

int power_command(Context& context) {
  CodePage page = CodePage::cp1252;
  if (auto name = context.args.value("codepage")) {
    auto parsed = parse_code_page(*name);
    if (!parsed) throw UsageError("--codepage takes cp1252, latin1 or none, not '" + *name + "'");
    page = *parsed;
  }
  const std::string input = context.read_text();
  platform::Host host(context.notices, page);
  Encryption control(host);
  context.write_text(control.PowerEncryption(input));
  return exit_ok;
}

}  // namespace

std::vector<Command> transform_commands() {
  const std::vector<Option> number{
      {"number", 'n', "N", "the one-byte key, 0 to 255 (only 0 to 10 accept any text)"}};
  std::vector<Command> rows;
  rows.push_back({"encrypt-password", &operation_of<&Encryption::EncryptPassword>(), "--number N [FILE]",
                  "scramble a password under a one-byte key",
                  "At most 254 characters; keys 11 to 255 fail with error 5 on any text.",
                  uses_text_io, number, password_command<&Encryption::EncryptPassword>});
  rows.push_back({"decrypt-password", &operation_of<&Encryption::DecryptPassword>(), "--number N [FILE]",
                  "restore a password scrambled with the same key", "", uses_text_io, number,
                  password_command<&Encryption::DecryptPassword>});
  rows.push_back({"convert", &operation_of<&Encryption::convert>(), "[FILE]", "write every code as two upper-case hex digits",
                  "Any length; raw bytes stream through in bounded memory.", uses_text_io, {},
                  convert_command});
  rows.push_back({"deconvert", &operation_of<&Encryption::DeConvert>(), "[FILE]", "read pairs of hex digits back into codes",
                  "Never fails: a pair is read as the number \"&H\" followed by it (a pair that "
                  "does not start with a digit gives code 0, a bad second character gives the "
                  "first digit's value, blanks, tabs and line feeds are skipped, a lone last "
                  "digit gives its own value). Line breaks are not removed first.",
                  uses_text_io, {}, deconvert_command});
  rows.push_back({"easy-encode", &operation_of<&Encryption::EasyCryptEnCode>(), "[FILE]", "raise every code by one",
                  "At most 32766 characters (error 6); code 255 fails with error 5.", uses_text_io,
                  {}, text_command<&Encryption::EasyCryptEnCode>});
  rows.push_back({"easy-decode", &operation_of<&Encryption::EasyCryptDeCode>(), "[FILE]", "lower every code by one",
                  "At most 32766 characters (error 6); code 0 fails with error 5.", uses_text_io,
                  {}, text_command<&Encryption::EasyCryptDeCode>});
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
