// Commands of the ui operations.
#include "cli/command.hpp"

namespace quillfern::cli {

std::vector<Command> ui_commands() { return {}; }

}  // namespace quillfern::cli
