#include "cli/notices.hpp"

#include <algorithm>

#include "cli/messages.hpp"
#include "quillfern/core/identity.hpp"

namespace quillfern::cli {

bool NoticeBox::showed(std::string_view text) const {
  return std::any_of(distinct_.begin(), distinct_.end(),
                     [&](const auto& entry) { return entry.first.text == text; });
}

int NoticeBox::present(const platform::Message& message) {
  ++count_;
  auto it = std::find_if(distinct_.begin(), distinct_.end(),
                         [&](const auto& entry) { return entry.first == message; });
  if (it == distinct_.end()) {
    distinct_.emplace_back(message, 1);
    last_ = distinct_.size() - 1;
  } else {
    ++it->second;
    last_ = static_cast<std::size_t>(it - distinct_.begin());
  }
  if (mode_ == NoticeMode::each) print(message, 1);
  return platform::answer_ok;
}

void NoticeBox::print(const platform::Message& message, std::size_t count) const {
  // Under the program's prefix, which a box under the application's own
  // title already is.
  std::string line = message.title == quillfern::identity::application_title ? "" : "quillfern: ";
  if (encoding_ == CodePage::none) {
    line += message.title + ": " + message.text;
  } else {
    line += to_utf8(message.title, encoding_) + ": " + to_utf8(message.text, encoding_);
  }
  if (count > 1) line += " (" + std::to_string(count) + " times)";
  // One line, whatever the text holds; a closed standard error does not
  // stop the work.
  print_line(line);
}

void NoticeBox::repeat_last(std::size_t times) {
  if (times == 0 || distinct_.empty()) return;
  count_ += times;
  distinct_[last_].second += times;
  if (mode_ == NoticeMode::each) {
    for (std::size_t i = 0; i < times; ++i) print(distinct_[last_].first, 1);
  }
}

void NoticeBox::finish() {
  if (mode_ != NoticeMode::summary) return;
  for (const auto& [message, times] : distinct_) print(message, times);
}

}  // namespace quillfern::cli
