// Commands of the file operations.
#include "cli/command.hpp"

namespace quillfern::cli {

std::vector<Command> file_commands() { return {}; }

}  // namespace quillfern::cli
