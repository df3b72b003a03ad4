// The help texts of the quillfern tool, rendered from the command table.
#pragma once

#include <string>
#include <vector>

#include "cli/command.hpp"

namespace quillfern::cli {

// The options every command of a group takes, followed by its own: what
// the driver parses and what the command's help lists.
[[nodiscard]] std::vector<Option> all_options(const Command& command);

// `quillfern COMMAND --help`: usage, summary, description and options.
[[nodiscard]] std::string command_help(const Command& command);

// `quillfern --help`: the list of commands and the exit statuses.
[[nodiscard]] std::string tool_help();

}  // namespace quillfern::cli
