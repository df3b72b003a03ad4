// Commands of the presentation: the About window and the link launcher.
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/command.hpp"
#include "cli/streams.hpp"
#include "cli/window_system.hpp"
#include "quillfern/control/encryption.hpp"
#include "quillfern/ui/about_form.hpp"
#include "quillfern/platform/shell.hpp"
#include "quillfern/ui/open_link.hpp"

namespace quillfern::cli {
namespace {

// Shows the About window: in a desktop window (--window), over the whole
// terminal, or, when standard output is not a terminal, as its texts.
int about_command(Context& context) {
  platform::SystemShell::Options quiet;
  quiet.quiet = true;  // a launcher's chatter must not scribble over the form
  platform::SystemShell shell(quiet);
  std::unique_ptr<ToolWindows> windows;
  int terminal_input = -1;
  if (context.args.has("window")) {
    windows = open_desktop_windows();
  } else if (is_terminal(STDOUT_FILENO)) {
    terminal_input = is_terminal(STDIN_FILENO) ? STDIN_FILENO : ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (terminal_input < 0) throw IoError("the form needs a terminal to read keys from");
    windows = open_terminal_windows(terminal_input, STDOUT_FILENO);
  }

  if (!windows) {
    // No screen to draw on: load the form unseen and print its texts.
    class Unseen final : public platform::WindowSystem {
     public:
      void show(platform::Form&) override {}
      void hide(platform::Form&) noexcept override {}
      void changed(platform::Form&) override {}
      void do_events() override {}
      void set_mouse_pointer(platform::MousePointer) override {}
      [[nodiscard]] platform::MousePointer mouse_pointer() const noexcept override {
        return platform::MousePointer::default_pointer;
      }
      void run() override {}
    } unseen;
    platform::Host host(context.notices);
    host.set_window_system(unseen);
    Encryption control(host);
    control.About();
    const std::string text = form_texts(*host.about_window());
    write_output(text);
    return exit_ok;
  }

  {
    platform::Host host(windows->message_box());
    host.set_shell(shell);
    host.set_window_system(*windows);
    Encryption control(host);
    control.About();
    windows->run();
  }
  windows.reset();
  if (terminal_input > STDERR_FILENO) ::close(terminal_input);
  return exit_ok;
}

std::int32_t show_option(const Context& context) {
  const auto text = context.args.value("show");
  if (!text) return ui::SW_SHOWNORMAL;
  std::int32_t value = 0;
  auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (ec != std::errc{} || end != text->data() + text->size()) {
    throw UsageError("--show takes a 32-bit number (1 normal, 2 minimized, 3 maximized), not '" +
                     *text + "'");
  }
  return value;
}

// Opens a target through OpenLink; a failed launch prints the warning and
// exits with status 1.
// The system's shell, keeping what its last launch gave, so that a failed
// launch can be explained.
class ExplainingShell final : public platform::Shell {
 public:
  std::int32_t open(std::string_view operation, std::string_view file, std::string_view parameters,
                    std::string_view directory, std::int32_t show_command) noexcept override {
    result_ = system_.open(operation, file, parameters, directory, show_command);
    return result_;
  }
  [[nodiscard]] std::int32_t result() const noexcept { return result_; }
  [[nodiscard]] const platform::SystemShell& system() const noexcept { return system_; }

 private:
  platform::SystemShell system_;
  std::int32_t result_ = platform::shell_result::opened;
};

// True when `program` names an executable file, on PATH when it has no '/'.
bool program_found(const std::string& program) {
  if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "/usr/bin:/bin";
  for (;;) {
    const std::size_t colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    if (folder.empty()) folder = ".";
    if (::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    if (colon == std::string_view::npos) return false;
    rest.remove_prefix(colon + 1);
  }
}

// Why the shell could not open `target`, from what it answered.
std::string launch_failure(const ExplainingShell& shell, const std::string& target) {
  namespace result = platform::shell_result;
  const std::string& launcher = shell.system().options().launcher;
  const bool browser = platform::is_web_address(target) && std::getenv("BROWSER") != nullptr;
  switch (shell.result()) {
    case result::file_not_found: return "there is no file " + target;
    case result::path_not_found: return "a folder on the path of " + target + " does not exist";
    case result::access_denied:
      return browser ? "a program of $BROWSER may not be run (not executable, or permission denied)"
                     : launcher + " or the target may not be used (not executable, or permission denied)";
    case result::bad_format: return launcher + " is not a program this system can run";
    case result::out_of_resources: return "the system could not start a program (out of processes or memory)";
    case result::no_association:
      if (!browser && !program_found(launcher)) {
        return launcher + " is not installed (Debian: apt-get install xdg-utils)";
      }
      return browser ? "no program of $BROWSER opened it" : launcher + " knows no program that opens it";
    default: return {};
  }
}

int open_link_command(Context& context) {
  const auto& targets = context.args.positionals();
  if (targets.size() != 1) throw UsageError("open-link takes one TARGET");
  // The control opens nothing for an empty link, silently; on the command
  // line an empty TARGET is a mistake.
  if (targets.front().empty()) throw UsageError("open-link needs a non-empty TARGET");
  const auto show = static_cast<ui::WINDOW_STATES>(show_option(context));
  const std::string folder = context.args.value("dir").value_or("");
  platform::Host host(context.notices);
  ExplainingShell shell;
  host.set_shell(shell);
  ui::OpenLink link(host);
  link.ExecuteLink(targets.front(), show, folder);
  if (context.notices.count() == 0) return exit_ok;
  if (const std::string why = launch_failure(shell, targets.front()); !why.empty()) print_hint(why);
  return exit_error;
}

}  // namespace

std::vector<Command> ui_commands() {
  std::vector<Command> rows;
  rows.push_back({"about", &operation_of<&Encryption::About>(), "[--window]", "show the About window",
                  "Draws the About window over the whole terminal: any key, a click on the\n"
                  "frame or on OK closes it, a click on the web address opens it. With\n"
                  "--window it opens as a desktop window instead. When standard output is\n"
                  "not a terminal, the window's texts are printed, one per line.",
                  uses_nothing,
                  {{"window", 'w', "", "open a desktop window (needs a display)"}},
                  about_command});
  rows.push_back({"open-link", nullptr, "TARGET [--show N] [--dir FOLDER]",
                  "open a web address or a document with its associated program",
                  "Runs xdg-open (or $BROWSER for http and https addresses) without a\n"
                  "shell. A failed launch prints 'Warning: Error jumping to/launching:TARGET'\n"
                  "and a hint that says why (no xdg-open installed, not executable, no such\n"
                  "file, no program for it), and exits with status 1. Use -- before a TARGET that begins with '-'. An\n"
                  "empty TARGET is a usage error (status 2).",
                  uses_nothing,
                  {{"show", '\0', "N", "window state: 1 normal (default), 2 minimized, 3 maximized"},
                   {"dir", '\0', "FOLDER", "the folder the program starts in (default: \"1\", as the control passes it)"}},
                  open_link_command});
  return rows;
}

}  // namespace quillfern::cli
