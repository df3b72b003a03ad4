// The help texts of the quillfern tool, rendered from the command table:
// the list of commands and each command's usage and options.
#include "cli/help.hpp"

#include <string_view>

#include "cli/records.hpp"
#include "cli/secrets.hpp"

namespace quillfern::cli {
namespace {

// `text` filled into lines of at most `width` characters; its own line
// breaks count as spaces, so a description may be written in any lines.
std::string wrap(std::string_view text, std::size_t width) {
  std::string out;
  std::size_t column = 0;
  while (!text.empty()) {
    const std::size_t space = text.find_first_of(" \n");
    const std::string_view word = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view{} : text.substr(space + 1);
    if (column > 0 && column + 1 + word.size() > width) {
      out += '\n';
      column = 0;
    } else if (column > 0) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
  }
  out += '\n';
  return out;
}

}  // namespace

// The options every command of a group takes, followed by its own.
std::vector<Option> all_options(const Command& command) {
  std::vector<Option> options = command.options;
  if (command.uses & uses_text_io) {
    options.push_back({"output", 'o', "FILE", "write the result to FILE (only when it succeeded)"});
    options.push_back({"force", 'f', "", "replace FILE even when it is read-only; show control codes on a terminal"});
    options.push_back({"encoding", '\0', "NAME",
                     "read and write UTF-8 text through code page NAME (cp1252, latin1)"});
  }
  if (command.uses & uses_password) {
    for (auto& option : password_options()) options.push_back(option);
  }
  if (command.uses & uses_seed) {
    for (auto& option : seed_options()) options.push_back(option);
  }
  if (command.uses & uses_loss) {
    options.push_back({"allow-loss", '\0', "", "write the result even when it lost characters"});
  }
  if (takes_records(command)) {
    for (auto& option : record_options(command)) options.push_back(option);
  }
  if (command.uses & uses_notices) {
    options.push_back({"notices", '\0', "MODE", "message boxes: each (default), summary or none"});
  }
  options.push_back({"help", 'h', "", "show this help"});
  return options;
}

std::string command_help(const Command& command) {
  std::string text = "usage: quillfern " + std::string(command.name);
  if (!command.synopsis.empty()) text += " " + std::string(command.synopsis);
  text += "\n\n" + std::string(command.summary) + "\n";
  if (command.operation != nullptr) {
    text += "The control's operation: " + std::string(command.operation->name) + ".\n";
  }
  if (!command.description.empty()) text += "\n" + wrap(command.description, 76);
  text += "\noptions:\n";
  for (const Option& option : all_options(command)) {
    std::string left = "  ";
    if (option.short_name != '\0') {
      left += '-';
      left += option.short_name;
      left += ", ";
    } else {
      left += "    ";
    }
    left.append("--").append(option.name);
    if (option.takes_value()) left.append(" ").append(option.value_name);
    if (left.size() < 30) left.resize(30, ' ');
    text.append(left).append(" ").append(option.help).append("\n");
  }
  return text;
}

std::string tool_help() {
  std::string text =
      "usage: quillfern COMMAND [OPTIONS] [FILE]\n\n"
      "Text and file ciphers of the Encryption control, bit for bit.\n"
      "Texts are read from FILE or standard input and written to standard output\n"
      "or -o FILE; each byte is one character code unless --encoding is given.\n\n"
      "commands:\n";
  for (const Command& command : commands()) {
    std::string left = "  " + std::string(command.name);
    if (left.size() < 22) left.resize(22, ' ');
    text += left + " " + std::string(command.summary) + "\n";
  }
  text +=
      "\nA command may also be named by the control's operation (EncryptPassword).\n"
      "Run 'quillfern COMMAND --help' for its options.\n\n"
      "exit status: 0 success, 1 the operation raised an error, 2 usage error,\n"
      "3 refused through a message box, 4 the result would lose data.\n";
  return text;
}

}  // namespace quillfern::cli
