// The terminal as a window system: one form drawn full-size over the whole
// terminal. Line shapes are drawn in half-character pixels (two per cell,
// with the upper-half block), controls as text over them, the button as a
// grey bar. Input is read raw: every character key reaches the form, the
// mouse reports clicks (SGR reporting), and message boxes are drawn as a
// modal box over the form.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "cli/io.hpp"
#include "cli/window_system.hpp"
#include "quillfern/core/codepage.hpp"

namespace quillfern::cli {
namespace {

using platform::Colour;
using platform::Control;
using platform::ControlKind;
using platform::Form;

// How long the window system waits for input in an event-processing pass:
// it paces the drawing of a form that changes line by line.
constexpr int pass_wait_ms = 2;
// How long the rest of an escape sequence may take to arrive.
constexpr int sequence_wait_ms = 30;

struct Rect {
  int col0 = 0, row0 = 0, col1 = 0, row1 = 0;  // ends exclusive
  [[nodiscard]] bool contains(int col, int row) const {
    return col >= col0 && col < col1 && row >= row0 && row < row1;
  }
};

struct Cell {
  std::string glyph = " ";
  Colour fore = 0;
  Colour back = 0;
  bool bold = false;
  bool underline = false;
  friend bool operator==(const Cell&, const Cell&) = default;
};

// A control placed on the character grid, with its text lines.
struct Placed {
  const Control* control = nullptr;
  Rect rect;
  std::vector<std::string> lines;  // codes of the host's code page
  std::size_t access_key = std::string::npos;
};

Colour average(Colour a, Colour b) {
  auto mid = [](std::uint8_t x, std::uint8_t y) { return static_cast<std::uint8_t>((x + y + 1) / 2); };
  return platform::rgb(mid(platform::red_of(a), platform::red_of(b)),
                       mid(platform::green_of(a), platform::green_of(b)),
                       mid(platform::blue_of(a), platform::blue_of(b)));
}

// The nearest colour of the xterm 256-colour palette (its 6x6x6 cube and
// its grey ramp).
int palette_index(Colour c) {
  static constexpr int levels[6] = {0, 95, 135, 175, 215, 255};
  auto nearest_level = [](int v) {
    int best = 0;
    for (int i = 1; i < 6; ++i) {
      if (std::abs(levels[i] - v) < std::abs(levels[best] - v)) best = i;
    }
    return best;
  };
  const int r = platform::red_of(c), g = platform::green_of(c), b = platform::blue_of(c);
  const int ri = nearest_level(r), gi = nearest_level(g), bi = nearest_level(b);
  auto distance = [&](int x, int y, int z) { return (x - r) * (x - r) + (y - g) * (y - g) + (z - b) * (z - b); };
  const int cube = distance(levels[ri], levels[gi], levels[bi]);
  const int grey_step = std::clamp(((r + g + b) / 3 - 3) / 10, 0, 23);
  const int grey = 8 + 10 * grey_step;
  if (distance(grey, grey, grey) < cube) return 232 + grey_step;
  return 16 + 36 * ri + 6 * gi + bi;
}

// Splits `text` into lines of at most `width` characters at spaces.
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
  TerminalWindows(int input_fd, int output_fd);
  ~TerminalWindows() override;
  TerminalWindows(const TerminalWindows&) = delete;
  TerminalWindows& operator=(const TerminalWindows&) = delete;

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
  struct Event {
    enum Kind { key, click, access_key } kind;
    int code = 0;
    int col = 0, row = 0;
  };

  void paint();
  std::vector<Cell> compose() const;
  std::vector<Placed> place() const;
  std::optional<Rect> message_rect() const;
  void read_input(int timeout_ms);
  std::vector<Event> parse();
  void deliver(const Event& event);
  void write_out(std::string_view text) const;
  std::string colour_code(bool fore, Colour c) const;
  void update_size();
  std::string glyph(char code) const;

