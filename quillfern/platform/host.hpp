// The host a control lives in: the services it lends the control (message
// box, code page, runtime). A host outlives every control that uses it.
#pragma once

#include "quillfern/platform/codepage.hpp"
#include "quillfern/platform/message_box.hpp"
#include "quillfern/platform/runtime.hpp"

namespace quillfern::platform {

class Host {
 public:
  explicit Host(MessageBox& message_box, CodePage code_page = CodePage::cp1252) noexcept
      : message_box_(&message_box), code_page_(code_page) {}

  [[nodiscard]] MessageBox& message_box() const noexcept { return *message_box_; }
  void set_message_box(MessageBox& box) noexcept { message_box_ = &box; }

  // The host's single-byte code page, which decides how locale-dependent
  // operations (upper-casing) treat codes 128..255.
  [[nodiscard]] CodePage code_page() const noexcept { return code_page_; }
  void set_code_page(CodePage page) noexcept { code_page_ = page; }

  // The runtime whose generator the file cipher draws from; it keeps its
  // state from call to call. reset() gives the state of a new process.
  [[nodiscard]] Runtime& runtime() noexcept { return runtime_; }

 private:
  MessageBox* message_box_;
  CodePage code_page_;
  Runtime runtime_;
};

}  // namespace quillfern::platform
