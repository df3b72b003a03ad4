// The shell of our host layer on Windows: the system's ShellExecuteA, which
// opens a document or an address with its associated program and answers
// in the shell's own numbering (greater than 32 on success). Built in place
// of the POSIX shell's source, which starts a launcher process instead; the
// host's system shell is this one on Windows.
#if __has_include("quillfern/platform/shell.hpp")

#include "quillfern/platform/shell.hpp"

#include <cctype>
#include <string>

#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::platform {
namespace {

bool is_letter(char ch) { return std::isalpha(static_cast<unsigned char>(ch)) != 0; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool is_address(std::string_view target) noexcept {
  const auto colon = target.find(':');
  // One letter before the colon is a drive, not a scheme.
  if (colon == std::string_view::npos || colon < 2 || !is_letter(target[0])) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const char ch = target[i];
    if (!(is_letter(ch) || std::isdigit(static_cast<unsigned char>(ch)) || ch == '+' || ch == '-' || ch == '.')) {
      return false;
    }
  }
  return true;
}

bool is_web_address(std::string_view target) noexcept {
  const auto colon = target.find(':');
  if (colon == std::string_view::npos || !is_address(target)) return false;
  const std::string_view scheme = target.substr(0, colon);
  return equal_ignoring_case(scheme, "http") || equal_ignoring_case(scheme, "https");
}

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

std::int32_t SystemShell::launch(const std::vector<std::string>&, const std::string&) {
  return shell_result::no_association;
}

void SystemShell::reap() noexcept {}

std::int32_t RecordingShell::open(std::string_view operation, std::string_view file,
                                  std::string_view parameters, std::string_view directory,
                                  std::int32_t show_command) noexcept {
  try {
    requests_.push_back(ShellRequest{std::string(operation), std::string(file), std::string(parameters),
                                     std::string(directory), show_command});
  } catch (...) {
    return shell_result::out_of_resources;
  }
  return result_;
}

}  // namespace quillfern::platform

#endif
