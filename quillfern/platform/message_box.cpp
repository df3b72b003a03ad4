#include "quillfern/platform/message_box.hpp"

#include "quillfern/core/identity.hpp"

namespace quillfern::platform {

int MessageBox::show(std::string_view text, std::int32_t style,
                     std::optional<std::string_view> title) {
  return present(Message{std::string(text), style,
                         std::string(title.value_or(identity::application_title))});
}

int RecordingMessageBox::present(const Message& message) {
  messages_.push_back(message);
  return answer_;
}

}  // namespace quillfern::platform
