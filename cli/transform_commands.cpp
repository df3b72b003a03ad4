// Commands of the character transforms.
#include "cli/command.hpp"
#include "quillfern/control/encryption.hpp"

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

}  // namespace

std::vector<Command> transform_commands() {
  const std::vector<OptionSpec> number{
      {"number", 'n', "N", "the one-byte key, 0 to 255 (only 0 to 10 accept any text)"}};
  std::vector<Command> rows;
  rows.push_back({"encrypt-password", "EncryptPassword", "--number N [FILE]",
                  "scramble a password under a one-byte key",
                  "At most 254 characters; keys 11 to 255 fail with error 5 on any text.",
                  uses_text_io, number, password_command<&Encryption::EncryptPassword>});
  rows.push_back({"decrypt-password", "DecryptPassword", "--number N [FILE]",
                  "restore a password scrambled with the same key", "", uses_text_io, number,
                  password_command<&Encryption::DecryptPassword>});
  return rows;
}

}  // namespace quillfern::cli
