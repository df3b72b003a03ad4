#include "cli/tui/layout.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace quillfern::cli::tui {

using platform::Control;
using platform::ControlKind;

std::vector<std::string> wrap(const std::string& text, std::size_t width) {
  std::vector<std::string> lines;
  if (width == 0) return lines;
  std::string line;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(start, end - start);
    start = end + 1;
    while (word.size() > width) {
      if (!line.empty()) lines.push_back(std::move(line)), line.clear();
      lines.push_back(word.substr(0, width));
      word.erase(0, width);
    }
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      lines.push_back(std::move(line));
      line.clear();
    }
    if (!line.empty()) line += ' ';
    line += word;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::vector<Placed> place(const platform::Form& form, int cols, int rows) {
  std::vector<Placed> placed;
  if (form.width() <= 0 || form.height() <= 0) return placed;
  const double sx = static_cast<double>(cols) / form.width();
  const double sy = static_cast<double>(rows) / form.height();
  for (const Control& control : form.controls()) {
    if (!control.visible) continue;
    Placed p;
    p.control = &control;
    Rect& r = p.rect;
    r.col0 = static_cast<int>(std::floor(control.left * sx));
    r.row0 = static_cast<int>(std::floor(control.top * sy));
    r.col1 = std::max(r.col0 + 1, static_cast<int>(std::lround((control.left + control.width) * sx)));
    r.row1 = std::max(r.row0 + 1, static_cast<int>(std::lround((control.top + control.height) * sy)));
    const platform::Caption caption = platform::plain_caption(control.caption);
    p.access_key = caption.access_key;
    const auto width = static_cast<std::size_t>(r.col1 - r.col0);
    if (control.kind == ControlKind::label && control.word_wrap) {
      p.lines = wrap(caption.text, width);
      if (p.lines.size() > static_cast<std::size_t>(r.row1 - r.row0)) {
        r.row1 = std::min(rows, r.row0 + static_cast<int>(p.lines.size()));
      }
    } else if (!caption.text.empty()) {
      p.lines.push_back(caption.text);
      std::size_t need = caption.text.size() + (control.kind == ControlKind::command_button ? 2 : 0);
      if (need > width && control.kind != ControlKind::frame) {
        const int grow = static_cast<int>(need - width);
        r.col0 = std::max(0, r.col0 - (grow + 1) / 2);
        r.col1 = std::min(cols, r.col0 + static_cast<int>(need));
      }
    }
    placed.push_back(std::move(p));
  }
  return placed;
}

Rect message_rect(const std::string& text, int cols, int rows) {
  const int width =
      std::min(cols, std::max<int>(24, static_cast<int>(std::min<std::size_t>(text.size(), 56)) + 4));
  const auto lines = wrap(text, static_cast<std::size_t>(std::max(1, width - 4)));
  const int height = std::min(rows, static_cast<int>(lines.size()) + 4);
  Rect r;
  r.col0 = (cols - width) / 2;
  r.row0 = (rows - height) / 2;
  r.col1 = r.col0 + width;
  r.row1 = r.row0 + height;
  return r;
}

std::vector<std::string> message_lines(const std::string& text, const Rect& box) {
  return wrap(text, static_cast<std::size_t>(std::max(1, box.col1 - box.col0 - 4)));
}

bool on_message_button(const Rect& box, int col, int row) noexcept {
  return row == box.row1 - 2 && box.contains(col, row);
}

const Placed* control_at(const std::vector<Placed>& placed, int col, int row) noexcept {
  for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
    if (it->rect.contains(col, row)) return &*it;
  }
  return nullptr;
}

const Placed* button_with_access_key(const std::vector<Placed>& placed, int key) {
  for (const Placed& p : placed) {
    const platform::Caption caption = platform::plain_caption(p.control->caption);
    if (p.control->kind == ControlKind::command_button && caption.access_key != std::string::npos &&
        std::tolower(static_cast<unsigned char>(caption.text[caption.access_key])) == std::tolower(key)) {
      return &p;
    }
  }
  return nullptr;
}

}  // namespace quillfern::cli::tui
