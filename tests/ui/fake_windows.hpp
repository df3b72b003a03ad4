// A window system for the tests: draws nothing, counts what forms ask of
// it, and can act as the user while a form processes its events.
#pragma once

#include <functional>
#include <vector>

#include "quillfern/platform/window_system.hpp"

namespace quillfern::test {

class FakeWindows final : public platform::WindowSystem {
 public:
  void show(platform::Form& form) override {
    ++shows;
    forms.push_back(&form);
  }
  void hide(platform::Form& form) noexcept override {
    ++hides;
    std::erase(forms, &form);
  }
  void changed(platform::Form&) override { ++changes; }
  void do_events() override {
    ++event_passes;
    pointer_during_events.push_back(pointer);
    if (user) user(event_passes);
  }
  void set_mouse_pointer(platform::MousePointer value) override {
    pointer = value;
    pointers.push_back(value);
  }
  [[nodiscard]] platform::MousePointer mouse_pointer() const noexcept override { return pointer; }
  void run() override {}

  int shows = 0;
  int hides = 0;
  int changes = 0;
  int event_passes = 0;
  platform::MousePointer pointer = platform::MousePointer::default_pointer;
  std::vector<platform::MousePointer> pointers;
  std::vector<platform::MousePointer> pointer_during_events;
  std::vector<platform::Form*> forms;  // the forms shown now
  // Called at every event-processing pass with the pass number (from 1).
  std::function<void(int)> user;
};

}  // namespace quillfern::test
