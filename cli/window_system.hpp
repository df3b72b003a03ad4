// The window systems of the quillfern tool: the terminal (a full-screen
// form drawn with colours and mouse reporting) and the desktop (a real
// window, when the tool was built with FLTK). Each brings its own modal
// message box.
#pragma once

#include <memory>
#include <string>

#include "quillfern/platform/message_box.hpp"
#include "quillfern/platform/window_system.hpp"

namespace quillfern::cli {

class ToolWindows : public platform::WindowSystem {
 public:
  // The modal message box drawn by this window system.
  [[nodiscard]] virtual platform::MessageBox& message_box() noexcept = 0;
};

// Takes over the terminal: raw input from `input_fd`, the alternate screen,
// mouse reporting and colours (24-bit when $COLORTERM says so, 256
// otherwise) on `output_fd`. Everything is restored when the object ends.
// Throws IoError when the descriptors are not a terminal.
[[nodiscard]] std::unique_ptr<ToolWindows> open_terminal_windows(int input_fd, int output_fd);

// Opens the desktop's display. Throws IoError when the tool was built
// without desktop windows or no display can be opened.
[[nodiscard]] std::unique_ptr<ToolWindows> open_desktop_windows();
[[nodiscard]] bool desktop_windows_built() noexcept;

// The texts of a form, one per line, top to bottom: its caption, then the
// caption of every control that has one (access-key markers removed).
[[nodiscard]] std::string form_texts(const platform::Form& form);

}  // namespace quillfern::cli
