#include "testing/doubles.hpp"

namespace quillfern::testing {

int RecordingMessageBox::present(const Message& message) {
  messages_.push_back(message);
  return answer_;
}

std::int32_t RecordingShell::open(std::string_view operation, std::string_view file,
                                  std::string_view parameters, std::string_view directory,
                                  std::int32_t show_command) noexcept {
  try {
    requests_.push_back({std::string(operation), std::string(file), std::string(parameters),
                         std::string(directory), show_command});
  } catch (...) {
    return platform::shell_result::out_of_resources;
  }
  return result_;
}

}  // namespace quillfern::testing
