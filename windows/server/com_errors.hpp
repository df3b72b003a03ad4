// Failures as a component-object host sees them: the platform's failure
// code for an error number (the control facility, 0x800A0000 + number) with
// an IErrorInfo carrying the number and its description, or an EXCEPINFO
// for IDispatch::Invoke.
#pragma once

#include <cstdint>
#include <string>

#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::server {

struct Failure {
  HRESULT code = E_FAIL;
  std::string description;  // in the ANSI code page
};

// The failure code of a platform error number.
[[nodiscard]] constexpr HRESULT failure_code(std::int32_t number) noexcept {
  return static_cast<HRESULT>(0x800A0000u | (static_cast<std::uint32_t>(number) & 0xFFFFu));
}

// The failure of the exception being handled; call it inside a catch block.
[[nodiscard]] Failure current_failure() noexcept;

// Sets the thread's error information (source, description, interface)
// and returns the failure code.
HRESULT report(const Failure& failure, REFIID interface_id) noexcept;

// Fills an EXCEPINFO for DISP_E_EXCEPTION.
void fill(EXCEPINFO* info, const Failure& failure) noexcept;

// Runs `body`; an exception becomes its failure code with error information.
template <typename Body>
HRESULT guarded(REFIID interface_id, Body&& body) noexcept {
  try {
    body();
    return S_OK;
  } catch (...) {
    return report(current_failure(), interface_id);
  }
}

}  // namespace quillfern::server
