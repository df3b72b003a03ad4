// The tool built without desktop windows.
#include "cli/io.hpp"
#include "cli/window_system.hpp"

namespace quillfern::cli {

std::unique_ptr<ToolWindows> open_desktop_windows() {
  throw IoError("this quillfern was built without desktop windows (FLTK was not found)");
}

bool desktop_windows_built() noexcept { return false; }

}  // namespace quillfern::cli
