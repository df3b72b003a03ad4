// The host a control lives in: the services it lends the control (message
// box, code page, shell, window system), the runtime whose generator the
// file cipher draws from, the count of codes its calls lost, and the one
// About window object of the process it runs. A host outlives every control that uses it, and the services it was
// lent outlive the host.
#pragma once

#include <cstddef>
#include <memory>

#include "quillfern/core/codepage.hpp"
#include "quillfern/platform/message_box.hpp"
#include "quillfern/platform/runtime.hpp"
#include "quillfern/platform/shell.hpp"
#include "quillfern/platform/window_system.hpp"

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

  // The shell that opens documents and web addresses: the system's own
  // (SystemShell) unless the host lends another.
  [[nodiscard]] Shell& shell() const noexcept { return shell_ != nullptr ? *shell_ : system_shell_; }
  void set_shell(Shell& shell) noexcept { shell_ = &shell; }

  // The window system that shows forms; none until the host lends one.
  [[nodiscard]] WindowSystem* window_system() const noexcept { return window_system_; }
  void set_window_system(WindowSystem& windows) noexcept { window_system_ = &windows; }

  // The About window object of the process the host runs: created by the
  // first About of any control on this host and kept, never released by a
  // control, until the host itself ends.
  [[nodiscard]] std::unique_ptr<Form>& about_window() noexcept { return about_window_; }

  // The runtime whose generator the file cipher draws from; it keeps its
  // state from call to call. reset() gives the state of a new process.
  [[nodiscard]] Runtime& runtime() noexcept { return runtime_; }

  // The codes that the control's calls left out of their results without
  // failing or saying so: those the text-box pair drops because they would
  // leave 0..255, and those after the position at which the cipher-text
  // pair stops. Counted from call to call; a host that tells its callers
  // about such losses reads the count after a call and resets it.
  [[nodiscard]] std::size_t lost_codes() const noexcept { return lost_codes_; }
  void add_lost_codes(std::size_t count) noexcept { lost_codes_ += count; }
  void reset_lost_codes() noexcept { lost_codes_ = 0; }

 private:
  MessageBox* message_box_;
  CodePage code_page_;
  Shell* shell_ = nullptr;
  mutable SystemShell system_shell_;
  WindowSystem* window_system_ = nullptr;
  Runtime runtime_;
  std::size_t lost_codes_ = 0;
  std::unique_ptr<Form> about_window_;  // last: it goes before the services it uses
};

}  // namespace quillfern::platform
