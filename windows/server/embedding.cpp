// The control inside a container: the client site, verbs (showing and
// in-place activation in a child window of the container, hiding, which
// raises Hide), extents, advises, drawing of the face and the control
// information a container asks for.
#include <string>

#include "quillfern/core/identity.hpp"
#include "quillfern/platform/win32/text.hpp"
#include "windows/server/encryption_object.hpp"
#include "windows/server/module.hpp"
#include "windows/server/registration.hpp"

namespace quillfern::server {
namespace {

constexpr const wchar_t* face_class = L"QuillfernEncryptionFace";

LRESULT CALLBACK face_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    draw_face(hdc, client);
    EndPaint(window, &paint);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcW(window, message, wparam, lparam);
}

bool register_face_class() {
  WNDCLASSEXW face{};
  face.cbSize = sizeof face;
  face.style = CS_HREDRAW | CS_VREDRAW;
  face.lpfnWndProc = face_procedure;
  face.hInstance = module_handle();
  face.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  face.lpszClassName = face_class;
  return RegisterClassExW(&face) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

void draw_face(HDC hdc, const RECT& bounds) {
  HBRUSH background = GetSysColorBrush(COLOR_BTNFACE);
  FillRect(hdc, &bounds, background);
  // Label1: MS Sans Serif, 18 point, regular weight, at the top left.
  const int height = -MulDiv(18, GetDeviceCaps(hdc, LOGPIXELSY), 72);
  HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
  HGDIOBJ previous = font != nullptr ? SelectObject(hdc, font) : nullptr;
  const int mode = SetBkMode(hdc, TRANSPARENT);
  const COLORREF colour = SetTextColor(hdc, GetSysColor(COLOR_BTNTEXT));
  RECT label = bounds;
  const std::string caption(identity::face_caption);
  DrawTextA(hdc, caption.c_str(), static_cast<int>(caption.size()), &label,
            DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SetTextColor(hdc, colour);
  SetBkMode(hdc, mode);
  if (previous != nullptr) SelectObject(hdc, previous);
  if (font != nullptr) DeleteObject(font);
}

// ---- IOleObject ---------------------------------------------------------------

HRESULT EncryptionObject::SetClientSite(IOleClientSite* site) {
  if (site != nullptr) site->AddRef();
  if (site_ != nullptr) site_->Release();
  site_ = site;
  return S_OK;
}

HRESULT EncryptionObject::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = site_;
  if (site_ != nullptr) site_->AddRef();
  return S_OK;
}

HRESULT EncryptionObject::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT EncryptionObject::Close(DWORD) {
  InPlaceDeactivate();
  if (ole_advise_ != nullptr) ole_advise_->SendOnClose();
  return S_OK;
}

HRESULT EncryptionObject::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT EncryptionObject::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT EncryptionObject::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT EncryptionObject::GetClipboardData(DWORD, IDataObject** data) {
  if (data != nullptr) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT EncryptionObject::DoVerb(LONG verb, LPMSG, IOleClientSite* active_site, LONG, HWND,
                                 LPCRECT position) {
  switch (verb) {
    case OLEIVERB_HIDE:
      // The container hid the control: take the face off the screen and
      // tell the host through the Hide event.
      if (window_ != nullptr) ShowWindow(window_, SW_HIDE);
      try {
        control_.hidden();
      } catch (...) {
        return E_UNEXPECTED;
      }
      return S_OK;
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_OPEN:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return in_place_activate(active_site != nullptr ? active_site : site_, position);
    default:
      return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
  }
}

HRESULT EncryptionObject::in_place_activate(IOleClientSite* site, LPCRECT position) {
  if (window_ != nullptr) {
    ShowWindow(window_, SW_SHOWNA);
    return S_OK;
  }
  if (site == nullptr) return E_UNEXPECTED;
  IOleInPlaceSite* in_place = nullptr;
  if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&in_place)))) {
    return OLE_E_NOT_INPLACEACTIVE;
  }
  if (in_place->CanInPlaceActivate() != S_OK) {
    in_place->Release();
    return E_FAIL;
  }
  in_place->OnInPlaceActivate();
  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* document = nullptr;
  RECT pos{}, clip{};
  OLEINPLACEFRAMEINFO frame_info{};
  frame_info.cb = sizeof frame_info;
  HWND parent = nullptr;
  if (SUCCEEDED(in_place->GetWindowContext(&frame, &document, &pos, &clip, &frame_info))) {
    if (frame != nullptr) frame->Release();
    if (document != nullptr) document->Release();
  }
  if (position != nullptr) pos = *position;
  if (FAILED(in_place->GetWindow(&parent)) || parent == nullptr || !register_face_class()) {
    in_place->OnInPlaceDeactivate();
    in_place->Release();
    return E_FAIL;
  }
  window_ = CreateWindowExW(0, face_class, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, pos.left,
                            pos.top, pos.right - pos.left, pos.bottom - pos.top, parent, nullptr,
                            module_handle(), nullptr);
  if (window_ == nullptr) {
    in_place->OnInPlaceDeactivate();
    in_place->Release();
    return E_FAIL;
  }
  in_place_site_ = in_place;
  return S_OK;
}

