// The desktop as a window system, with FLTK: a form becomes a real window
// at 15 twips to the pixel (96 dots per inch), its line shapes drawn as
// lines on the window, its labels and frame as boxes and its button as a
// push button. Message boxes are FLTK's modal alerts.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "cli/io.hpp"
#include "cli/window_system.hpp"
#include "quillfern/core/codepage.hpp"

namespace quillfern::cli {
namespace {

using platform::Control;
using platform::ControlKind;
using platform::Form;

constexpr int twips_per_pixel = 15;
// How long an event-processing pass waits for events: it paces the drawing
// of a form that changes line by line.
constexpr double pass_wait_seconds = 0.002;

int pixels(std::int32_t twips) { return twips / twips_per_pixel; }

Fl_Color fl_colour(platform::Colour c) {
  return fl_rgb_color(platform::red_of(c), platform::green_of(c), platform::blue_of(c));
}

std::string utf8(std::string_view codes) { return to_utf8(codes, CodePage::cp1252); }

Fl_Font fl_font_of(const platform::Font& font) {
  return font.bold ? FL_HELVETICA_BOLD : FL_HELVETICA;
}

int fl_size_of(const platform::Font& font) { return font.points * 96 / 72; }

class FltkWindows;

// A label or a frame: draws its own text (no '@' symbols, no '&' keys) and
// reports clicks on it by the control's name.
class ControlBox final : public Fl_Box {
 public:
  ControlBox(FltkWindows& owner, Form& form, const Control& control);
  void sync(const Control& control);
  void draw() override;
  int handle(int event) override;

 private:
  FltkWindows& owner_;
  Form& form_;
  Control control_;
  std::string text_;
};

class FormWindow final : public Fl_Double_Window {
 public:
  FormWindow(FltkWindows& owner, Form& form);
  void sync();
  void draw() override;
  int handle(int event) override;
  void pointer(platform::MousePointer pointer);
  [[nodiscard]] Form& form() const noexcept { return form_; }

 private:
  FltkWindows& owner_;
  Form& form_;
  std::string title_;
  std::vector<ControlBox*> boxes_;
  std::vector<Fl_Button*> buttons_;
  std::vector<std::unique_ptr<std::string>> button_names_;  // stable for the callbacks
};

class FltkMessageBox final : public platform::MessageBox {
 protected:
  int present(const platform::Message& message) override {
    const std::string title = utf8(message.title);
    const std::string text = utf8(message.text);
    fl_message_title(title.c_str());
    if ((message.style & 48) == 48 || (message.style & 16) == 16) {
      fl_alert("%s", text.c_str());
    } else {
      fl_message("%s", text.c_str());
    }
    return platform::answer_ok;
  }
};

class FltkWindows final : public ToolWindows {
 public:
  FltkWindows() = default;
  ~FltkWindows() override {
    for (auto& [form, window] : windows_) {
      window->hide();
      delete window;
    }
  }

  void show(Form& form) override {
    auto* window = new FormWindow(*this, form);
    windows_.emplace_back(&form, window);
    window->pointer(pointer_);
    window->show();
    Fl::check();
  }
  void hide(Form& form) noexcept override {
    for (auto it = windows_.begin(); it != windows_.end(); ++it) {
      if (it->first == &form) {
        it->second->hide();
        // The window may be inside one of its own handlers now.
        Fl::delete_widget(it->second);
        windows_.erase(it);
        return;
      }
    }
  }
  void changed(Form& form) override {
    if (FormWindow* window = find(form)) {
      window->sync();
      window->redraw();
    }
  }
  void do_events() override { Fl::wait(pass_wait_seconds); }
  void set_mouse_pointer(platform::MousePointer pointer) override {
    pointer_ = pointer;
    for (auto& [form, window] : windows_) window->pointer(pointer);
  }
  [[nodiscard]] platform::MousePointer mouse_pointer() const noexcept override { return pointer_; }
  void run() override {
    while (!windows_.empty()) Fl::wait(0.2);
    Fl::check();  // let the deferred deletions happen
  }
  platform::MessageBox& message_box() noexcept override { return box_; }

 private:
  FormWindow* find(const Form& form) {
    for (auto& [f, window] : windows_) {
      if (f == &form) return window;
    }
    return nullptr;
  }

