// The shell of our host layer: opens a document or a web address with the
// program the desktop associates with it, and answers in the platform's
// numbering of shell results.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quillfern::platform {

// Results of Shell::open. A value greater than 32 means the target was
// opened; 0 to 32 name the failure.
namespace shell_result {
inline constexpr std::int32_t out_of_resources = 0;   // the system could not start a program
inline constexpr std::int32_t file_not_found = 2;     // the target does not exist
inline constexpr std::int32_t path_not_found = 3;     // a folder on the target's path does not exist
inline constexpr std::int32_t access_denied = 5;      // the program or the target may not be used
inline constexpr std::int32_t bad_format = 11;        // the program could not be run
inline constexpr std::int32_t no_association = 31;    // nothing on this system opens such a target
inline constexpr std::int32_t opened = 42;            // success (any value above 32 is)
}  // namespace shell_result

// One request to the shell, as the caller gave it.
struct ShellRequest {
  std::string operation;
  std::string file;
  std::string parameters;
  std::string directory;
  std::int32_t show_command = 1;
  friend bool operator==(const ShellRequest&, const ShellRequest&) = default;
};

class Shell {
 public:
  virtual ~Shell() = default;

  // Opens `file` (a document path or an address such as https://...) with
  // its associated program. `operation` is the verb ("open", or empty for
  // the same); `directory` is the folder the program starts in, used when it
  // exists; `show_command` is the window state wished for the program.
  // Returns a value greater than 32 on success, otherwise one of the
  // failure numbers of shell_result. Never throws.
  virtual std::int32_t open(std::string_view operation, std::string_view file,
                            std::string_view parameters, std::string_view directory,
                            std::int32_t show_command) noexcept = 0;
};

// The system's own shell. On Windows it opens targets with ShellExecuteA
// (quillfern/platform/win32/shell.cpp). On a POSIX desktop it starts
// `xdg-open TARGET` (or, for http
// and https addresses, the programs listed in $BROWSER when it is set)
// directly with posix_spawn and an argument vector: no command interpreter
// ever sees the target, so quotes, semicolons, $() and spaces reach the
// program as they are. A path beginning with '-' is passed as "./-..." so
// that the program never reads it as an option.
//
// Mapping onto the shell results: a path that does not exist gives 2 (3
// when its folder does not exist either); a verb other than "open" and a
// launcher that is not installed give 31; a launcher that may not be run
// gives 5; a system out of processes or memory gives 0. The launcher's own
// exit status, when it ends within the settle time, is mapped the same way
// (xdg-open: 2 file not found, 3 and 4 no association, other failures 31);
// a launcher still running after the settle time has opened the target.
// `parameters` and `show_command` have no counterpart on this desktop and
// are ignored: the shell never runs a target as a program.
class SystemShell final : public Shell {
 public:
  struct Options {
    // The program that opens any target; found on PATH unless it has a '/'.
    std::string launcher = "xdg-open";
    // Honour $BROWSER for http and https addresses.
    bool use_browser_variable = true;
    // Connect the program's output to /dev/null, for callers that own the
    // terminal (a full-screen form).
    bool quiet = false;
    // How long to wait for the launcher to report a failure.
    std::chrono::milliseconds settle{1500};
  };

  SystemShell() : SystemShell(Options{}) {}
  explicit SystemShell(Options options) : options_(std::move(options)) {}
  ~SystemShell() override;
  SystemShell(const SystemShell&) = delete;
  SystemShell& operator=(const SystemShell&) = delete;

  std::int32_t open(std::string_view operation, std::string_view file,
                    std::string_view parameters, std::string_view directory,
                    std::int32_t show_command) noexcept override;

  [[nodiscard]] const Options& options() const noexcept { return options_; }

 private:
  // What the system's own implementation keeps between calls (on POSIX
  // systems, the launchers that outlived their settle time), made on first
  // use.
  struct State;
  struct StateDeleter {
    void operator()(State* state) const noexcept;
  };

  Options options_;
  std::unique_ptr<State, StateDeleter> state_;
};

// True for a target of the form scheme:... (a scheme of two or more
// letters, digits, '+', '-' or '.', starting with a letter).
[[nodiscard]] bool is_address(std::string_view target) noexcept;
// True for an http or https address.
[[nodiscard]] bool is_web_address(std::string_view target) noexcept;

}  // namespace quillfern::platform