  int in_;
  int out_;
  termios saved_{};
  sigset_t saved_mask_{};
  int signals_ = -1;
  bool true_colour_;
  bool utf8_;
  int cols_ = 80;
  int rows_ = 24;
  Form* form_ = nullptr;
  bool dirty_ = true;
  std::vector<Cell> drawn_;
  std::string input_;
  platform::MousePointer pointer_ = platform::MousePointer::default_pointer;
  TerminalMessageBox box_{*this};
  std::optional<platform::Message> message_;
  bool dismissed_ = false;
};

bool locale_is_utf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string v(value);
    std::transform(v.begin(), v.end(), v.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return v.find("utf-8") != std::string::npos || v.find("utf8") != std::string::npos;
  }
  return false;
}

TerminalWindows::TerminalWindows(int input_fd, int output_fd) : in_(input_fd), out_(output_fd) {
  if (::tcgetattr(in_, &saved_) != 0 || !is_terminal(out_)) {
    throw IoError("the form needs a terminal");
  }
  const char* colorterm = std::getenv("COLORTERM");
  true_colour_ = colorterm != nullptr &&
                 (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0);
  utf8_ = locale_is_utf8();

  // Signals that would end the tool arrive as readable events instead, so
  // that the terminal is always restored.
  sigset_t ending;
  sigemptyset(&ending);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&ending, sig);
  ::sigprocmask(SIG_BLOCK, &ending, &saved_mask_);
  signals_ = ::signalfd(-1, &ending, SFD_CLOEXEC | SFD_NONBLOCK);

  termios raw = saved_;
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | BRKINT | INPCK | ISTRIP);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(in_, TCSAFLUSH, &raw);
  // Alternate screen, no cursor, mouse clicks reported in SGR form.
  write_out("\x1b[?1049h\x1b[?25l\x1b[?1000h\x1b[?1006h\x1b[0m\x1b[2J");
  update_size();
}

TerminalWindows::~TerminalWindows() {
  write_out("\x1b[?1006l\x1b[?1000l\x1b[0m\x1b[2J\x1b[?25h\x1b[?1049l");
  ::tcsetattr(in_, TCSAFLUSH, &saved_);
  if (signals_ >= 0) ::close(signals_);
  ::sigprocmask(SIG_SETMASK, &saved_mask_, nullptr);
}

void TerminalWindows::write_out(std::string_view text) const { write_best_effort(out_, text); }

void TerminalWindows::update_size() {
  winsize size{};
  if (::ioctl(out_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    if (size.ws_col != cols_ || size.ws_row != rows_) {
      dirty_ = true;
      drawn_.clear();  // a new grid: draw it whole
    }
    cols_ = size.ws_col;
    rows_ = size.ws_row;
  }
}

std::string TerminalWindows::glyph(char code) const {
  const auto byte = static_cast<unsigned char>(code);
  if (byte < 32 || byte == 127) return "?";
  if (!utf8_) return std::string(1, code);
  return to_utf8(std::string_view(&code, 1), CodePage::cp1252);
}

std::string TerminalWindows::colour_code(bool fore, Colour c) const {
  if (true_colour_) {
    return std::string(fore ? "38;2;" : "48;2;") + std::to_string(platform::red_of(c)) + ";" +
           std::to_string(platform::green_of(c)) + ";" + std::to_string(platform::blue_of(c));
  }
  return std::string(fore ? "38;5;" : "48;5;") + std::to_string(palette_index(c));
}

// Places every visible control on the grid. A one-line text wider than its
// control grows around it so that it stays whole; wrapped text fills the
// control's rows.
std::vector<Placed> TerminalWindows::place() const {
  std::vector<Placed> placed;
  if (form_ == nullptr || form_->width() <= 0 || form_->height() <= 0) return placed;
  const double sx = static_cast<double>(cols_) / form_->width();
  const double sy = static_cast<double>(rows_) / form_->height();
  for (const Control& control : form_->controls()) {
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
        r.row1 = std::min(rows_, r.row0 + static_cast<int>(p.lines.size()));
      }
    } else if (!caption.text.empty()) {
      p.lines.push_back(caption.text);
      std::size_t need = caption.text.size() + (control.kind == ControlKind::command_button ? 2 : 0);
      if (need > width && control.kind != ControlKind::frame) {
        const int grow = static_cast<int>(need - width);
        r.col0 = std::max(0, r.col0 - (grow + 1) / 2);
        r.col1 = std::min(cols_, r.col0 + static_cast<int>(need));
      }
    }
    placed.push_back(std::move(p));
  }
  return placed;
}

