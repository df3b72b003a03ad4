#include "quillfern/platform/win32/text.hpp"

#include <climits>
#include <new>

namespace quillfern::win32 {

std::string to_codes(const wchar_t* text, std::size_t length) {
  if (text == nullptr || length == 0) return {};
  if (length > INT_MAX) throw std::bad_alloc();
  const int wide_length = static_cast<int>(length);
  const int size = WideCharToMultiByte(CP_ACP, 0, text, wide_length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) throw std::bad_alloc();
  std::string codes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, wide_length, codes.data(), size, nullptr, nullptr);
  return codes;
}

std::string to_codes(BSTR text) { return to_codes(text, SysStringLen(text)); }

std::optional<std::string> to_utf8(const wchar_t* text, std::size_t length) {
  if (text == nullptr || length == 0) return std::string();
  if (length > INT_MAX / 4) throw std::bad_alloc();
  const int wide_length = static_cast<int>(length);
  const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, wide_length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::nullopt;
  std::string name(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, wide_length, name.data(), size, nullptr, nullptr);
  return name;
}

std::wstring to_wide(std::string_view codes) {
  if (codes.empty()) return {};
  if (codes.size() > INT_MAX) throw std::bad_alloc();
  const int code_length = static_cast<int>(codes.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, codes.data(), code_length, nullptr, 0);
  if (size <= 0) throw std::bad_alloc();
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, codes.data(), code_length, wide.data(), size);
  return wide;
}

BSTR to_bstr(std::string_view codes) {
  const std::wstring wide = to_wide(codes);
  BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (text == nullptr) throw std::bad_alloc();
  return text;
}

CodePage host_code_page() noexcept {
  return GetACP() == 28591 ? CodePage::latin1 : CodePage::cp1252;
}

}  // namespace quillfern::win32
