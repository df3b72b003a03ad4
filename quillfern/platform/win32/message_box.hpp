// The host's message box on Windows: the system's modal MessageBoxA.
//
// A host that must never block on a box (a service, a test run) sets the
// environment variable QUILLFERN_MESSAGE_LOG to a file name: each message is
// then appended to that file as one line, "[STYLE] TITLE: TEXT" in the ANSI
// code page, instead of being shown, and answered with OK.
#pragma once

#include "quillfern/platform/message_box.hpp"

namespace quillfern::win32 {

class Win32MessageBox final : public platform::MessageBox {
 protected:
  int present(const platform::Message& message) override;
};

}  // namespace quillfern::win32
