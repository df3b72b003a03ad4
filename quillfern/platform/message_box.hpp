// The host's modal message box: text, style number and optional title. A box
// without a title of its own carries the application title "quillfern".
// The call returns only once the box has been dismissed.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace quillfern::platform {

// Style numbers of the platform's message box that the library uses.
inline constexpr std::int32_t style_ok_only = 0;
inline constexpr std::int32_t style_exclamation = 48;

// Buttons a box answers with, in the platform's numbering.
inline constexpr int answer_ok = 1;

struct Message {
  std::string text;   // character codes in the host's code page
  std::int32_t style = 0;
  std::string title;  // already resolved: never empty-by-default
  friend bool operator==(const Message&, const Message&) = default;
};

class MessageBox {
 public:
  virtual ~MessageBox() = default;

  // Shows the box and returns the button that dismissed it. No title means
  // the application title. No caller in the library acts on the answer.
  int show(std::string_view text, std::int32_t style,
           std::optional<std::string_view> title = std::nullopt);

 protected:
  virtual int present(const Message& message) = 0;
};

// The message box for hosts that have none of their own: it writes every
// message as one line `TITLE: TEXT` to a stream (the codes as they are,
// with a line feed after the text) and answers OK at once; made without a
// stream, it drops every message. A failing stream is not reported.
class StreamMessageBox final : public MessageBox {
 public:
  StreamMessageBox() noexcept = default;
  explicit StreamMessageBox(std::ostream& out) noexcept : out_(&out) {}

 protected:
  int present(const Message& message) override;

 private:
  std::ostream* out_ = nullptr;
};

}  // namespace quillfern::platform
