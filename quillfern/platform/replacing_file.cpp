// The one writer that replaces a file atomically, over the file system
// interface, and the signal handling that removes its temporary files
// when the process is told to end.
#include <cerrno>

#include <array>
#include <atomic>
#include <string>
#include <utility>

#include "quillfern/platform/file_system.hpp"

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace quillfern::platform {
namespace {

// The temporary files of the process's writers, for the signal handler,
// which may only load lock-free atomics. A writer beyond the last slot
// still works; a signal then leaves its temporary file behind.
constexpr std::size_t temporary_slots = 64;
std::array<std::atomic<const char*>, temporary_slots> temporaries{};
static_assert(std::atomic<const char*>::is_always_lock_free);

int list_temporary(const char* name) noexcept {
  for (std::size_t slot = 0; slot < temporaries.size(); ++slot) {
    const char* empty = nullptr;
    if (temporaries[slot].compare_exchange_strong(empty, name)) return static_cast<int>(slot);
  }
  return -1;
}

void forget_temporary(int slot) noexcept {
  if (slot >= 0) temporaries[static_cast<std::size_t>(slot)].store(nullptr);
}

#ifndef _WIN32
constexpr std::array<int, 3> termination_signals = {SIGINT, SIGTERM, SIGHUP};

sigset_t termination_set() noexcept {
  sigset_t set;
  sigemptyset(&set);
  for (int signal_number : termination_signals) sigaddset(&set, signal_number);
  return set;
}

// Holds the termination signals back while a temporary file and its entry
// in the list come or go together, so that a signal never finds one
// without the other.
class SignalsHeld {
 public:
  SignalsHeld() noexcept {
    const sigset_t set = termination_set();
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t saved_{};
};

extern "C" void remove_temporaries_and_end(int signal_number) {
  for (const auto& slot : temporaries) {
    if (const char* name = slot.load()) ::unlink(name);
  }
  // Ended by the signal itself once the handler returns, so that the
  // parent sees which one it was.
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}
#else
// Windows ends a process without signals that could find a half-made entry.
class SignalsHeld {
 public:
  SignalsHeld() noexcept {}  // user-provided: a guard, not an unused value
  ~SignalsHeld() {}
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;
};
#endif

// Runs `step`; an error that names the temporary file names the file it
// replaces instead, which is the one the user knows (the temporary one is
// gone by the time the message is read).
template <typename Step>
void naming_target(const std::string& temp, const std::string& target, Step&& step) {
  try {
    step();
  } catch (const Error& e) {
    if (temp.empty() || !e.detail().starts_with(temp)) throw;
    throw Error(e.number(), target + e.detail().substr(temp.size()));
  }
}

}  // namespace

ReplacingFile::ReplacingFile(const std::string& path, const ReplaceOptions& options) {
  const OutputTarget where = output_target(path);
  target_ = where.path;
  if (where.descriptor >= 0) {
    file_ = File::duplicate(where.descriptor, path);
    return;
  }
  replaced_ = file_info(target_);
  switch (replaced_.kind) {
    case FileKind::directory:
      raise_file_error(EISDIR, FileAccess::create, target_);
    case FileKind::other:
      // Devices and pipes (/dev/null, a fifo) are written in place.
      file_ = File::open_write_existing(target_);
      return;
    case FileKind::regular:
      if (!options.replace_read_only && !writable_by_user(target_, replaced_)) {
        throw ReadOnlyOutput(ErrorNumber::permission_denied, target_ + ": read-only file, left as it is");
      }
      if (replaced_.links > 1 && options.on_other_links) options.on_other_links(target_, replaced_.links - 1);
      break;
    case FileKind::missing:
    case FileKind::symlink:
      break;
  }
  const SignalsHeld held;
  file_ = File::create_beside(target_, temp_);
  signal_slot_ = list_temporary(temp_.c_str());
}

ReplacingFile::~ReplacingFile() { discard(); }

void ReplacingFile::discard() noexcept {
  if (temp_.empty()) return;
  file_ = File();  // closed before its name goes
  const SignalsHeld held;
  remove_file_quietly(temp_);
  forget_temporary(std::exchange(signal_slot_, -1));
  temp_.clear();
}

void ReplacingFile::write(const void* data, std::size_t size) {
  naming_target(temp_, target_, [&] { file_.write(data, size); });
}

void ReplacingFile::commit() {
  if (in_place()) {
    file_.sync();
    file_.close();
    return;
  }
  naming_target(temp_, target_, [&] { finish_temporary(); });
  {
    const SignalsHeld held;
    rename_file(temp_, target_);
    forget_temporary(std::exchange(signal_slot_, -1));
    temp_.clear();
  }
  sync_folder_of(target_);
}

void ReplacingFile::finish_temporary() {
  if (replaced_.kind == FileKind::regular) {
    // The replaced file's owner, group and mode, as far as we may set
    // them; a set-id bit whose id could not be kept is dropped.
    FileInfo made = file_.info();
    if (made.owner != replaced_.owner || made.group != replaced_.group) {
      file_.set_owner(replaced_.owner, replaced_.group);
      made = file_.info();
    }
    std::uint32_t permissions = replaced_.permissions;
    if (made.owner != replaced_.owner) permissions &= ~std::uint32_t{04000};
    if (made.group != replaced_.group) permissions &= ~std::uint32_t{02000};
    file_.set_permissions(permissions);
  } else {
    file_.set_permissions(new_file_permissions());
  }
  file_.sync();
  file_.close();
}

void remove_temporaries_on_signals() noexcept {
#ifndef _WIN32
  struct sigaction action {};
  action.sa_handler = remove_temporaries_and_end;
  action.sa_mask = termination_set();
  for (int signal_number : termination_signals) {
    struct sigaction before {};
    if (sigaction(signal_number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal_number, &action, nullptr);
  }
  ::signal(SIGXFSZ, SIG_IGN);
  ::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace quillfern::platform
