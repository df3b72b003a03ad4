#include "quillfern/platform/shell.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "quillfern/core/ascii.hpp"
#include "quillfern/platform/system_calls.hpp"

extern char** environ;

namespace quillfern::platform {
namespace {

// What a failed spawn means to a caller of the shell.
std::int32_t spawn_failure(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return shell_result::no_association;  // no launcher installed
    case EACCES:
    case EPERM: return shell_result::access_denied;
    case ENOEXEC: return shell_result::bad_format;
    default: return shell_result::out_of_resources;  // ENOMEM, EAGAIN and the like
  }
}

// What the launcher's exit status says (xdg-open: 0 done, 1 bad command
// line, 2 no such file, 3 a needed tool is missing, 4 the action failed;
// 126 and 127 from exec failures of a wrapper).
std::int32_t launcher_result(int status) {
  if (!WIFEXITED(status)) return shell_result::no_association;
  switch (WEXITSTATUS(status)) {
    case 0: return shell_result::opened;
    case 2: return shell_result::file_not_found;
    case 126: return shell_result::access_denied;
    default: return shell_result::no_association;
  }
}

void sleep_briefly() {
  timespec pause{0, 10'000'000};  // 10 ms
  ::nanosleep(&pause, nullptr);
}

// Splits one $BROWSER entry into words and puts the address in: in place
// of %s where the entry has one (%% is a plain %), after the words otherwise.
std::vector<std::string> browser_argv(std::string_view entry, std::string_view address) {
  std::vector<std::string> words;
  std::string word;
  bool substituted = false;
  auto flush = [&] {
    if (!word.empty()) words.push_back(std::move(word));
    word.clear();
  };
  for (std::size_t i = 0; i < entry.size(); ++i) {
    const char ch = entry[i];
    if (ch == ' ' || ch == '\t') {
      flush();
    } else if (ch == '%' && i + 1 < entry.size() && entry[i + 1] == 's') {
      word.append(address);
      substituted = true;
      ++i;
    } else if (ch == '%' && i + 1 < entry.size() && entry[i + 1] == '%') {
      word.push_back('%');
      ++i;
    } else {
      word.push_back(ch);
    }
  }
  flush();
  if (!words.empty() && !substituted) words.emplace_back(address);
  return words;
}

}  // namespace

struct SystemShell::State {
  std::int32_t launch(const Options& options, const std::vector<std::string>& argv,
                      const std::string& directory);
  void reap() noexcept;

  std::vector<pid_t> running;  // launchers that outlived their settle time
};

void SystemShell::StateDeleter::operator()(State* state) const noexcept { delete state; }

SystemShell::~SystemShell() {
  if (state_ != nullptr) state_->reap();
}

std::int32_t SystemShell::open(std::string_view operation, std::string_view file,
                              std::string_view /*parameters*/, std::string_view directory,
                              std::int32_t /*show_command*/) noexcept {
  try {
    if (state_ == nullptr) state_.reset(new State);
    State& state = *state_;
    state.reap();
    if (!operation.empty() && !ascii::equal_ignoring_case(operation, "open")) {
      return shell_result::no_association;
    }
    if (file.empty() || file.find('\0') != std::string_view::npos ||
        directory.find('\0') != std::string_view::npos) {
      return shell_result::file_not_found;
    }
    const std::string folder = is_directory(std::string(directory)) ? std::string(directory) : "";

    if (is_address(file)) {
      const char* browser = std::getenv("BROWSER");
      if (options_.use_browser_variable && is_web_address(file) && browser != nullptr &&
          *browser != '\0') {
        std::int32_t result = shell_result::no_association;
        std::string_view entries = browser;
        while (!entries.empty()) {
          const auto colon = entries.find(':');
          const std::string_view entry = entries.substr(0, colon);
          entries = colon == std::string_view::npos ? std::string_view{} : entries.substr(colon + 1);
          const auto argv = browser_argv(entry, file);
          if (argv.empty()) continue;
          result = state.launch(options_, argv, folder);
          if (result > 32) return result;
        }
        return result;
      }
      return state.launch(options_, {options_.launcher, std::string(file)}, folder);
    }

    // A path: it must exist, seen from the folder the program starts in.
    const std::string path(file);
    const std::string seen = (path.front() != '/' && !folder.empty()) ? folder + "/" + path : path;
    struct stat info {};
    if (::stat(seen.c_str(), &info) != 0) {
      if (errno == EACCES) return shell_result::access_denied;
      return is_directory(folder_of(seen)) ? shell_result::file_not_found
                                           : shell_result::path_not_found;
    }
    return state.launch(options_, {options_.launcher, path.front() == '-' ? "./" + path : path}, folder);
  } catch (...) {
    return shell_result::out_of_resources;
  }
}

std::int32_t SystemShell::State::launch(const Options& options, const std::vector<std::string>& argv,
                                       const std::string& directory) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return shell_result::out_of_resources;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return shell_result::out_of_resources;
  }
  // The program is on its own: a session of its own, no signal blocked or
  // ignored because its caller had them so, no terminal input.
  sigset_t none;
  sigset_t defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGTSTP, SIGTTIN, SIGTTOU}) {
    sigaddset(&defaults, sig);
  }
  int error = posix_spawnattr_setflags(
      &attributes, static_cast<short>(POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
  if (error == 0) error = posix_spawnattr_setsigmask(&attributes, &none);
  if (error == 0) error = posix_spawnattr_setsigdefault(&attributes, &defaults);
  if (error == 0) error = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (error == 0 && options.quiet) {
    error = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (error == 0) error = posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  if (error == 0 && !directory.empty()) {
    error = posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  }
  pid_t pid = -1;
  if (error == 0) {
    const bool on_path = argv.front().find('/') == std::string::npos;
    error = on_path ? posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ)
                    : posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return spawn_failure(error);

  // Launchers hand the target to its program and end at once; one that is
  // still running after the settle time is the program itself, or waits for
  // it, and has opened the target.
  const auto deadline = std::chrono::steady_clock::now() + options.settle;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return launcher_result(status);
    if (done < 0 && errno != EINTR) return shell_result::opened;  // reaped elsewhere
    if (std::chrono::steady_clock::now() >= deadline) break;
    sleep_briefly();
  }
  running.push_back(pid);
  return shell_result::opened;
}

void SystemShell::State::reap() noexcept {
  std::erase_if(running, [](pid_t pid) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    return done != 0;
  });
}

}  // namespace quillfern::platform
