// Desktop windows from a plugin: the FLTK window lives in
// quillfern-desktop.so, loaded only when a desktop window is asked for, so
// that every other command starts with nothing but the C++ runtime and the
// C library (no FLTK, X11 or font libraries, and no reading of their
// settings files). The plugin is looked for beside the program, then in
// the folder it is installed to.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "cli/io.hpp"
#include "cli/window_system.hpp"

#ifndef QUILLFERN_PLUGIN_DIR
#define QUILLFERN_PLUGIN_DIR ""
#endif

namespace quillfern::cli {
namespace {

constexpr const char* plugin_name = "quillfern-desktop.so";

std::string program_folder() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  const std::string program(path, static_cast<std::size_t>(length));
  const auto slash = program.rfind('/');
  return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

std::string plugin_path() {
  for (const std::string& folder : {program_folder(), std::string(QUILLFERN_PLUGIN_DIR)}) {
    if (folder.empty()) continue;
    const std::string path = folder + "/" + plugin_name;
    if (::access(path.c_str(), R_OK) == 0) return path;
  }
  return {};
}

}  // namespace

std::unique_ptr<ToolWindows> open_desktop_windows() {
  const std::string path = plugin_path();
  if (path.empty()) {
    throw IoError(std::string("this quillfern has no desktop windows (") + plugin_name +
                  " was not found beside it)");
  }
  // Never unloaded: the window's code must outlive every object it made.
  void* plugin = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (plugin == nullptr) throw IoError("cannot load the desktop windows: " + std::string(::dlerror()));
  using Open = ToolWindows* (*)();
  const auto open = reinterpret_cast<Open>(::dlsym(plugin, "quillfern_open_desktop_windows"));
  if (open == nullptr) throw IoError("cannot load the desktop windows: " + path + " has no entry point");
  return std::unique_ptr<ToolWindows>(open());
}

bool desktop_windows_built() noexcept { return !plugin_path().empty(); }

}  // namespace quillfern::cli
