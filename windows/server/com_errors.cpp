#include "windows/server/com_errors.hpp"

#include <exception>
#include <new>

#include "quillfern/core/error.hpp"
#include "quillfern/core/identity.hpp"
#include "quillfern/platform/win32/text.hpp"

namespace quillfern::server {
namespace {

BSTR make_bstr(std::string_view text) noexcept {
  try {
    return win32::to_bstr(text);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

Failure current_failure() noexcept {
  try {
    throw;
  } catch (const Error& error) {
    Failure failure;
    failure.code = failure_code(error.code());
    try {
      failure.description = error.what();
    } catch (...) {
    }
    return failure;
  } catch (const std::bad_alloc&) {
    return Failure{E_OUTOFMEMORY, {}};
  } catch (const std::exception& error) {
    Failure failure;
    try {
      failure.description = error.what();
    } catch (...) {
    }
    return failure;
  } catch (...) {
    return Failure{E_UNEXPECTED, {}};
  }
}

HRESULT report(const Failure& failure, REFIID interface_id) noexcept {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    create->SetGUID(interface_id);
    if (BSTR source = make_bstr(identity::prog_id)) {
      create->SetSource(source);
      SysFreeString(source);
    }
    if (BSTR description = make_bstr(failure.description)) {
      create->SetDescription(description);
      SysFreeString(description);
    }
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return failure.code;
}

void fill(EXCEPINFO* info, const Failure& failure) noexcept {
  if (info == nullptr) return;
  *info = EXCEPINFO{};
  info->scode = failure.code;
  info->bstrSource = make_bstr(identity::prog_id);
  info->bstrDescription = make_bstr(failure.description);
}

}  // namespace quillfern::server
