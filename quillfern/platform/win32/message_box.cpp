#include "quillfern/platform/win32/message_box.hpp"

#include <cstdio>
#include <string>

#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::win32 {
namespace {

// The message log named by QUILLFERN_MESSAGE_LOG, or empty.
std::string message_log() {
  char name[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("QUILLFERN_MESSAGE_LOG", name, sizeof name);
  if (length == 0 || length >= sizeof name) return {};
  return std::string(name, length);
}

}  // namespace

int Win32MessageBox::present(const platform::Message& message) {
  if (const std::string log = message_log(); !log.empty()) {
    if (std::FILE* file = std::fopen(log.c_str(), "ab")) {
      std::fprintf(file, "[%ld] ", static_cast<long>(message.style));
      std::fwrite(message.title.data(), 1, message.title.size(), file);
      std::fputs(": ", file);
      std::fwrite(message.text.data(), 1, message.text.size(), file);
      std::fputc('\n', file);
      std::fclose(file);
    }
    return platform::answer_ok;
  }
  // The low four bits choose the buttons; the system refuses a box whose
  // button set it does not define (the cipher-text boxes ask for 12), so
  // such a box gets the OK button and keeps its other style bits.
  auto style = static_cast<UINT>(message.style);
  if ((style & MB_TYPEMASK) > MB_CANCELTRYCONTINUE) style &= ~static_cast<UINT>(MB_TYPEMASK);
  // Texts are codes: a code 0 would end the C string early, so it shows as
  // a blank like every other control character.
  std::string text = message.text;
  std::string title = message.title;
  for (std::string* s : {&text, &title}) {
    for (char& ch : *s) {
      if (ch == '\0') ch = ' ';
    }
  }
  return MessageBoxA(GetActiveWindow(), text.c_str(), title.c_str(), style);
}

}  // namespace quillfern::win32
