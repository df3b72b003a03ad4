// The terminal as a window system: one form drawn full-size over the whole
// terminal, and message boxes drawn as a modal box over it. The terminal
// session (cli/tui/terminal) gives raw input and the screen; the form is
// laid out (cli/tui/layout), rasterised into cells (cli/tui/raster) and
// painted as the changes since the last paint (cli/tui/painter); the input
// is parsed into keys and clicks (cli/tui/input) and delivered here.
#include <optional>
#include <vector>

#include "cli/tui/input.hpp"
#include "cli/tui/layout.hpp"
#include "cli/tui/painter.hpp"
#include "cli/tui/raster.hpp"
#include "cli/tui/terminal.hpp"
#include "cli/window_system.hpp"

namespace quillfern::cli {
namespace {

using platform::Form;
using tui::InputEvent;

// How long the window system waits for input in an event-processing pass:
// it paces the drawing of a form that changes line by line.
constexpr int pass_wait_ms = 2;
// How long the rest of an escape sequence may take to arrive.
constexpr int sequence_wait_ms = 30;

class TerminalWindows;

class TerminalMessageBox final : public platform::MessageBox {
 public:
  explicit TerminalMessageBox(TerminalWindows& windows) : windows_(windows) {}

 protected:
  int present(const platform::Message& message) override;

 private:
  TerminalWindows& windows_;
};

class TerminalWindows final : public ToolWindows {
 public:
  TerminalWindows(int input_fd, int output_fd)
      : session_(input_fd, output_fd), grid_{80, 24, session_.utf8()}, parser_(session_.utf8()) {
    update_size();
  }

  void show(Form& form) override {
    form_ = &form;
    dirty_ = true;
    paint();
  }
  void hide(Form& form) noexcept override {
    if (form_ == &form) form_ = nullptr;
    dirty_ = true;
  }
  void changed(Form&) override { dirty_ = true; }
  void do_events() override {
    paint();
    read_input(pass_wait_ms);
    paint();
  }
  void set_mouse_pointer(platform::MousePointer pointer) override { pointer_ = pointer; }
  [[nodiscard]] platform::MousePointer mouse_pointer() const noexcept override { return pointer_; }
  void run() override {
    while (form_ != nullptr && form_->visible()) {
      paint();
      read_input(200);
    }
  }
  platform::MessageBox& message_box() noexcept override { return box_; }

  // Shows `message` over the form until a key or a click dismisses it.
  void modal(const platform::Message& message);

 private:
  void update_size();
  void paint();
  void read_input(int timeout_ms);
  void deliver(const InputEvent& event);

  tui::TerminalSession session_;
  tui::Grid grid_;
  tui::InputParser parser_;
  Form* form_ = nullptr;
  bool dirty_ = true;
  std::vector<tui::Cell> drawn_;
  platform::MousePointer pointer_ = platform::MousePointer::default_pointer;
  TerminalMessageBox box_{*this};
  std::optional<platform::Message> message_;
  bool dismissed_ = false;
};

void TerminalWindows::update_size() {
  if (const auto size = session_.size()) {
    if (size->cols != grid_.cols || size->rows != grid_.rows) {
      dirty_ = true;
      drawn_.clear();  // a new grid: draw it whole
    }
    grid_.cols = size->cols;
    grid_.rows = size->rows;
  }
}

void TerminalWindows::paint() {
  update_size();
  if (!dirty_) return;
  dirty_ = false;
  std::vector<tui::Cell> cells = tui::rasterise(form_, message_, grid_);
  const std::string out = tui::paint(drawn_, cells, grid_.cols, session_.true_colour());
  drawn_ = std::move(cells);
  if (!out.empty()) session_.write(out);
}

void TerminalWindows::read_input(int timeout_ms) {
  std::string bytes;
  switch (session_.read(timeout_ms, bytes)) {
    case tui::TerminalSession::Read::nothing:
      return;
    case tui::TerminalSession::Read::ending:  // asked to end
    case tui::TerminalSession::Read::gone:    // the terminal went away: nobody can close the form
      // Close the form (and any box over it).
      dismissed_ = true;
      if (form_ != nullptr) form_->close_request();
      return;
    case tui::TerminalSession::Read::interrupted:
      dismissed_ = true;
      return;
    case tui::TerminalSession::Read::input:
      break;
  }
  // A sequence cut short waits briefly for its rest; without it, a lone
  // escape is the Escape key.
  std::vector<InputEvent> events = parser_.feed(bytes);
  while (parser_.waiting()) {
    std::string more;
    const std::vector<InputEvent> next =
        session_.read_more(sequence_wait_ms, more) ? parser_.feed(more) : parser_.expire();
    events.insert(events.end(), next.begin(), next.end());
  }
  for (const InputEvent& event : events) deliver(event);
}

void TerminalWindows::deliver(const InputEvent& event) {
  if (message_) {
    // A message box is up: it takes every key, and clicks on its button.
    if (event.kind != InputEvent::click ||
        tui::on_message_button(tui::message_rect(message_->text, grid_.cols, grid_.rows), event.col, event.row)) {
      dismissed_ = true;
    }
    return;
  }
  if (form_ == nullptr) return;
  Form& form = *form_;
  switch (event.kind) {
    case InputEvent::key:
      form.key_press(event.code);
      break;
    case InputEvent::access_key: {
      const std::vector<tui::Placed> placed = tui::place(form, grid_.cols, grid_.rows);
      if (const tui::Placed* button = tui::button_with_access_key(placed, event.code)) {
        form.click(button->control->name);
      }
      break;
    }
    case InputEvent::click: {
      // The topmost control under the pointer, or the form itself.
      const std::vector<tui::Placed> placed = tui::place(form, grid_.cols, grid_.rows);
      const tui::Placed* under = tui::control_at(placed, event.col, event.row);
      form.click(under != nullptr ? under->control->name : "");
      break;
    }
  }
}

void TerminalWindows::modal(const platform::Message& message) {
  message_ = message;
  dismissed_ = false;
  dirty_ = true;
  while (!dismissed_) {
    paint();
    read_input(200);
  }
  message_.reset();
  dirty_ = true;
  paint();
}

int TerminalMessageBox::present(const platform::Message& message) {
  windows_.modal(message);
  return platform::answer_ok;
}

}  // namespace

std::unique_ptr<ToolWindows> open_terminal_windows(int input_fd, int output_fd) {
  return std::make_unique<TerminalWindows>(input_fd, output_fd);
}

}  // namespace quillfern::cli