std::optional<Rect> TerminalWindows::message_rect() const {
  if (!message_) return std::nullopt;
  const int width = std::min(cols_, std::max<int>(24, static_cast<int>(std::min<std::size_t>(
                                                     message_->text.size(), 56)) + 4));
  const auto lines = wrap(message_->text, static_cast<std::size_t>(std::max(1, width - 4)));
  const int height = std::min(rows_, static_cast<int>(lines.size()) + 4);
  Rect r;
  r.col0 = (cols_ - width) / 2;
  r.row0 = (rows_ - height) / 2;
  r.col1 = r.col0 + width;
  r.row1 = r.row0 + height;
  return r;
}

std::vector<Cell> TerminalWindows::compose() const {
  const auto cols = static_cast<std::size_t>(cols_);
  const auto rows = static_cast<std::size_t>(rows_);
  std::vector<Cell> cells(cols * rows);
  if (form_ == nullptr || form_->width() <= 0 || form_->height() <= 0) return cells;

  // The form's surface in half-cell pixels, with its line shapes.
  std::vector<Colour> pixels(cols * rows * 2, form_->back_colour());
  const double px = static_cast<double>(cols_) / form_->width();
  const double py = static_cast<double>(rows_ * 2) / form_->height();
  auto plot = [&](long x, long y, Colour c) {
    if (x >= 0 && y >= 0 && x < cols_ && y < rows_ * 2) {
      pixels[static_cast<std::size_t>(y) * cols + static_cast<std::size_t>(x)] = c;
    }
  };
  for (const platform::LineShape& line : form_->lines()) {
    if (!line.visible) continue;
    const double x1 = line.x1 * px, y1 = line.y1 * py, x2 = line.x2 * px, y2 = line.y2 * py;
    // One step per pixel, and never more steps than the screen has pixels.
    const double steps = std::min(std::max({std::abs(x2 - x1), std::abs(y2 - y1), 1.0}),
                                  static_cast<double>(cols_ + rows_ * 2));
    for (double s = 0; s <= steps; s += 1.0) {
      const double t = s / steps;
      long x = static_cast<long>(std::floor(x1 + (x2 - x1) * t));
      if (x >= cols_ && x1 != x2) x = cols_ - 1;  // a line to the right edge ends on it
      plot(x, static_cast<long>(std::floor(y1 + (y2 - y1) * t)), line.border_colour);
    }
  }
  auto pixel = [&](std::size_t col, std::size_t row, std::size_t half) {
    return pixels[(row * 2 + half) * cols + col];
  };
  for (std::size_t row = 0; row < rows; ++row) {
    for (std::size_t col = 0; col < cols; ++col) {
      Cell& cell = cells[row * cols + col];
      if (utf8_) {
        cell.glyph = "\u2580";  // upper half block: fore above, back below
        cell.fore = pixel(col, row, 0);
        cell.back = pixel(col, row, 1);
      } else {
        cell.back = pixel(col, row, 0);
      }
    }
  }
  // The surface's colour behind text: the mean of the cell's two pixels.
  std::vector<Colour> surface(cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    surface[i] = utf8_ ? average(cells[i].fore, cells[i].back) : cells[i].back;
  }
  auto cell_at = [&](int col, int row) -> Cell* {
    if (col < 0 || row < 0 || col >= cols_ || row >= rows_) return nullptr;
    return &cells[static_cast<std::size_t>(row) * cols + static_cast<std::size_t>(col)];
  };
  // Text over the surface keeps the surface's colour behind it.
  auto put = [&](int col, int row, std::string g, Colour fore, bool bold, bool underline) {
    Cell* cell = cell_at(col, row);
    if (cell == nullptr) return;
    cell->back = surface[static_cast<std::size_t>(cell - cells.data())];
    cell->glyph = std::move(g);
    cell->fore = fore;
    cell->bold = bold;
    cell->underline = underline;
  };

  for (const Placed& p : place()) {
    const Control& c = *p.control;
    const Rect& r = p.rect;
    if (c.kind == ControlKind::frame) {
      const bool u = utf8_;
      for (int col = r.col0; col < r.col1; ++col) {
        put(col, r.row0, u ? "\u2500" : "-", c.fore_colour, false, false);
        put(col, r.row1 - 1, u ? "\u2500" : "-", c.fore_colour, false, false);
      }
      for (int row = r.row0; row < r.row1; ++row) {
        put(r.col0, row, u ? "\u2502" : "|", c.fore_colour, false, false);
        put(r.col1 - 1, row, u ? "\u2502" : "|", c.fore_colour, false, false);
      }
      put(r.col0, r.row0, u ? "\u250c" : "+", c.fore_colour, false, false);
      put(r.col1 - 1, r.row0, u ? "\u2510" : "+", c.fore_colour, false, false);
      put(r.col0, r.row1 - 1, u ? "\u2514" : "+", c.fore_colour, false, false);
      put(r.col1 - 1, r.row1 - 1, u ? "\u2518" : "+", c.fore_colour, false, false);
      if (!p.lines.empty()) {
        for (std::size_t i = 0; i < p.lines[0].size(); ++i) {
          put(r.col0 + 2 + static_cast<int>(i), r.row0, glyph(p.lines[0][i]), c.fore_colour, false, false);
        }
      }
      continue;
    }
    if (c.kind == ControlKind::command_button) {
      const Colour face = platform::rgb(192, 192, 192);
      const int middle = r.row0 + (r.row1 - r.row0 - 1) / 2;
      for (int row = r.row0; row < r.row1; ++row) {
        for (int col = r.col0; col < r.col1; ++col) {
          if (Cell* cell = cell_at(col, row)) *cell = Cell{" ", c.fore_colour, face, false, false};
        }
      }
      if (!p.lines.empty()) {
        const std::string& text = p.lines[0];
        const int start = r.col0 + (r.col1 - r.col0 - static_cast<int>(text.size())) / 2;
        for (std::size_t i = 0; i < text.size(); ++i) {
          if (Cell* cell = cell_at(start + static_cast<int>(i), middle)) {
            *cell = Cell{glyph(text[i]), c.fore_colour, face, true, i == p.access_key};
          }
        }
      }
      continue;
    }
    for (std::size_t n = 0; n < p.lines.size(); ++n) {
      const std::string& text = p.lines[n];
      const int width = r.col1 - r.col0;
      const int length = static_cast<int>(text.size());
      int start = r.col0;
      if (c.alignment == platform::Alignment::center) start += (width - length) / 2;
      if (c.alignment == platform::Alignment::right) start += width - length;
      for (int i = 0; i < length; ++i) {
        put(start + i, r.row0 + static_cast<int>(n), glyph(text[static_cast<std::size_t>(i)]),
            c.fore_colour, c.font.bold, c.font.underline);
      }
    }
  }

  if (const auto box = message_rect()) {
    const Colour face = platform::rgb(192, 192, 192);
    const Colour ink = 0;
    for (int row = box->row0; row < box->row1; ++row) {
      for (int col = box->col0; col < box->col1; ++col) {
        if (Cell* cell = cell_at(col, row)) *cell = Cell{" ", ink, face, false, false};
      }
    }
    auto text_at = [&](int col, int row, const std::string& text, bool bold) {
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (Cell* cell = cell_at(col + static_cast<int>(i), row)) {
          *cell = Cell{glyph(text[i]), ink, face, bold, false};
        }
      }
    };
    const int width = box->col1 - box->col0;
    text_at(box->col0 + 2, box->row0, message_->title, true);
    const auto lines = wrap(message_->text, static_cast<std::size_t>(std::max(1, width - 4)));
    for (std::size_t i = 0; i < lines.size(); ++i) {
      text_at(box->col0 + 2, box->row0 + 1 + static_cast<int>(i), lines[i], false);
    }
    text_at(box->col0 + (width - 6) / 2, box->row1 - 2, "[ OK ]", true);
  }
  return cells;
}