HRESULT EncryptionObject::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs == nullptr) return E_POINTER;
  return OleRegEnumVerbs(CLSID_Encryption, verbs);
}

HRESULT EncryptionObject::Update() { return S_OK; }
HRESULT EncryptionObject::IsUpToDate() { return S_OK; }

HRESULT EncryptionObject::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

HRESULT EncryptionObject::GetUserType(DWORD form, LPOLESTR* type) {
  return OleRegGetUserType(CLSID_Encryption, form, type);
}

HRESULT EncryptionObject::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  extent_ = *size;
  return S_OK;
}

HRESULT EncryptionObject::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  *size = extent_;
  return S_OK;
}

HRESULT EncryptionObject::Advise(IAdviseSink* sink, DWORD* connection) {
  if (ole_advise_ == nullptr) {
    if (HRESULT hr = CreateOleAdviseHolder(&ole_advise_); FAILED(hr)) return hr;
  }
  return ole_advise_->Advise(sink, connection);
}

HRESULT EncryptionObject::Unadvise(DWORD connection) {
  if (ole_advise_ == nullptr) return OLE_E_NOCONNECTION;
  return ole_advise_->Unadvise(connection);
}

HRESULT EncryptionObject::EnumAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  if (ole_advise_ == nullptr) return S_OK;
  return ole_advise_->EnumAdvise(advises);
}

HRESULT EncryptionObject::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = misc_status;
  return S_OK;
}

HRESULT EncryptionObject::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IViewObject2 -------------------------------------------------------------

HRESULT EncryptionObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdc,
                               LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                               ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (hdc == nullptr || bounds == nullptr) return E_INVALIDARG;
  const RECT rect{bounds->left, bounds->top, bounds->right, bounds->bottom};
  draw_face(hdc, rect);
  return S_OK;
}

HRESULT EncryptionObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
  if (colors != nullptr) *colors = nullptr;
  return S_FALSE;  // no particular palette
}

HRESULT EncryptionObject::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
HRESULT EncryptionObject::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT EncryptionObject::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  if (sink != nullptr) sink->AddRef();
  if (view_advise_ != nullptr) view_advise_->Release();
  view_advise_ = sink;
  view_advise_aspects_ = aspects;
  view_advise_flags_ = flags;
  return S_OK;
}

HRESULT EncryptionObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = view_advise_aspects_;
  if (flags != nullptr) *flags = view_advise_flags_;
  if (sink != nullptr) {
    *sink = view_advise_;
    if (view_advise_ != nullptr) view_advise_->AddRef();
  }
  return S_OK;
}

HRESULT EncryptionObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

// ---- IOleInPlaceObject --------------------------------------------------------

HRESULT EncryptionObject::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = window_;
  return window_ != nullptr ? S_OK : E_FAIL;
}

HRESULT EncryptionObject::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT EncryptionObject::InPlaceDeactivate() {
  if (window_ != nullptr) {
    DestroyWindow(window_);
    window_ = nullptr;
  }
  if (in_place_site_ != nullptr) {
    IOleInPlaceSite* site = in_place_site_;
    in_place_site_ = nullptr;
    site->OnInPlaceDeactivate();
    site->Release();
  }
  return S_OK;
}

HRESULT EncryptionObject::UIDeactivate() { return S_OK; }

HRESULT EncryptionObject::SetObjectRects(LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  if (window_ != nullptr) {
    MoveWindow(window_, position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
  }
  return S_OK;
}

HRESULT EncryptionObject::ReactivateAndUndo() { return E_NOTIMPL; }

// ---- IOleControl --------------------------------------------------------------

HRESULT EncryptionObject::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT EncryptionObject::OnMnemonic(MSG*) { return E_NOTIMPL; }
HRESULT EncryptionObject::OnAmbientPropertyChange(DISPID) { return S_OK; }

HRESULT EncryptionObject::FreezeEvents(BOOL freeze) {
  frozen_events_ += freeze ? 1 : -1;
  if (frozen_events_ < 0) frozen_events_ = 0;
  return S_OK;
}

}  // namespace quillfern::server
