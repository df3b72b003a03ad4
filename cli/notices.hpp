// The command line's message box: each box is one line on standard error,
// "TITLE: TEXT". --notices summary prints each distinct message once with
// its count at the end, and --notices none prints nothing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quillfern/core/codepage.hpp"
#include "quillfern/platform/message_box.hpp"

namespace quillfern::cli {

enum class NoticeMode { each, summary, none };

class NoticeBox final : public platform::MessageBox {
 public:
  explicit NoticeBox(NoticeMode mode = NoticeMode::each, CodePage encoding = CodePage::none)
      : mode_(mode), encoding_(encoding) {}

  void set_mode(NoticeMode mode) noexcept { mode_ = mode; }
  [[nodiscard]] NoticeMode mode() const noexcept { return mode_; }
  void set_encoding(CodePage encoding) noexcept { encoding_ = encoding; }

  // How many boxes were shown so far, and whether one had this text. Only
  // the distinct messages are kept, with their counts, so that millions of
  // notices cost no memory.
  [[nodiscard]] std::size_t count() const noexcept { return count_; }
  [[nodiscard]] bool showed(std::string_view text) const;

  // The box last shown, shown `times` more times: for a cipher that counts
  // its notices instead of showing each one (a mode other than each).
  void repeat_last(std::size_t times);

  // Prints the summary when the mode asks for one.
  void finish();

 protected:
  int present(const platform::Message& message) override;

 private:
  void print(const platform::Message& message, std::size_t count) const;

  NoticeMode mode_;
  CodePage encoding_;
  std::size_t count_ = 0;
  std::size_t last_ = 0;  // index in distinct_ of the box last shown
  std::vector<std::pair<platform::Message, std::size_t>> distinct_;
};

}  // namespace quillfern::cli
