// The window system of our host layer on Windows: every form is a Win32
// top-level window that paints the form's line shapes and controls with
// GDI and hands the form its key presses, clicks and close requests.
// Present when the library has forms (quillfern/platform/window_system.hpp).
#pragma once

#if __has_include("quillfern/platform/window_system.hpp")
#define QUILLFERN_WIN32_WINDOW_SYSTEM 1

#include <map>

#include "quillfern/platform/window_system.hpp"
#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::win32 {

class Win32WindowSystem final : public platform::WindowSystem {
 public:
  Win32WindowSystem() = default;
  ~Win32WindowSystem() override;
  Win32WindowSystem(const Win32WindowSystem&) = delete;
  Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

  void show(platform::Form& form) override;
  void hide(platform::Form& form) noexcept override;
  void changed(platform::Form& form) override;
  void do_events() override;
  void set_mouse_pointer(platform::MousePointer pointer) override;
  [[nodiscard]] platform::MousePointer mouse_pointer() const noexcept override { return pointer_; }
  void run() override;

  // The window that shows `form`, if it is shown.
  [[nodiscard]] HWND window_of(const platform::Form& form) const noexcept;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(HWND window, platform::Form& form, UINT message, WPARAM wparam, LPARAM lparam);

  std::map<const platform::Form*, HWND> windows_;
  platform::MousePointer pointer_ = platform::MousePointer::default_pointer;
};

}  // namespace quillfern::win32

#endif
