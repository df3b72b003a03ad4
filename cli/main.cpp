// The quillfern command: a thin client of the library.
#include <exception>
#include <string>
#include <vector>

#include "cli/command.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return quillfern::cli::run(args);
  } catch (const std::exception& e) {
    quillfern::cli::print_error(e.what());
    return quillfern::cli::exit_error;
  }
}
