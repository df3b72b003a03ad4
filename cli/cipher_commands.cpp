// Commands of the keyed text ciphers. Our tool never loses characters
// silently: when the control's result would leave some out (a cut cipher
// text, dropped text-box codes, a deciphering that stopped early), the
// command writes nothing and exits 4 unless --allow-loss is given.
#include <charconv>
#include <cstdio>
#include <span>

#include "cli/command.hpp"
#include "quillfern/ciphers/cipher_text.hpp"
#include "quillfern/ciphers/key_tables.hpp"
#include "quillfern/ciphers/textbox.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/platform/secure_memory.hpp"
#include "quillfern/transforms/hex.hpp"

namespace quillfern::cli {
namespace {

int code_at(std::string_view text, std::size_t position) {
  return static_cast<unsigned char>(text[position - 1]);
}

// Reports a result that would lose characters; true when the command may
// write it anyway.
bool allow_loss(const Context& context, const std::string& why) {
  if (context.args.has("allow-loss")) return true;
  print_error(why);
  print_hint("nothing was written; --allow-loss writes the shorter result");
  return false;
}

int fast_blow_fish(Context& context) {
  std::string password = context.password();
  const platform::WipeOnExit wipe_password(password);
  const std::string input = context.read_text();
  platform::Host host(context.notices);
  Encryption control(host);
  std::string output;
  control.FastBlowFish(input, output, password);
  context.write_text(output);
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
  const std::string input = context.read_text();
  const ciphers::TextBoxResult result = ciphers::text_box_decrypt(input, key);
  if (result.dropped != 0) {
    const std::string why = "textbox-decrypt would drop " + std::to_string(result.dropped) + " of " +
                            std::to_string(input.size()) + " characters, the first at position " +
                            std::to_string(result.first_dropped) + " (code " +
                            std::to_string(code_at(input, result.first_dropped)) + "): under key number " +
                            std::to_string(key) + " their codes would leave 0..255";
    if (!allow_loss(context, why)) return exit_loss;
  }
  context.write_text(result.text.value_or(std::string()));
  return exit_ok;
}

template <bool crypt>
int text_box(Context& context) {
  if (const auto key = context.args.value("key-number"); !crypt && key) return text_box_by_key(context, *key);
  std::string password = context.password();
  const platform::WipeOnExit wipe_password(password);
  const std::string input = context.read_text();
  platform::Host host(context.notices);
  Encryption control(host);
  const std::optional<std::string> result =
      crypt ? control.TextBoxCrypt(input, password) : control.TextBoxDeCrypt(input, password);
  // Password now holds the decimal text of the key number.
  if (context.args.has("verbose")) {
    print_line("quillfern: key number " + password);
  }
  const std::size_t produced = result ? result->size() : 0;
  if (produced < input.size()) {
    const auto key = ciphers::text_box_read_key(password);
    const auto detail = crypt ? ciphers::text_box_crypt(input, key) : ciphers::text_box_decrypt(input, key);
    const std::string why =
        std::string(context.command.name) + " would drop " + std::to_string(detail.dropped) +
        " of " + std::to_string(input.size()) + " characters, the first at position " +
        std::to_string(detail.first_dropped) + " (code " +
        std::to_string(code_at(input, detail.first_dropped)) + "): under key number " + password +
        " their codes would leave 0..255";
    if (!allow_loss(context, why)) return exit_loss;
  }
  context.write_text(result.value_or(std::string()));
  return exit_ok;
}

// True when the control answered with a message box, which for these
// commands is a refusal.
bool refused(const Context& context, std::size_t shown_before) {
  return context.notices.count() != shown_before;
}

int encipher(Context& context) {
  std::string password = context.password();
  const platform::WipeOnExit wipe_password(password);
  const std::string input = context.read_text();
  platform::Host host(context.notices);
  Encryption control(host);
  const std::size_t shown = context.notices.count();
  const std::string output = control.EnCipherText(input, password);
  if (refused(context, shown)) return exit_refused;
  const std::size_t whole = password.size() + input.size();
  if (output.size() < whole) {
    // The cipher stopped at the first code that, raised by the password
    // code aligned with it, would exceed 255.
    // The message names positions, never a code of the password.
    const std::size_t at = output.size() + 1;
    std::string why = "encipher would cut the cipher text at position " + std::to_string(at) + " of " +
                      std::to_string(whole) + ": ";
    if (at <= password.size()) {
      why += "password character " + std::to_string(at) +
             " has a code above 127, so none of the text would be kept";
    } else {
      const std::size_t i = at - password.size();
      why += "text character " + std::to_string(i) + " has code " + std::to_string(code_at(input, i)) +
             ", and with the password code aligned with it the sum exceeds 255";
    }
    if (!allow_loss(context, why)) return exit_loss;
  }
  context.write_text(output);
  return exit_ok;
}

int decipher(Context& context) {
  std::string password = context.password();
  const platform::WipeOnExit wipe_password(password);
  const std::string input = context.read_text();
  platform::Host host(context.notices);
  Encryption control(host);
  const std::size_t shown = context.notices.count();
  const std::string output = control.DeCipherText(input, password);
  if (refused(context, shown)) return exit_refused;
  // Accepted: the cipher text began with the password block.
  const std::size_t whole = input.size() - password.size();
  if (output.size() < whole) {
    const std::size_t at = password.size() + output.size() + 1;
    const std::string why = "decipher stopped at cipher position " + std::to_string(at) + " of " +
                            std::to_string(input.size()) + ": its code " +
                            std::to_string(code_at(input, at)) +
                            " is below the password code aligned with it, so the cipher text is damaged";
    if (!allow_loss(context, why)) return exit_loss;
  }
  context.write_text(output);
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
  const std::vector<Option> verbose{
      {"verbose", 'v', "", "print the key number on standard error"}};
  std::vector<Command> rows;
  rows.push_back({"fastblowfish", &operation_of<&Encryption::FastBlowFish>(), "[FILE]",
                  "encipher or decipher with FastBlowFish (the same command both ways)",
                  "The result has the input's length. Every position whose result is code 0 "
                  "shows \"ERROR Zero!\" (see --notices); the result is written all the same.",
                  uses_text_io | uses_password | uses_notices, {}, fast_blow_fish});
  rows.push_back({"textbox-crypt", &operation_of<&Encryption::TextBoxCrypt>(), "[FILE]",
                  "scramble a text under the key number of a password",
                  "The key number is the password's code sum divided by 60. A code that would "
                  "leave 0..255 is dropped by the control; then nothing is written (exit 4) "
                  "unless --allow-loss is given.",
                  uses_text_io | uses_password | uses_loss, verbose, text_box<true>});
  rows.push_back({"textbox-decrypt", &operation_of<&Encryption::TextBoxDeCrypt>(), "[FILE]",
                  "unscramble a text scrambled by textbox-crypt with the same password",
                  "Give the same password as for textbox-crypt (not the key number), or the "
                  "key number itself with --key-number (identify finds it).",
                  uses_text_io | uses_password | uses_loss,
                  {verbose[0], {"key-number", 'k', "K", "use key number K instead of a password"}},
                  text_box<false>});
  rows.push_back({"encipher", &operation_of<&Encryption::EnCipherText>(), "[FILE]",
                  "encipher a text into a cipher text that carries its password",
                  "A password code plus its aligned code above 255 cuts the cipher text; then "
                  "nothing is written (exit 4) unless --allow-loss is given. An empty password "
                  "is refused (exit 3).",
                  uses_text_io | uses_password | uses_loss | uses_notices, {}, encipher});
  rows.push_back({"decipher", &operation_of<&Encryption::DeCipherText>(), "[FILE]",
                  "decipher a cipher text made by encipher, checking its password",
                  "A cipher text that does not decipher to the password followed by the text "
                  "is refused with \"Access Denied\" (exit 3, no output).",
                  uses_text_io | uses_password | uses_loss | uses_notices, {}, decipher});
  rows.push_back({"tables", nullptr, "",
                  "print the eight FastBlowFish key tables, one line each, in hexadecimal", "",
                  uses_nothing, {}, print_tables});
  return rows;
}

}  // namespace quillfern::cli
