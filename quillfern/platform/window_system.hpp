// The window system of our host layer: forms with their labels, frames,
// buttons and line shapes, as plain data that any window system can draw
// (a terminal, a desktop window), and the window system's services that a
// form uses: showing and hiding, repainting, processing pending events and
// the screen's mouse pointer. Positions and sizes are in twips (1/1440
// inch); colours are 0x00BBGGRR.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillfern::platform {

// A colour as the platform stores it: red in the low byte, then green,
// then blue.
using Colour = std::uint32_t;

// The colour of three channel values, and the channels of a colour.
[[nodiscard]] constexpr Colour rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) noexcept {
  return Colour{red} | (Colour{green} << 8) | (Colour{blue} << 16);
}
[[nodiscard]] constexpr std::uint8_t red_of(Colour c) noexcept { return static_cast<std::uint8_t>(c & 0xFF); }
[[nodiscard]] constexpr std::uint8_t green_of(Colour c) noexcept { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
[[nodiscard]] constexpr std::uint8_t blue_of(Colour c) noexcept { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

// The screen's mouse pointer, in the platform's numbering.
enum class MousePointer : std::int16_t { default_pointer = 0, arrow = 1, hourglass = 11, custom = 99 };

enum class Alignment : std::int16_t { left = 0, right = 1, center = 2 };

enum class ControlKind { label, frame, command_button };

struct Font {
  std::string name = "MS Sans Serif";
  int points = 8;
  bool bold = false;
  bool underline = false;
};

// A control of a form. Labels have no background: what lies under them
// shows through. A frame draws its border only.
struct Control {
  std::string name;
  ControlKind kind = ControlKind::label;
  std::string caption;  // character codes of the host's code page; '&' marks an access key
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  Font font;
  Colour fore_colour = 0;
  Alignment alignment = Alignment::left;
  MousePointer mouse_pointer = MousePointer::default_pointer;
  bool word_wrap = false;
  bool visible = true;
};

// An element of a line-shape array, drawn on the form beneath its controls.
struct LineShape {
  std::int32_t x1 = 0;
  std::int32_t y1 = 0;
  std::int32_t x2 = 0;
  std::int32_t y2 = 0;
  Colour border_colour = 0;
  bool visible = true;
};

class WindowSystem;

// A form: a window's contents and its lifecycle. A form is loaded (its
// controls exist, Form_Load has run) before it is shown; Show loads it when
// needed; Unload hides it and destroys its controls, so that the next Show
// loads it afresh from its design.
class Form {
 public:
  explicit Form(WindowSystem& windows) noexcept : windows_(&windows) {}
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // ---- lifecycle ----------------------------------------------------------
  [[nodiscard]] bool loaded() const noexcept { return loaded_; }
  [[nodiscard]] bool visible() const noexcept { return visible_; }
  // How many times the form has been loaded: a load that starts while
  // another is running (the form closed and shown again meanwhile) moves
  // it on.
  [[nodiscard]] unsigned load_count() const noexcept { return load_count_; }

  // Loads the form if it is not loaded and makes it visible without waiting
  // for it to close (modeless). A failure of Form_Load unloads the form and
  // is raised.
  void Show();
  // Loads the form without showing it; nothing when it is loaded.
  void Load();
  // Hides and unloads the form; nothing when it is not loaded.
  void Unload() noexcept;

  // ---- contents -----------------------------------------------------------
  [[nodiscard]] const std::string& name() const noexcept { return name_; }
  [[nodiscard]] const std::string& caption() const noexcept { return caption_; }
  [[nodiscard]] std::int32_t width() const noexcept { return width_; }
  [[nodiscard]] std::int32_t height() const noexcept { return height_; }
  [[nodiscard]] Colour back_colour() const noexcept { return back_colour_; }
  // Sets the form's size, as a window system or its user does.
  void resize(std::int32_t width, std::int32_t height) noexcept;

  [[nodiscard]] const std::vector<Control>& controls() const noexcept { return controls_; }
  [[nodiscard]] const std::vector<LineShape>& lines() const noexcept { return lines_; }
  // The control named `name`; throws quillfern::Error 438 when there is
  // none (an unloaded form has none).
  [[nodiscard]] Control& control(std::string_view name);
  [[nodiscard]] const Control& control(std::string_view name) const;

  // ---- events the window system delivers ------------------------------------
  // A character key (its code, not examined by every form).
  void key_press(int key_ascii);
  // A click on the control named `control`, or on the form itself ("").
  void click(std::string_view control);
  // The user closed the window through the window system.
  void close_request() noexcept { Unload(); }

 protected:
  // Sets the design-time state: name, caption, colours, controls and the
  // design-time elements of line arrays. Called at every load; the size is
  // the form's own and survives unloading.
  virtual void design() = 0;
  virtual void Form_Load() {}
  virtual void on_key_press(int /*key_ascii*/) {}
  virtual void on_click(std::string_view /*control*/) {}

  [[nodiscard]] WindowSystem& windows() const noexcept { return *windows_; }
  // Tells the window system that the contents changed; it repaints at its
  // next event-processing pass.
  void changed();

  std::string name_;
  std::string caption_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  Colour back_colour_ = 0;
  std::vector<Control> controls_;
  std::vector<LineShape> lines_;

 private:
  WindowSystem* windows_;
  bool loaded_ = false;
  bool visible_ = false;
  unsigned load_count_ = 0;
};

// What a form needs from the window system. Every call runs on the window
// system's one thread.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // The form became visible (modeless): draw it and deliver its events.
  virtual void show(Form& form) = 0;
  // The form was hidden or unloaded: stop drawing it, forget it.
  virtual void hide(Form& form) noexcept = 0;
  // The form's contents changed.
  virtual void changed(Form& form) = 0;
  // Processes the pending events (delivering them to the forms) and
  // repaints what changed, then returns.
  virtual void do_events() = 0;
  // The screen's mouse pointer.
  virtual void set_mouse_pointer(MousePointer pointer) = 0;
  [[nodiscard]] virtual MousePointer mouse_pointer() const noexcept = 0;
  // The message loop: delivers events until no form is shown.
  virtual void run() = 0;
};

// The caption without its access-key markers ("&OK" reads "OK", "&&" is
// one '&'), and the position of the access key in it, if any.
struct Caption {
  std::string text;
  std::size_t access_key = std::string::npos;
};
[[nodiscard]] Caption plain_caption(std::string_view caption);

}  // namespace quillfern::platform