void TerminalWindows::paint() {
  update_size();
  if (!dirty_) return;
  dirty_ = false;
  std::vector<Cell> cells = compose();
  std::string out;
  const bool whole = drawn_.size() != cells.size();
  if (whole) out += "\x1b[0m\x1b[2J";
  const auto cols = static_cast<std::size_t>(cols_);
  std::size_t cursor = SIZE_MAX;
  const Cell* pen = nullptr;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const Cell& cell = cells[i];
    if (!whole && drawn_[i] == cell) continue;
    if (cursor != i) {
      out += "\x1b[" + std::to_string(i / cols + 1) + ";" + std::to_string(i % cols + 1) + "H";
    }
    if (pen == nullptr || pen->fore != cell.fore || pen->back != cell.back || pen->bold != cell.bold ||
        pen->underline != cell.underline) {
      out += "\x1b[0;";
      if (cell.bold) out += "1;";
      if (cell.underline) out += "4;";
      out += colour_code(true, cell.fore) + ";" + colour_code(false, cell.back) + "m";
      pen = &cell;
    }
    out += cell.glyph;
    cursor = i + 1;
    // Writing the last column may leave the cursor there: move explicitly.
    if (cursor % cols == 0) cursor = SIZE_MAX;
  }
  drawn_ = std::move(cells);
  if (!out.empty()) write_out(out);
}

