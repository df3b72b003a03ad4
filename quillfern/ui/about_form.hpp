// The About window frmSplash: its controls with their design-time texts,
// the loading that writes the version line and fills the form with a band
// of lines shading from black to red, the handlers that close it and the
// web-address label that opens the maker's site. The form is a model: any
// window system of our host layer draws it and delivers its events.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quillfern/platform/host.hpp"
#include "quillfern/platform/window_system.hpp"

namespace quillfern::ui {

inline constexpr std::string_view about_caption = "About Quillfern OCX";
inline constexpr std::string_view product_name = "QUILLFERN OCX";
inline constexpr std::string_view maker_web_address = "https://oldvane.example/";
inline constexpr std::string_view about_notice =
    "Freeware, without warranty. Keep a copy of whatever you encipher: "
    "a forgotten password cannot be recovered.";

// "Version " and the library's major, minor and revision numbers in plain
// decimal: "Version 1.5.22".
[[nodiscard]] std::string version_line();

// The number of band lines for a form of `height` twips: height / 15 in
// single precision, rounded to the nearest integer (a half to the even
// neighbour); none when that leaves the 16-bit signed range.
[[nodiscard]] std::optional<std::int16_t> band_line_count(float height) noexcept;
// The red level of band line `index` (1..N): 15 * floor((index / (height /
// 15)) * 15), each step in single precision; 0 up to 225 in steps of 15.
[[nodiscard]] std::int32_t band_red_level(std::int32_t index, float height) noexcept;

class AboutForm final : public platform::Form {
 public:
  // The design-time size, 450 by 300 pixels at 96 dots per inch.
  static constexpr std::int32_t design_width = 6750;
  static constexpr std::int32_t design_height = 4500;

  // The form uses the host's window system (which must be set), its shell
  // and its message box (through OpenLink).
  explicit AboutForm(platform::Host& host);

  // Element `index` of the line-shape array Line1 (0 exists at design time,
  // 1..N after the load); throws quillfern::Error 5 when there is none.
  [[nodiscard]] const platform::LineShape& Line1(std::size_t index) const;

  // ---- event handlers -----------------------------------------------------
  // Any character key, a click on Frame1 and OK unload the form.
  void Form_KeyPress(int KeyAscii);
  void Frame1_Click();
  void OK_Click();
  // Opens the maker's web address through OpenLink; the form stays open.
  void Label2_Click();

 protected:
  void design() override;
  // Writes the version line (a failure there is raised), then, passing over
  // any step that fails: lays Line1(0) along the top edge, moves Label4 to
  // the top and centres it across the form, shows the form, and with the
  // hourglass pointer up adds N lines 15 twips apart, letting the window
  // system process its events before each one.
  void Form_Load() override;
  void on_key_press(int key_ascii) override { Form_KeyPress(key_ascii); }
  void on_click(std::string_view control) override;

 private:
  platform::Host* host_;
};

// The control's About: creates the About window of the host's process on
// first use and shows it modeless; returns without waiting for it to close.
// Throws quillfern::Error 445 when the host has no window system, and what
// the form's loading raises.
void show_about(platform::Host& host);

}  // namespace quillfern::ui
