// The quillfern command: a thin client of the library.
#include <exception>
#include <string>
#include <vector>

#include "cli/command.hpp"
#include "cli/streams.hpp"

int main(int argc, char** argv) {
  using namespace quillfern::cli;
  take_standard_descriptors();
  ignore_broken_pipes();
  std::vector<std::string> args(argv + 1, argv + argc);
  int status = exit_error;
  try {
    status = run(args);
  } catch (const std::exception& e) {
    print_error(e.what());
    return exit_error;
  }
  try {
    close_output();
  } catch (const std::exception& e) {
    // Reported only when the run had succeeded: a failed run has already
    // said why.
    if (status == exit_ok) {
      print_error(e.what());
      status = exit_error;
    }
  }
  return status;
}
