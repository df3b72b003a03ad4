// The command table of the quillfern tool and the driver that parses a
// command line and runs a command; the help texts are in help.cpp.
#include <unistd.h>

#include <charconv>
#include <cstdio>

#include "cli/command.hpp"
#include "cli/help.hpp"
#include "cli/records.hpp"
#include "cli/secrets.hpp"
#include "cli/streams.hpp"
#include "cli/suggest.hpp"
#include "cli/terminal_guard.hpp"
#include "cli/text_input.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/core/ascii.hpp"
#include "quillfern/core/basic_random.hpp"
#include "quillfern/core/error.hpp"
#include "quillfern/platform/file_system.hpp"
#include "quillfern/platform/secure_memory.hpp"
#include "quillfern/version.hpp"

namespace quillfern::cli {
namespace {

std::vector<Command> build_table() {
  std::vector<Command> table;
  for (auto family : {control_commands, transform_commands, cipher_commands, file_commands,
                      ui_commands, rnd_commands, identify_commands}) {
    for (Command& command : family()) table.push_back(std::move(command));
  }
  return table;
}

std::optional<NoticeMode> parse_notice_mode(std::string_view text) {
  if (text == "each") return NoticeMode::each;
  if (text == "summary") return NoticeMode::summary;
  if (text == "none") return NoticeMode::none;
  return std::nullopt;
}

}  // namespace

std::span<const Command> commands() {
  static const std::vector<Command> table = build_table();
  return table;
}

const Command* find_command(std::string_view name) {
  for (const Command& command : commands()) {
    if (command.name == name ||
        (command.operation != nullptr && ascii::equal_ignoring_case(command.operation->name, name))) {
      return &command;
    }
  }
  return nullptr;
}

std::string Context::input_path() const {
  const auto& positionals = args.positionals();
  return positionals.empty() ? std::string() : positionals.front();
}

std::string Context::read_text(std::size_t most) const {
  return cli::read_text(input_path(), encoding, most);
}

void Context::write_text(std::string_view codes) const {
  const std::string path = args.value("output").value_or("");
  const bool force = args.has("force");
  refuse_raw_to_terminal(codes, path, force, false);
  if (encoding == CodePage::none) {
    write_all(path, codes, force);
  } else {
    write_all(path, to_utf8(codes, encoding), force);
  }
}

// A process holding a secret leaves no core file that could show it.
std::string Context::password() const {
  platform::keep_out_of_core_dumps();
  // A password typed to encipher is asked for twice.
  const Operation* op = command.operation;
  const bool enciphers = op == &operation_of<&Encryption::EnCipherText>() ||
                         op == &operation_of<&Encryption::TextBoxCrypt>() ||
                         op == &operation_of<&Encryption::FastBlowFish>() ||
                         op == &operation_of<&Encryption::EncodeDecodeFile>();
  return read_password(args, encoding, enciphers);
}

std::string Context::seed(std::size_t most) const {
  platform::keep_out_of_core_dumps();
  return read_seed(args, encoding, most);
}

std::string Context::text_option(std::string_view value) const {
  if (encoding == CodePage::none) return std::string(value);
  try {
    return from_utf8(value, encoding);
  } catch (const EncodingError& e) {
    throw UsageError(e.what());
  }
}

std::uint8_t parse_number(std::string_view option, std::string_view text) {
  int value = -1;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || value < 0 || value > 255) {
    throw UsageError("--" + std::string(option) + " takes a number from 0 to 255, not '" +
                     std::string(text) + "'");
  }
  return static_cast<std::uint8_t>(value);
}

std::vector<Option> generator_options(std::vector<Option> more) {
  more.insert(more.begin(),
              {{"generator-state", '\0', "N", "start the generator at state N (0..0xFFFFFF) instead of 0x50000"},
               {"print-state", '\0', "", "print the generator's state at the end"}});
  return more;
}

std::uint32_t generator_state_option(const Context& context) {
  const auto value = context.args.value("generator-state");
  if (!value) return files::BasicRandom::start_state;
  std::string_view text = *value;
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint32_t state = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), state, base);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || state > files::BasicRandom::state_mask) {
    throw UsageError("--generator-state takes a number from 0 to 16777215 (0xFFFFFF), not '" + *value + "'");
  }
  return state;
}

namespace {

int run_checked(std::span<const std::string> args) {
  if (args.empty()) {
    print_error("no command given");
    print_hint("run 'quillfern --help' for the list of commands");
    return exit_usage;
  }
  const std::string& name = args.front();
  if (name == "--help" || name == "-h" || name == "help") {
    if (args.size() > 1) {
      if (const Command* command = find_command(args[1])) {
        write_output(command_help(*command));
        return exit_ok;
      }
    }
    write_output(tool_help());
    return exit_ok;
  }
  if (name == "--version" || name == "-V") {
    write_output(std::string("quillfern ") + version_string + "\n");
    return exit_ok;
  }
  const Command* command = find_command(name);
  if (command == nullptr) {
    print_error("unknown command '" + name + "'");
    std::vector<std::string> names;
    for (const Command& known : commands()) names.emplace_back(known.name);
    if (const auto guess = nearest(name, names)) print_hint("did you mean '" + *guess + "'?");
    print_hint("run 'quillfern --help' for the list of commands");
    return exit_usage;
  }

  // A temporary output file goes with the run that a signal ends.
  platform::remove_temporaries_on_signals();
  NoticeBox notices;
  try {
    const std::vector<Option> options = all_options(*command);
    Context context{*command, parse_options(args.subspan(1), options), CodePage::none, notices};
    if (context.args.has("help")) {
      write_output(command_help(*command));
      return exit_ok;
    }
    if (auto encoding = context.args.value("encoding")) {
      auto page = parse_code_page(*encoding);
      if (!page || *page == CodePage::none) {
        throw UsageError("--encoding takes cp1252 or latin1, not '" + *encoding + "'");
      }
      context.encoding = *page;
      notices.set_encoding(*page);
    }
    if (auto mode = context.args.value("notices")) {
      auto parsed = parse_notice_mode(*mode);
      if (!parsed) throw UsageError("--notices takes each, summary or none, not '" + *mode + "'");
      notices.set_mode(*parsed);
    }
    if (auto output = context.args.value("output"); output && output->empty()) {
      throw UsageError("-o needs a file name ('-' is standard output)");
    }
    const std::size_t max_positionals = (command->uses & uses_text_io) ? 1 : SIZE_MAX;
    if (context.args.positionals().size() > max_positionals) {
      throw UsageError("too many arguments");
    }
    if ((command->uses & uses_text_io) && !context.args.positionals().empty() &&
        context.args.positionals().front().empty()) {
      throw UsageError("FILE needs a name ('-' is standard input)");
    }
    int status = wants_records(context.args) ? run_records(context) : command->run(context);
    notices.finish();
    return status;
  } catch (const UsageError& e) {
    notices.finish();
    print_error(e.what());
    print_hint("run 'quillfern " + std::string(command->name) + " --help' for its options");
    return exit_usage;
  } catch (const Error& e) {
    notices.finish();
    print_error(e);
    if (dynamic_cast<const platform::ReadOnlyOutput*>(&e) != nullptr) {
      print_hint("--force replaces a read-only output");
    }
    return exit_error;
  } catch (const IoError& e) {
    notices.finish();
    print_error(e.what());
    return exit_error;
  }
}

}  // namespace

int run(std::span<const std::string> args) {
  try {
    return run_checked(args);
  } catch (const IoError& e) {
    // Standard output failed under a help text or a listing.
    print_error(e.what());
    return exit_error;
  }
}

}  // namespace quillfern::cli
