// Test doubles of the host services: a message box, a container and a
// shell that keep what they were given, in order, and answer with a fixed
// result. For the tests of the library and of the programs built on it;
// not part of the installed library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quillfern/platform/container.hpp"
#include "quillfern/platform/message_box.hpp"
#include "quillfern/platform/shell.hpp"

namespace quillfern::testing {

using platform::Message;
using platform::ShellRequest;

// Keeps every message shown, in order, and answers with a fixed button.
class RecordingMessageBox final : public platform::MessageBox {
 public:
  explicit RecordingMessageBox(int answer = platform::answer_ok) : answer_(answer) {}
  [[nodiscard]] const std::vector<Message>& messages() const noexcept { return messages_; }
  void clear() noexcept { messages_.clear(); }

 protected:
  int present(const Message& message) override;

 private:
  int answer_;
  std::vector<Message> messages_;
};

// A container that keeps what it was told, in order.
class RecordingContainer final : public platform::Container {
 public:
  void property_changed(std::string_view name) override { changed.emplace_back(name); }
  void event_raised(std::int32_t, std::string_view name) override { events.emplace_back(name); }

  std::vector<std::string> changed;
  std::vector<std::string> events;
};

// Keeps every request and answers with a fixed result.
class RecordingShell final : public platform::Shell {
 public:
  explicit RecordingShell(std::int32_t result = platform::shell_result::opened) : result_(result) {}
  std::int32_t open(std::string_view operation, std::string_view file,
                    std::string_view parameters, std::string_view directory,
                    std::int32_t show_command) noexcept override;

  void set_result(std::int32_t result) noexcept { result_ = result; }
  [[nodiscard]] const std::vector<ShellRequest>& requests() const noexcept { return requests_; }

 private:
  std::int32_t result_;
  std::vector<ShellRequest> requests_;
};

}  // namespace quillfern::testing
