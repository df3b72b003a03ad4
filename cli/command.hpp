// What a command of the quillfern tool is, and what it runs with. Every
// command is a row of the command table (commands.cpp), from which
// help.cpp renders the help texts.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/io.hpp"
#include "cli/messages.hpp"
#include "cli/notices.hpp"
#include "cli/options.hpp"
#include "quillfern/control/interface.hpp"
#include "quillfern/core/codepage.hpp"
#include "quillfern/core/error.hpp"

namespace quillfern::cli {

// Exit statuses of the tool.
enum Exit : int {
  exit_ok = 0,        // the whole job succeeded
  exit_error = 1,     // the operation raised an error
  exit_usage = 2,     // the command line was wrong
  exit_refused = 3,   // the operation refused through a message box
  exit_loss = 4,      // the result would lose data and --allow-loss was not given
};

// Option groups that a command takes besides its own options.
enum Uses : unsigned {
  uses_nothing = 0,
  uses_text_io = 1u << 0,    // [FILE], -o FILE, --encoding
  uses_password = 1u << 1,   // --password-file/-fd/-env/-hex, or a prompt
  uses_seed = 1u << 2,       // --seed-file/-hex/-env
  uses_loss = 1u << 3,       // --allow-loss
  uses_notices = 1u << 4,    // --notices
};

struct Context;

// Where a record stands in record mode: its number from 1, and "line" or
// "record" (-z).
struct RecordAt {
  std::uint64_t n = 0;
  std::string_view unit;
};

struct Command {
  std::string_view name;        // kebab-case command name
  // The control's operation the command carries out, a row of the table of
  // operations (operation_of<&Encryption::convert>()), or none; its
  // published name names the command too.
  const Operation* operation = nullptr;
  std::string_view synopsis;    // arguments after the command name
  std::string_view summary;     // one line for the command list
  std::string_view description; // a paragraph for --help, may be empty
  unsigned uses = uses_nothing;
  std::vector<Option> options;
  std::function<int(Context&)> run;
  // A command without an operation that takes records: what it writes for
  // each record (its report, lines ended by line feeds). Empty for the
  // others, whose records go through their operation.
  std::function<std::string(const Context&, const RecordAt&, std::string_view record)> record_report = nullptr;
};

// Everything a running command needs: its parsed arguments, the text
// codec, the message box that prints notices, and the standard streams.
struct Context {
  const Command& command;
  ParsedArgs args;
  CodePage encoding = CodePage::none;  // none: texts are raw bytes
  NoticeBox& notices;

  // The text to work on: FILE or standard input, converted from UTF-8 when
  // --encoding is given. A command whose result is decided once the text
  // has `most` characters reads no further than that.
  [[nodiscard]] std::string read_text(std::size_t most = static_cast<std::size_t>(-1)) const;
  // FILE, or empty for standard input.
  [[nodiscard]] std::string input_path() const;
  // Writes the result to -o FILE (atomically) or standard output.
  void write_text(std::string_view codes) const;
  // A password, or the first `most` codes of a seed, from the options (see
  // secrets.hpp); throws UsageError when none is given and no terminal can
  // be asked.
  [[nodiscard]] std::string password() const;
  [[nodiscard]] std::string seed(std::size_t most) const;
  // A text given as an option value, converted like the input text.
  [[nodiscard]] std::string text_option(std::string_view value) const;
};

// The whole command table, in the order of the command list.
[[nodiscard]] std::span<const Command> commands();
[[nodiscard]] const Command* find_command(std::string_view name);

// The rows that each family of commands contributes to the table.
[[nodiscard]] std::vector<Command> control_commands();
[[nodiscard]] std::vector<Command> transform_commands();
[[nodiscard]] std::vector<Command> cipher_commands();
[[nodiscard]] std::vector<Command> file_commands();
[[nodiscard]] std::vector<Command> ui_commands();
[[nodiscard]] std::vector<Command> rnd_commands();
[[nodiscard]] std::vector<Command> identify_commands();

// Runs the tool on its arguments (without the program name); returns the
// exit status.
[[nodiscard]] int run(std::span<const std::string> args);

// Helpers shared by the command families.
[[nodiscard]] std::uint8_t parse_number(std::string_view option, std::string_view text);
// --generator-state N (0..0xFFFFFF, decimal or 0x hex), or the state of a
// new process; throws UsageError for anything else.
[[nodiscard]] std::uint32_t generator_state_option(const Context& context);
// --generator-state and --print-state, then `more`: the options of a
// command that runs the generator.
[[nodiscard]] std::vector<Option> generator_options(std::vector<Option> more);

}  // namespace quillfern::cli
