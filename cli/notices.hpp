// The command line's message box: each box is one line on standard error,
// "TITLE: TEXT". --notices summary prints each distinct message once with
// its count at the end, and --notices none prints nothing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "quillfern/platform/codepage.hpp"
#include "quillfern/platform/message_box.hpp"

namespace quillfern::cli {

enum class NoticeMode { each, summary, none };

class NoticeBox final : public platform::MessageBox {
 public:
  explicit NoticeBox(NoticeMode mode = NoticeMode::each, CodePage encoding = CodePage::none)
      : mode_(mode), encoding_(encoding) {}

  void set_mode(NoticeMode mode) noexcept { mode_ = mode; }
  void set_encoding(CodePage encoding) noexcept { encoding_ = encoding; }

  // Every message shown so far, in order.
  [[nodiscard]] const std::vector<platform::Message>& shown() const noexcept { return shown_; }
  [[nodiscard]] bool showed(std::string_view text) const;

  // Prints the summary when the mode asks for one.
  void finish();

 protected:
  int present(const platform::Message& message) override;

 private:
  void print(const platform::Message& message, std::size_t count) const;

  NoticeMode mode_;
  CodePage encoding_;
  std::vector<platform::Message> shown_;
};

}  // namespace quillfern::cli
