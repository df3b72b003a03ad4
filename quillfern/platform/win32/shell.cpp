// The shell of our host layer on Windows: the system's ShellExecuteA, which
// opens a document or an address with its associated program and answers
// in the shell's own numbering (greater than 32 on success). Built in place
// of the POSIX shell's source, which starts a launcher process instead; the
// host's system shell is this one on Windows.
#include "quillfern/platform/shell.hpp"

#include <string>

#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::platform {

// ShellExecuteA keeps nothing between calls.
struct SystemShell::State {};

void SystemShell::StateDeleter::operator()(State* state) const noexcept { delete state; }

SystemShell::~SystemShell() = default;

// Texts are handed over as they are: codes of the ANSI code page. A text
// with a code 0 reaches the shell cut at that code.
std::int32_t SystemShell::open(std::string_view operation, std::string_view file,
                              std::string_view parameters, std::string_view directory,
                              std::int32_t show_command) noexcept {
  try {
    const std::string op(operation), target(file), arguments(parameters), folder(directory);
    HINSTANCE result = ShellExecuteA(nullptr, op.c_str(), target.c_str(), arguments.c_str(),
                                     folder.c_str(), static_cast<int>(show_command));
    return static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(result));
  } catch (...) {
    return shell_result::out_of_resources;
  }
}

}  // namespace quillfern::platform