void TerminalWindows::read_input(int timeout_ms) {
  pollfd fds[2] = {{in_, POLLIN, 0}, {signals_, POLLIN, 0}};
  const nfds_t count = signals_ >= 0 ? 2 : 1;
  if (::poll(fds, count, timeout_ms) <= 0) return;
  if (count == 2 && (fds[1].revents & POLLIN) != 0) {
    signalfd_siginfo info{};
    while (::read(signals_, &info, sizeof info) > 0) {
    }
    // Asked to end: close the form (and any box over it).
    dismissed_ = true;
    if (form_ != nullptr) form_->close_request();
    return;
  }
  if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
  char buffer[256];
  const ssize_t got = ::read(in_, buffer, sizeof buffer);
  if (got <= 0) {
    // The terminal went away: nobody can close the form any more.
    dismissed_ = true;
    if (got == 0 || errno != EINTR) {
      if (form_ != nullptr) form_->close_request();
    }
    return;
  }
  input_.append(buffer, static_cast<std::size_t>(got));
  for (const Event& event : parse()) deliver(event);
}

// Turns the bytes read so far into events. A lone escape waits briefly for
// the rest of a sequence; without one it is the Escape key.
std::vector<TerminalWindows::Event> TerminalWindows::parse() {
  std::vector<Event> events;
  std::size_t i = 0;
  auto more_arrives = [&] {
    pollfd fd{in_, POLLIN, 0};
    if (::poll(&fd, 1, sequence_wait_ms) <= 0) return false;
    char buffer[64];
    const ssize_t got = ::read(in_, buffer, sizeof buffer);
    if (got <= 0) return false;
    input_.append(buffer, static_cast<std::size_t>(got));
    return true;
  };
  while (i < input_.size()) {
    const auto byte = static_cast<unsigned char>(input_[i]);
    if (byte != 0x1b) {
      // One character key, however many bytes it takes.
      std::size_t length = 1;
      if (byte >= 0xC0 && utf8_) length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
      events.push_back({Event::key, byte, 0, 0});
      i += std::min(length, input_.size() - i);
      continue;
    }
    if (i + 1 >= input_.size() && !more_arrives()) {
      events.push_back({Event::key, 27, 0, 0});
      ++i;
      continue;
    }
    const char next = input_[i + 1];
    if (next == '[') {
      // CSI: parameters, then a final byte from '@' to '~'.
      std::size_t end = i + 2;
      for (;;) {
        while (end < input_.size() && (input_[end] < '@' || input_[end] > '~' || (end == i + 2 && input_[end] == '<'))) ++end;
        if (end < input_.size() || !more_arrives()) break;
      }
      if (end >= input_.size()) {
        i = input_.size();
        break;
      }
      const std::string body = input_.substr(i + 2, end - i - 2);
      const char final_byte = input_[end];
      if (final_byte == 'M' && body.empty()) {
        // X10 mouse report: three more bytes.
        while (input_.size() < end + 4 && more_arrives()) {
        }
        if (input_.size() >= end + 4) {
          const int b = static_cast<unsigned char>(input_[end + 1]) - 32;
          const int x = static_cast<unsigned char>(input_[end + 2]) - 33;
          const int y = static_cast<unsigned char>(input_[end + 3]) - 33;
          if ((b & 3) == 0 && (b & 96) == 0) events.push_back({Event::click, 0, x, y});
        }
        i = std::min(input_.size(), end + 4);
        continue;
      }
      if ((final_byte == 'M' || final_byte == 'm') && !body.empty() && body[0] == '<') {
        int b = 0, x = 0, y = 0;
        if (std::sscanf(body.c_str() + 1, "%d;%d;%d", &b, &x, &y) == 3 && final_byte == 'M' &&
            (b & 3) == 0 && (b & 96) == 0) {
          events.push_back({Event::click, 0, x - 1, y - 1});
        }
      }
      // Other sequences (arrows, function keys) are not character keys.
      i = end + 1;
      continue;
    }
    if (next == 'O') {
      if (i + 2 >= input_.size()) more_arrives();
      i = std::min(input_.size(), i + 3);
      continue;
    }
    // Alt with a key: the access key of a button.
    events.push_back({Event::access_key, static_cast<unsigned char>(next), 0, 0});
    i += 2;
  }
  input_.erase(0, std::min(i, input_.size()));
  return events;
}

