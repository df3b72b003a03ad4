// The client's checks and the small text helpers its parts share.
#pragma once

#include <string>
#include <string_view>

#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::wintest {

// Counts a check; prints a failed one.
void check(bool ok, const std::string& what);
[[nodiscard]] int successes();
[[nodiscard]] int failures();

[[nodiscard]] std::string narrow(const std::wstring& wide);
[[nodiscard]] std::wstring widen(std::string_view ascii);
[[nodiscard]] std::wstring of_bstr(BSTR text);

// Persistence, events, drawing, error information and dispatch details of
// one control object.
void check_object(const std::wstring& dll);

// In-place activation in a container's window (needs a display).
void check_embedding();

}  // namespace quillfern::wintest
