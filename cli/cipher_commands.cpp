// Commands of the cipher operations.
#include "cli/command.hpp"

namespace quillfern::cli {

std::vector<Command> cipher_commands() { return {}; }

}  // namespace quillfern::cli