void TerminalWindows::deliver(const Event& event) {
  if (message_) {
    // A message box is up: it takes every key, and clicks on its button.
    if (event.kind != Event::click) {
      dismissed_ = true;
    } else if (const auto box = message_rect(); box && event.row == box->row1 - 2 && box->contains(event.col, event.row)) {
      dismissed_ = true;
    }
    return;
  }
  if (form_ == nullptr) return;
  Form& form = *form_;
  switch (event.kind) {
    case Event::key:
      form.key_press(event.code);
      break;
    case Event::access_key:
      for (const Placed& p : place()) {
        const platform::Caption caption = platform::plain_caption(p.control->caption);
        if (p.control->kind == ControlKind::command_button && caption.access_key != std::string::npos &&
            std::tolower(static_cast<unsigned char>(caption.text[caption.access_key])) == std::tolower(event.code)) {
          form.click(p.control->name);
          return;
        }
      }
      break;
    case Event::click: {
      // The topmost control under the pointer: the last one placed.
      const std::vector<Placed> placed = place();
      for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
        if (it->rect.contains(event.col, event.row)) {
          form.click(it->control->name);
          return;
        }
      }
      form.click("");
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

std::string form_texts(const Form& form) {
  std::vector<const Control*> order;
  for (const Control& c : form.controls()) {
    if (c.visible && !c.caption.empty()) order.push_back(&c);
  }
  std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
    return a->top != b->top ? a->top < b->top : a->left < b->left;
  });
  std::string text = form.caption() + "\n";
  for (const Control* c : order) text += platform::plain_caption(c->caption).text + "\n";
  return text;
}

}  // namespace quillfern::cli
