#include "quillfern/platform/window_system.hpp"

#include <algorithm>

#include "quillfern/core/error.hpp"

namespace quillfern::platform {

Form::~Form() {
  if (visible_) windows_->hide(*this);
}

void Form::Load() {
  if (loaded_) return;
  controls_.clear();
  lines_.clear();
  design();
  loaded_ = true;
  ++load_count_;
  try {
    Form_Load();
  } catch (...) {
    Unload();
    throw;
  }
}

void Form::Show() {
  Load();
  // Form_Load may have shown the form already, or the user may have closed
  // it while it loaded.
  if (!loaded_ || visible_) return;
  visible_ = true;
  windows_->show(*this);
}

void Form::Unload() noexcept {
  if (!loaded_) return;
  if (visible_) {
    visible_ = false;
    windows_->hide(*this);
  }
  loaded_ = false;
  controls_.clear();
  lines_.clear();
}

void Form::resize(std::int32_t width, std::int32_t height) noexcept {
  width_ = width;
  height_ = height;
}

Control& Form::control(std::string_view name) {
  auto it = std::find_if(controls_.begin(), controls_.end(),
                         [&](const Control& c) { return c.name == name; });
  if (it == controls_.end()) {
    throw Error(ErrorNumber::no_such_member, "no control " + std::string(name) + " on " + name_);
  }
  return *it;
}

const Control& Form::control(std::string_view name) const {
  return const_cast<Form*>(this)->control(name);
}

void Form::key_press(int key_ascii) {
  if (loaded_) on_key_press(key_ascii);
}

void Form::click(std::string_view control) {
  if (loaded_) on_click(control);
}

void Form::changed() {
  if (visible_) windows_->changed(*this);
}

Caption plain_caption(std::string_view caption) {
  Caption result;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) {
      ++i;
      if (caption[i] != '&' && result.access_key == std::string::npos) {
        result.access_key = result.text.size();
      }
    }
    result.text.push_back(caption[i]);
  }
  return result;
}

}  // namespace quillfern::platform
