#include "quillfern/platform/message_box.hpp"

#include <ostream>

#include "quillfern/core/identity.hpp"

namespace quillfern::platform {

int MessageBox::show(std::string_view text, std::int32_t style,
                     std::optional<std::string_view> title) {
  return present(Message{std::string(text), style,
                         std::string(title.value_or(identity::application_title))});
}

int StreamMessageBox::present(const Message& message) {
  if (out_ != nullptr) {
    *out_ << message.title << ": " << message.text << '\n';
    out_->flush();
  }
  return answer_ok;
}

}  // namespace quillfern::platform