  std::vector<std::pair<Form*, FormWindow*>> windows_;
  platform::MousePointer pointer_ = platform::MousePointer::default_pointer;
  FltkMessageBox box_;
};

ControlBox::ControlBox(FltkWindows& owner, Form& form, const Control& control)
    : Fl_Box(pixels(control.left), pixels(control.top), pixels(control.width), pixels(control.height)),
      owner_(owner),
      form_(form) {
  sync(control);
}

void ControlBox::sync(const Control& control) {
  control_ = control;
  text_ = utf8(platform::plain_caption(control.caption).text);
  resize(pixels(control.left), pixels(control.top), pixels(control.width), pixels(control.height));
  box(control.kind == ControlKind::frame ? FL_ENGRAVED_FRAME : FL_NO_BOX);
  if (control.visible) {
    show();
  } else {
    hide();
  }
}

void ControlBox::draw() {
  if (control_.kind == ControlKind::frame) draw_box();
  if (text_.empty()) return;
  fl_font(fl_font_of(control_.font), fl_size_of(control_.font));
  fl_color(fl_colour(control_.fore_colour));
  Fl_Align align = FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_CLIP;
  if (control_.alignment == platform::Alignment::center) align |= FL_ALIGN_CENTER;
  if (control_.alignment == platform::Alignment::left) align |= FL_ALIGN_LEFT;
  if (control_.alignment == platform::Alignment::right) align |= FL_ALIGN_RIGHT;
  if (control_.word_wrap) align |= FL_ALIGN_WRAP;
  if (control_.kind == ControlKind::frame) {
    fl_draw(text_.c_str(), x() + 8, y() - fl_height() / 2, w() - 16, fl_height(), FL_ALIGN_LEFT, nullptr, 0);
    return;
  }
  fl_draw(text_.c_str(), x(), y(), w(), h(), align, nullptr, 0);
  if (control_.font.underline && !control_.word_wrap) {
    const int width = static_cast<int>(fl_width(text_.c_str()));
    int left = x();
    if (control_.alignment == platform::Alignment::center) left += (w() - width) / 2;
    if (control_.alignment == platform::Alignment::right) left += w() - width;
    const int base = y() + fl_height() - fl_descent() + 1;
    fl_line(left, base, left + width, base);
  }
}

int ControlBox::handle(int event) {
  switch (event) {
    case FL_PUSH:
      return 1;
    case FL_RELEASE:
      if (Fl::event_inside(this)) {
        const std::string name = control_.name;  // the box may go with the form
        form_.click(name);
      }
      return 1;
    case FL_ENTER:
      if (control_.mouse_pointer == platform::MousePointer::custom &&
          owner_.mouse_pointer() == platform::MousePointer::default_pointer) {
        window()->cursor(FL_CURSOR_HAND);
      }
      return 1;
    case FL_LEAVE:
      if (owner_.mouse_pointer() == platform::MousePointer::default_pointer) {
        window()->cursor(FL_CURSOR_DEFAULT);
      }
      return 1;
    default:
      return Fl_Box::handle(event);
  }
}

FormWindow::FormWindow(FltkWindows& owner, Form& form)
    : Fl_Double_Window(pixels(form.width()), pixels(form.height())), owner_(owner), form_(form) {
  title_ = utf8(form.caption());
  label(title_.c_str());
  position((Fl::w() - w()) / 2, (Fl::h() - h()) / 2);
  callback([](Fl_Widget* widget, void*) {
    // The close box (and Escape when no handler took it): the user closes
    // the form.
    static_cast<FormWindow*>(widget)->form().close_request();
  });
  for (const Control& control : form.controls()) {
    if (control.kind == ControlKind::command_button) {
      auto* button = new Fl_Button(pixels(control.left), pixels(control.top), pixels(control.width),
                                   pixels(control.height));
      button->copy_label(utf8(control.caption).c_str());
      button->labelfont(fl_font_of(control.font));
      button->labelsize(fl_size_of(control.font));
      button->visible_focus(0);  // keys go to the form
      button_names_.push_back(std::make_unique<std::string>(control.name));
      button->callback(
          [](Fl_Widget* widget, void* data) {
            auto* window = static_cast<FormWindow*>(widget->window());
            window->form().click(*static_cast<const std::string*>(data));
          },
          button_names_.back().get());
      buttons_.push_back(button);
    } else {
      boxes_.push_back(new ControlBox(owner_, form, control));
    }
  }
  end();
}

void FormWindow::sync() {
  std::size_t next = 0;
  for (const Control& control : form_.controls()) {
    if (control.kind != ControlKind::command_button && next < boxes_.size()) {
      boxes_[next++]->sync(control);
    }
  }
}

void FormWindow::draw() {
  fl_push_clip(0, 0, w(), h());
  fl_color(fl_colour(form_.back_colour()));
  fl_rectf(0, 0, w(), h());
  for (const platform::LineShape& line : form_.lines()) {
    if (!line.visible) continue;
    fl_color(fl_colour(line.border_colour));
    fl_line(pixels(line.x1), pixels(line.y1), pixels(line.x2), pixels(line.y2));
  }
  fl_pop_clip();
  draw_children();
}

int FormWindow::handle(int event) {
  if ((event == FL_KEYBOARD) && Fl::event_length() > 0 && (Fl::event_state() & (FL_ALT | FL_META)) == 0) {
    form_.key_press(static_cast<unsigned char>(Fl::event_text()[0]));
    return 1;
  }
  if (event == FL_PUSH && Fl_Double_Window::handle(event) == 0) {
    form_.click("");
    return 1;
  }
  return Fl_Double_Window::handle(event);
}

void FormWindow::pointer(platform::MousePointer pointer) {
  cursor(pointer == platform::MousePointer::hourglass ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT);
}

}  // namespace

std::unique_ptr<ToolWindows> open_desktop_windows() {
  // FLTK ends the process when it cannot open the display: open it here.
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    const char* name = std::getenv("DISPLAY");
    throw IoError(std::string("cannot open the display") +
                  (name != nullptr && *name != '\0' ? std::string(" ") + name : std::string(" (DISPLAY is not set)")));
  }
  // Handing over this connection (rather than closing it and letting FLTK
  // open another) keeps a server that resets when its last client leaves
  // from resetting under us.
  fl_open_display(display);
  return std::make_unique<FltkWindows>();
}

bool desktop_windows_built() noexcept { return true; }

}  // namespace quillfern::cli

// The entry point of the desktop plugin, which the tool loads only for a
// desktop window (see desktop/plugin_window.cpp): everything else runs
// without FLTK and X11 loaded.
extern "C" __attribute__((visibility("default"))) quillfern::cli::ToolWindows* quillfern_open_desktop_windows() {
  return quillfern::cli::open_desktop_windows().release();
}
