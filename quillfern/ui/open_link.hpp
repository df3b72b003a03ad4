// The link launcher OpenLink: asks the host's shell to open a web address
// or a document with the program associated with it, and warns through the
// message box when the shell could not.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quillfern/platform/host.hpp"

namespace quillfern::ui {

// Window states for the launched program, handed to the shell unchanged. A
// value outside the list is passed on as it is.
enum WINDOW_STATES : std::int32_t {
  SW_SHOWNORMAL = 1,
  SW_SHOWMINIMIZED = 2,
  SW_SHOWMAXIMIZED = 3,
};

// The text of the warning shown for a failed launch; the link follows it
// directly.
inline constexpr std::string_view launch_warning = "Error jumping to/launching:";
inline constexpr std::string_view launch_warning_title = "Warning";

class OpenLink {
 public:
  explicit OpenLink(platform::Host& host) noexcept : host_(&host) {}

  // The stored link: empty on a new object; set by ExecuteLink or directly.
  [[nodiscard]] const std::string& Link() const noexcept { return Link_; }
  void Link(std::string value) noexcept { Link_ = std::move(value); }

  // Opens pstrLINK, or the stored link when pstrLINK is empty (a non-empty
  // pstrLINK is stored first). Nothing happens without a link. The shell is
  // asked to "open" it with no parameters, in StartingFolder, or in the
  // folder named "1" when StartingFolder is empty, with ShowCmd as given. A
  // shell result from 0 to 32 shows "Error jumping to/launching:" followed
  // by the link (title "Warning", style 48). Raises nothing: any failure
  // inside is passed over.
  void ExecuteLink(const std::string& pstrLINK = std::string(),
                   const WINDOW_STATES& ShowCmd = SW_SHOWNORMAL,
                   const std::string& StartingFolder = std::string()) noexcept;

 private:
  platform::Host* host_;
  std::string Link_;
};

}  // namespace quillfern::ui
