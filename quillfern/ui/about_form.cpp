#include "quillfern/ui/about_form.hpp"

#include <cmath>

#include "quillfern/core/error.hpp"
#include "quillfern/core/identity.hpp"
#include "quillfern/ui/open_link.hpp"
#include "quillfern/version.hpp"

namespace quillfern::ui {
namespace {

using platform::Alignment;
using platform::Control;
using platform::ControlKind;
using platform::Font;
using platform::MousePointer;
using platform::rgb;

// Runs one step of the loading; a step that fails has no effect.
template <class Step>
void guarded(Step&& step) noexcept {
  try {
    step();
  } catch (...) {
  }
}

Control label(std::string name, std::string caption, std::int32_t left, std::int32_t top,
              std::int32_t width, std::int32_t height, Font font, platform::Colour colour,
              Alignment alignment = Alignment::center) {
  Control c;
  c.name = std::move(name);
  c.kind = ControlKind::label;
  c.caption = std::move(caption);
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.font = std::move(font);
  c.fore_colour = colour;
  c.alignment = alignment;
  return c;
}

}  // namespace

std::string version_line() {
  return "Version " + std::to_string(version_major) + "." + std::to_string(version_minor) + "." +
         std::to_string(version_revision);
}

std::optional<std::int16_t> band_line_count(float height) noexcept {
  // nearbyint rounds in the default mode: to nearest, a half to even.
  const float lines = std::nearbyint(height / 15.0f);
  if (!(lines >= -32768.0f && lines <= 32767.0f)) return std::nullopt;
  return static_cast<std::int16_t>(lines);
}

std::int32_t band_red_level(std::int32_t index, float height) noexcept {
  const float per_line = height / 15.0f;
  const float band = std::floor((static_cast<float>(index) / per_line) * 15.0f);
  return static_cast<std::int32_t>(15.0f * band);
}

AboutForm::AboutForm(platform::Host& host)
    : Form(*host.window_system()), host_(&host) {
  resize(design_width, design_height);
}

void AboutForm::design() {
  name_ = "frmSplash";
  caption_ = std::string(about_caption);
  back_colour_ = rgb(64, 64, 64);

  const Font arial{"Arial", 10, false, false};
  const platform::Colour white = rgb(255, 255, 255);
  Control frame;
  frame.name = "Frame1";
  frame.kind = ControlKind::frame;
  frame.left = 240;
  frame.top = 540;
  frame.width = 6270;
  frame.height = 3300;
  frame.fore_colour = rgb(192, 192, 192);
  controls_.push_back(frame);

  controls_.push_back(label("Label4", std::string(identity::maker_name), 240, 120, 2400, 360,
                            {"Arial", 14, true, false}, rgb(255, 215, 0), Alignment::left));
  controls_.push_back(label("lblProductName", std::string(product_name), 480, 780, 5790, 540,
                            {"Arial", 18, true, false}, white));
  controls_.push_back(label("lblVersion", "Version", 480, 1440, 5790, 360,
                            {"Arial", 12, true, false}, white));
  Control address = label("Label2", std::string(maker_web_address), 480, 2040, 5790, 300,
                          {"Arial", 10, false, true}, rgb(128, 200, 255));
  address.mouse_pointer = MousePointer::custom;
  controls_.push_back(address);
  Control notice = label("Label6", std::string(about_notice), 480, 2520, 5790, 1080, arial,
                         rgb(224, 224, 224));
  notice.word_wrap = true;
  controls_.push_back(notice);

  Control ok;
  ok.name = "OK";
  ok.kind = ControlKind::command_button;
  ok.caption = "&OK";
  ok.left = 5310;
  ok.top = 3960;
  ok.width = 1200;
  ok.height = 390;
  ok.font = arial;
  ok.fore_colour = 0;
  controls_.push_back(ok);

  // Line1(0), black; the load lays it along the top edge.
  lines_.push_back({0, 0, width_, 0, 0, true});
}

const platform::LineShape& AboutForm::Line1(std::size_t index) const {
  if (index >= lines_.size()) {
    throw Error(ErrorNumber::invalid_call, "Line1(" + std::to_string(index) + ") does not exist");
  }
  return lines_[index];
}

void AboutForm::Form_Load() {
  control("lblVersion").caption = version_line();

  guarded([&] {
    platform::LineShape& top = lines_.at(0);
    top.x1 = 0;
    top.y1 = 0;
    top.x2 = width();
    top.y2 = 0;
  });
  guarded([&] {
    Control& maker = control("Label4");
    maker.width = width();
    maker.left = 0;
    maker.top = 0;
    maker.alignment = Alignment::center;
  });
  guarded([&] { Show(); });
  guarded([&] { windows().set_mouse_pointer(MousePointer::hourglass); });

  const float height = static_cast<float>(this->height());
  const std::optional<std::int16_t> count = band_line_count(height);
  const unsigned this_load = load_count();
  for (std::int32_t i = 1; count && i <= *count; ++i) {
    guarded([&] { windows().do_events(); });
    // Closed meanwhile (or closed and loaded afresh): the lines are gone and
    // every remaining step would fail.
    if (!loaded() || load_count() != this_load) break;
    guarded([&] {
      // A new element starts as a hidden copy of element 0.
      platform::LineShape line = lines_.at(0);
      line.visible = false;
      line.x1 = 0;
      line.y1 = lines_.at(static_cast<std::size_t>(i - 1)).y1 + 15;
      line.x2 = width();
      line.y2 = line.y1;
      line.border_colour = static_cast<platform::Colour>(band_red_level(i, height));
      line.visible = true;
      lines_.push_back(line);
      changed();
    });
  }
  guarded([&] { windows().set_mouse_pointer(MousePointer::default_pointer); });
}

void AboutForm::on_click(std::string_view control) {
  if (control == "Frame1") {
    Frame1_Click();
  } else if (control == "OK") {
    OK_Click();
  } else if (control == "Label2") {
    Label2_Click();
  }
}

void AboutForm::Form_KeyPress(int /*KeyAscii*/) { Unload(); }
void AboutForm::Frame1_Click() { Unload(); }
void AboutForm::OK_Click() { Unload(); }

void AboutForm::Label2_Click() {
  OpenLink link(*host_);
  link.ExecuteLink(std::string(maker_web_address), SW_SHOWNORMAL, std::string());
}

void show_about(platform::Host& host) {
  if (host.window_system() == nullptr) {
    throw Error(ErrorNumber::not_supported, "the host has no window system to show About in");
  }
  std::unique_ptr<platform::Form>& window = host.about_window();
  if (!window) window = std::make_unique<AboutForm>(host);
  window->Show();
}

}  // namespace quillfern::ui
