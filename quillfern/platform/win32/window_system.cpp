#include "quillfern/platform/win32/window_system.hpp"

#ifdef QUILLFERN_WIN32_WINDOW_SYSTEM

#include <stdexcept>
#include <string>

namespace quillfern::win32 {
namespace {

using platform::Control;
using platform::ControlKind;
using platform::Form;
using platform::MousePointer;

constexpr const wchar_t* form_class = L"QuillfernForm";

struct Scale {
  int dpi = 96;
  [[nodiscard]] int pixels(std::int32_t twips) const noexcept { return MulDiv(twips, dpi, 1440); }
  [[nodiscard]] std::int32_t twips(int pixels) const noexcept { return MulDiv(pixels, 1440, dpi); }
};

Scale screen_scale() {
  Scale scale;
  if (HDC screen = GetDC(nullptr)) {
    scale.dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  if (scale.dpi <= 0) scale.dpi = 96;
  return scale;
}

COLORREF colour_of(platform::Colour colour) noexcept {
  // Both are 0x00BBGGRR.
  return static_cast<COLORREF>(colour & 0xFFFFFF);
}

RECT rect_of(const Control& c, const Scale& s) {
  return RECT{s.pixels(c.left), s.pixels(c.top), s.pixels(c.left + c.width), s.pixels(c.top + c.height)};
}

HFONT font_of(const platform::Font& font, const Scale& s) {
  return CreateFontA(-MulDiv(font.points, s.dpi, 72), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                     font.underline ? TRUE : FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, font.name.c_str());
}

void draw_caption(HDC hdc, const Control& c, RECT area, UINT format, const Scale& s) {
  HFONT font = font_of(c.font, s);
  HGDIOBJ previous = SelectObject(hdc, font);
  SetTextColor(hdc, colour_of(c.fore_colour));
  SetBkMode(hdc, TRANSPARENT);
  // DrawText reads '&' as the access-key marker, as the form's captions do.
  DrawTextA(hdc, c.caption.c_str(), static_cast<int>(c.caption.size()), &area, format);
  SelectObject(hdc, previous);
  DeleteObject(font);
}

void paint(HDC hdc, const Form& form, const RECT& client, const Scale& s) {
  HBRUSH back = CreateSolidBrush(colour_of(form.back_colour()));
  FillRect(hdc, &client, back);
  DeleteObject(back);
  for (const platform::LineShape& line : form.lines()) {
    if (!line.visible) continue;
    HPEN pen = CreatePen(PS_SOLID, 1, colour_of(line.border_colour));
    HGDIOBJ previous = SelectObject(hdc, pen);
    MoveToEx(hdc, s.pixels(line.x1), s.pixels(line.y1), nullptr);
    LineTo(hdc, s.pixels(line.x2), s.pixels(line.y2));
    SelectObject(hdc, previous);
    DeleteObject(pen);
  }
  for (const Control& c : form.controls()) {
    if (!c.visible) continue;
    RECT area = rect_of(c, s);
    switch (c.kind) {
      case ControlKind::label: {
        UINT format = c.alignment == platform::Alignment::center  ? DT_CENTER
                      : c.alignment == platform::Alignment::right ? DT_RIGHT
                                                                  : DT_LEFT;
        format |= c.word_wrap ? DT_WORDBREAK : DT_SINGLELINE;
        draw_caption(hdc, c, area, format, s);
        break;
      }
      case ControlKind::frame: {
        DrawEdge(hdc, &area, EDGE_ETCHED, BF_RECT);
        if (!c.caption.empty()) {
          RECT title{area.left + 8, area.top - 8, area.right - 8, area.top + 16};
          draw_caption(hdc, c, title, DT_LEFT | DT_SINGLELINE, s);
        }
        break;
      }
      case ControlKind::command_button: {
        DrawFrameControl(hdc, &area, DFC_BUTTON, DFCS_BUTTONPUSH);
        draw_caption(hdc, c, area, DT_CENTER | DT_VCENTER | DT_SINGLELINE, s);
        break;
      }
    }
  }
}

// The topmost visible control under a point (the one drawn last), or none.
const Control* control_at(const Form& form, POINT point, const Scale& s) {
  const auto& controls = form.controls();
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    if (!it->visible) continue;
    const RECT area = rect_of(*it, s);
    // A frame is hit on its border area only where no control lies on it;
    // controls come after the frames that hold them, so they win.
    if (PtInRect(&area, point)) return &*it;
  }
  return nullptr;
}

LPCWSTR cursor_of(MousePointer pointer) {
  switch (pointer) {
    case MousePointer::hourglass: return reinterpret_cast<LPCWSTR>(IDC_WAIT);
    case MousePointer::custom: return reinterpret_cast<LPCWSTR>(IDC_HAND);
    default: return reinterpret_cast<LPCWSTR>(IDC_ARROW);
  }
}

bool register_form_class(WNDPROC procedure) {
  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.style = CS_HREDRAW | CS_VREDRAW;
  form.lpfnWndProc = procedure;
  form.hInstance = GetModuleHandleW(nullptr);
  form.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  form.lpszClassName = form_class;
  return RegisterClassExW(&form) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

struct WindowData {
  Win32WindowSystem* system;
  Form* form;
};

}  // namespace

Win32WindowSystem::~Win32WindowSystem() {
  for (auto& [form, window] : windows_) {
    delete reinterpret_cast<WindowData*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }
}

HWND Win32WindowSystem::window_of(const Form& form) const noexcept {
  auto it = windows_.find(&form);
  return it == windows_.end() ? nullptr : it->second;
}

void Win32WindowSystem::show(Form& form) {
  if (HWND window = window_of(form)) {
    ShowWindow(window, SW_SHOWNORMAL);
    return;
  }
  if (!register_form_class(&Win32WindowSystem::procedure)) throw std::runtime_error("the form's window class cannot be registered");
  const Scale s = screen_scale();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT frame{0, 0, s.pixels(form.width()), s.pixels(form.height())};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
  HWND window = CreateWindowExA(WS_EX_DLGMODALFRAME, "QuillfernForm", form.caption().c_str(), style,
                                CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                                nullptr);
  if (window == nullptr) throw std::runtime_error("the form's window cannot be created");
  auto* data = new WindowData{this, &form};
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
  windows_[&form] = window;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
}

void Win32WindowSystem::hide(Form& form) noexcept {
  auto it = windows_.find(&form);
  if (it == windows_.end()) return;
  HWND window = it->second;
  windows_.erase(it);
  delete reinterpret_cast<WindowData*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
}

void Win32WindowSystem::changed(Form& form) {
  if (HWND window = window_of(form)) InvalidateRect(window, nullptr, FALSE);
}

void Win32WindowSystem::do_events() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  for (auto& [form, window] : windows_) UpdateWindow(window);
}

void Win32WindowSystem::set_mouse_pointer(MousePointer pointer) {
  pointer_ = pointer;
  SetCursor(LoadCursorW(nullptr, cursor_of(pointer)));
}

void Win32WindowSystem::run() {
  MSG message;
  while (!windows_.empty() && GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

LRESULT CALLBACK Win32WindowSystem::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* data = reinterpret_cast<WindowData*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (data == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  try {
    return data->system->handle(window, *data->form, message, wparam, lparam);
  } catch (...) {
    // A handler's failure stays inside the form: the window goes on.
    return 0;
  }
}

LRESULT Win32WindowSystem::handle(HWND window, Form& form, UINT message, WPARAM wparam, LPARAM lparam) {
  const Scale s = screen_scale();
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(window, &ps);
      RECT client;
      GetClientRect(window, &client);
      // Drawn off screen first, so that the band does not flicker as it grows.
      HDC buffer = CreateCompatibleDC(hdc);
      HBITMAP bitmap = CreateCompatibleBitmap(hdc, client.right, client.bottom);
      HGDIOBJ previous = SelectObject(buffer, bitmap);
      paint(buffer, form, client, s);
      BitBlt(hdc, 0, 0, client.right, client.bottom, buffer, 0, 0, SRCCOPY);
      SelectObject(buffer, previous);
      DeleteObject(bitmap);
      DeleteDC(buffer);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_CHAR:
      form.key_press(static_cast<int>(wparam));
      return 0;
    case WM_LBUTTONUP: {
      const POINT point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      const Control* hit = control_at(form, point, s);
      form.click(hit != nullptr ? std::string_view(hit->name) : std::string_view());
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT) {
        MousePointer pointer = pointer_;
        if (pointer == MousePointer::default_pointer) {
          POINT point;
          GetCursorPos(&point);
          ScreenToClient(window, &point);
          if (const Control* hit = control_at(form, point, s)) pointer = hit->mouse_pointer;
        }
        SetCursor(LoadCursorW(nullptr, cursor_of(pointer)));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      form.close_request();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace quillfern::win32

#endif
