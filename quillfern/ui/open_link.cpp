#include "quillfern/ui/open_link.hpp"

namespace quillfern::ui {

void OpenLink::ExecuteLink(const std::string& pstrLINK, const WINDOW_STATES& ShowCmd,
                           const std::string& StartingFolder) noexcept {
  try {
    if (!pstrLINK.empty()) Link_ = pstrLINK;
    if (Link_.empty()) return;
    // The folder "1" (the digit) when none is given, as callers have always
    // passed it; a shell uses a folder only when it exists.
    const std::string directory = StartingFolder.empty() ? std::string("1") : StartingFolder;
    const std::int32_t result =
        host_->shell().open("open", Link_, "", directory, static_cast<std::int32_t>(ShowCmd));
    if (result >= 0 && result <= 32) {
      host_->message_box().show(std::string(launch_warning) + Link_,
                                platform::style_exclamation, launch_warning_title);
    }
  } catch (...) {
    // A launcher reports its failures only through the warning above.
  }
}

}  // namespace quillfern::ui
