// Checks of one control object beyond its operations: persistence of
// Enabled in property bags and streams, property-change notifications, the
// Hide event through connection points, class and error information,
// drawing of the face, and dispatch details (names, wrong calls, nested
// references to variants).
#include <map>
#include <string>

#include "quillfern/core/identity.hpp"
#include "windows/server/typelib.hpp"
#include "windows/tests/check.hpp"

namespace quillfern::wintest {
namespace {

constexpr DISPID enabled_dispid = 0x68030000;

// A COM object whose reference count does not matter: it lives on the
// stack of the test that uses it.
template <typename Interface>
struct StackObject : Interface {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == __uuidof(Interface) || accepts(riid)) {
      *object = static_cast<Interface*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  virtual bool accepts(REFIID) { return false; }
};

// A host's property bag: names to variants.
struct Bag final : StackObject<IPropertyBag> {
  std::map<std::wstring, VARIANT> values;
  ~Bag() {
    for (auto& [name, value] : values) VariantClear(&value);
  }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    auto it = values.find(name);
    if (it == values.end()) return E_INVALIDARG;
    return VariantCopy(value, &it->second);
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
    VARIANT copy;
    VariantInit(&copy);
    VariantCopy(&copy, value);
    auto [it, fresh] = values.try_emplace(name, copy);
    if (!fresh) {
      VariantClear(&it->second);
      it->second = copy;
    }
    return S_OK;
  }
};

// Counts property-change notifications.
struct PropertySink final : StackObject<IPropertyNotifySink> {
  int changes = 0;
  DISPID last = DISPID_UNKNOWN;
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID dispid) override {
    ++changes;
    last = dispid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
};

// The host's handler of __Encryption: counts Hide.
struct EventSink final : StackObject<IDispatch> {
  int hides = 0;
  bool accepts(REFIID riid) override { return riid == DIID___Encryption; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    if (dispid == identity::hide_event_dispid && params->cArgs == 0) ++hides;
    return S_OK;
  }
};

template <typename Interface>
Interface* query(IUnknown* object, REFIID riid, const std::string& name) {
  Interface* out = nullptr;
  check(SUCCEEDED(object->QueryInterface(riid, reinterpret_cast<void**>(&out))), "the control has " + name);
  return out;
}

// Releases each interface that is there, in order.
template <typename... Interfaces>
void release(Interfaces*... interfaces) {
  ((interfaces != nullptr ? static_cast<void>(interfaces->Release()) : static_cast<void>(0)), ...);
}

_Encryption* create() {
  _Encryption* control = nullptr;
  CoCreateInstance(CLSID_Encryption, nullptr, CLSCTX_INPROC_SERVER, IID__Encryption,
                   reinterpret_cast<void**>(&control));
  return control;
}

bool enabled(_Encryption* control) {
  VARIANT_BOOL value = VARIANT_FALSE;
  control->get_Enabled(&value);
  return value != VARIANT_FALSE;
}

void check_property_bags() {
  _Encryption* control = create();
  auto* persist = query<IPersistPropertyBag>(control, IID_IPersistPropertyBag, "IPersistPropertyBag");
  if (persist == nullptr) return;
  PropertySink sink;
  auto* points = query<IConnectionPointContainer>(control, IID_IConnectionPointContainer, "connection points");
  IConnectionPoint* point = nullptr;
  DWORD cookie = 0;
  check(points != nullptr && SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, &point)) &&
            SUCCEEDED(point->Advise(&sink, &cookie)),
        "property-change notifications can be advised");

  persist->InitNew();
  check(enabled(control), "a new control is enabled");
  Bag saved_default;
  persist->Save(&saved_default, TRUE, FALSE);
  check(saved_default.values.empty(), "Enabled equal to its default is not written");
  Bag saved_all;
  persist->Save(&saved_all, TRUE, TRUE);
  check(saved_all.values.count(L"Enabled") == 1 && saved_all.values[L"Enabled"].vt == VT_BOOL &&
            saved_all.values[L"Enabled"].boolVal == VARIANT_TRUE,
        "saving every property writes Enabled = True");

  auto* stream_persist = query<IPersistStreamInit>(control, IID_IPersistStreamInit, "IPersistStreamInit");
  check(stream_persist != nullptr && stream_persist->IsDirty() == S_FALSE, "a new control is clean");
  control->put_Enabled(VARIANT_FALSE);
  check(sink.changes == 1 && sink.last == enabled_dispid, "writing Enabled notifies once, naming Enabled");
  control->put_Enabled(VARIANT_FALSE);
  check(sink.changes == 2, "writing the same value notifies again");
  check(stream_persist != nullptr && stream_persist->IsDirty() == S_OK, "writing Enabled makes the control dirty");
  Bag saved;
  persist->Save(&saved, TRUE, FALSE);
  check(saved.values.count(L"Enabled") == 1 && saved.values[L"Enabled"].vt == VT_BOOL &&
            saved.values[L"Enabled"].boolVal == VARIANT_FALSE,
        "Enabled = False is saved as a Boolean");
  check(stream_persist != nullptr && stream_persist->IsDirty() == S_FALSE, "saving clears the dirty state");

  _Encryption* loaded = create();
  auto* loader = query<IPersistPropertyBag>(loaded, IID_IPersistPropertyBag, "IPersistPropertyBag");
  check(SUCCEEDED(loader->Load(&saved, nullptr)) && !enabled(loaded), "loading restores Enabled = False");
  Bag empty;
  check(SUCCEEDED(loader->Load(&empty, nullptr)) && enabled(loaded), "a bag without Enabled loads as True");
  Bag number;
  VARIANT zero;
  VariantInit(&zero);
  zero.vt = VT_I4;
  zero.lVal = 0;
  number.Write(L"Enabled", &zero);
  check(SUCCEEDED(loader->Load(&number, nullptr)) && !enabled(loaded), "a number 0 loads as False");
  zero.lVal = 7;
  number.Write(L"Enabled", &zero);
  check(SUCCEEDED(loader->Load(&number, nullptr)) && enabled(loaded), "any other number loads as True");
  loader->Release();
  loaded->Release();

  const int before = sink.changes;
  persist->Load(&empty, nullptr);
  check(sink.changes == before, "loading sends no notification");

  // With Enabled false every method answers as with it true.
  control->put_Enabled(VARIANT_FALSE);
  unsigned char key = 5;
  BSTR in = SysAllocString(L"Secret1");
  BSTR out = SysAllocString(L"");
  check(SUCCEEDED(control->EncryptPassword(&key, &in, &out)) && of_bstr(out) == L"]emhoj3",
        "a disabled control still works");
  SysFreeString(in);
  SysFreeString(out);

  if (point != nullptr) {
    point->Unadvise(cookie);
    point->Release();
  }
  release(points, stream_persist, persist, control);
}

void check_streams() {
  _Encryption* control = create();
  auto* persist = query<IPersistStreamInit>(control, IID_IPersistStreamInit, "IPersistStreamInit");
  if (persist == nullptr) return;
  IStream* stream = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  control->put_Enabled(VARIANT_FALSE);
  check(SUCCEEDED(persist->Save(stream, TRUE)), "saving to a stream");
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  const std::string text = "Enabled = Boolean False\n";
  check(stat.cbSize.QuadPart == 4 + text.size(), "the stream holds the length and the text form");
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);

  _Encryption* loaded = create();
  auto* loader = query<IPersistStreamInit>(loaded, IID_IPersistStreamInit, "IPersistStreamInit");
  check(SUCCEEDED(loader->Load(stream)) && !enabled(loaded), "loading from a stream restores Enabled");

  // A stream cut short fails and changes nothing.
  IStream* short_stream = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &short_stream);
  const unsigned char header[] = {100, 0, 0, 0, 'E'};
  short_stream->Write(header, sizeof header, nullptr);
  short_stream->Seek(start, STREAM_SEEK_SET, nullptr);
  loader->InitNew();
  check(FAILED(loader->Load(short_stream)) && enabled(loaded), "a short stream fails and changes nothing");
  short_stream->Release();

  ULARGE_INTEGER size{};
  check(SUCCEEDED(persist->GetSizeMax(&size)) && size.QuadPart >= 4 + text.size(), "GetSizeMax covers the stream");
  CLSID clsid{};
  check(SUCCEEDED(persist->GetClassID(&clsid)) && clsid == CLSID_Encryption, "GetClassID");
  release(loader, loaded, stream, persist, control);
}

void check_events() {
  _Encryption* control = create();
  auto* points = query<IConnectionPointContainer>(control, IID_IConnectionPointContainer, "connection points");
  auto* ole = query<IOleObject>(control, IID_IOleObject, "IOleObject");
  auto* ole_control = query<IOleControl>(control, IID_IOleControl, "IOleControl");
  if (points == nullptr || ole == nullptr || ole_control == nullptr) return;
  IConnectionPoint* point = nullptr;
  check(SUCCEEDED(points->FindConnectionPoint(DIID___Encryption, &point)), "the __Encryption connection point");
  IID iid{};
  check(point != nullptr && SUCCEEDED(point->GetConnectionInterface(&iid)) && iid == DIID___Encryption,
        "the point serves __Encryption");
  IConnectionPoint* none = nullptr;
  check(points->FindConnectionPoint(IID_IDispatch, &none) == CONNECT_E_NOCONNECTION, "no other outgoing interface");
  IEnumConnectionPoints* all = nullptr;
  check(SUCCEEDED(points->EnumConnectionPoints(&all)) && all != nullptr, "connection points can be listed");
  if (all != nullptr) {
    IConnectionPoint* listed[3] = {};
    ULONG fetched = 0;
    all->Next(3, listed, &fetched);
    IID first{}, second{};
    if (fetched == 2) {
      listed[0]->GetConnectionInterface(&first);
      listed[1]->GetConnectionInterface(&second);
    }
    check(fetched == 2 && first == DIID___Encryption && second == IID_IPropertyNotifySink,
          "the points are __Encryption and IPropertyNotifySink");
    for (ULONG i = 0; i < fetched; ++i) listed[i]->Release();
    all->Release();
  }
  EventSink sink;
  DWORD cookie = 0;
  check(SUCCEEDED(point->Advise(&sink, &cookie)), "a Hide handler can be advised");
  IEnumConnections* connections = nullptr;
  check(SUCCEEDED(point->EnumConnections(&connections)) && connections != nullptr, "connections can be listed");
  if (connections != nullptr) {
    CONNECTDATA data[2] = {};
    ULONG fetched = 0;
    connections->Next(2, data, &fetched);
    check(fetched == 1 && data[0].dwCookie == cookie, "the one connection is the handler's");
    for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();
    connections->Release();
  }
  check(SUCCEEDED(ole->DoVerb(OLEIVERB_HIDE, nullptr, nullptr, 0, nullptr, nullptr)) && sink.hides == 1,
        "hiding the control raises Hide once");
  ole_control->FreezeEvents(TRUE);
  ole->DoVerb(OLEIVERB_HIDE, nullptr, nullptr, 0, nullptr, nullptr);
  check(sink.hides == 1, "frozen events are not delivered");
  ole_control->FreezeEvents(FALSE);
  check(SUCCEEDED(point->Unadvise(cookie)), "the handler can be unadvised");
  ole->DoVerb(OLEIVERB_HIDE, nullptr, nullptr, 0, nullptr, nullptr);
  check(sink.hides == 1, "an unadvised handler hears nothing");
  check(point->Unadvise(cookie) == CONNECT_E_NOCONNECTION, "unadvising twice is refused");

  auto* class_info = query<IProvideClassInfo2>(control, IID_IProvideClassInfo2, "IProvideClassInfo2");
  GUID source{};
  check(class_info != nullptr && SUCCEEDED(class_info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source)) &&
            source == DIID___Encryption,
        "the default source interface is __Encryption");
  ITypeInfo* info = nullptr;
  if (class_info != nullptr && SUCCEEDED(class_info->GetClassInfo(&info))) {
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    check(attr->typekind == TKIND_COCLASS && attr->guid == CLSID_Encryption, "class information");
    info->ReleaseTypeAttr(attr);
    info->Release();
  }
  release(class_info, point, ole_control, ole, points, control);
}

void check_face() {
  _Encryption* control = create();
  auto* ole = query<IOleObject>(control, IID_IOleObject, "IOleObject");
  auto* view = query<IViewObject2>(control, IID_IViewObject2, "IViewObject2");
  auto* in_place = query<IOleInPlaceObject>(control, IID_IOleInPlaceObject, "IOleInPlaceObject");
  if (ole == nullptr || view == nullptr || in_place == nullptr) return;
  SIZEL size{};
  check(SUCCEEDED(ole->GetExtent(DVASPECT_CONTENT, &size)) && size.cx == 5080 && size.cy == 847,
        "the face measures 2880 by 480 twips");
  DWORD status = 0;
  check(SUCCEEDED(ole->GetMiscStatus(DVASPECT_CONTENT, &status)) &&
            (status & OLEMISC_SETCLIENTSITEFIRST) != 0,
        "misc status");

  // Draw the face into a bitmap and look for the caption's pixels.
  BITMAPINFO bitmap{};
  bitmap.bmiHeader.biSize = sizeof bitmap.bmiHeader;
  bitmap.bmiHeader.biWidth = 240;
  bitmap.bmiHeader.biHeight = -40;
  bitmap.bmiHeader.biPlanes = 1;
  bitmap.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC hdc = CreateCompatibleDC(nullptr);
  HBITMAP dib = CreateDIBSection(hdc, &bitmap, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(hdc, dib);
  RECTL bounds{0, 0, 240, 40};
  check(SUCCEEDED(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, hdc, &bounds, nullptr, nullptr, 0)),
        "the face draws");
  GdiFlush();
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const DWORD background = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
  int ink = 0;
  int paper = 0;
  const auto* pixels = static_cast<const DWORD*>(bits);
  for (int i = 0; i < 240 * 40; ++i) {
    if ((pixels[i] & 0xFFFFFF) == background) {
      ++paper;
    } else {
      ++ink;
    }
  }
  check(paper > 240 * 40 / 2 && ink > 50, "the face shows its caption on the button colour (" +
                                              std::to_string(ink) + " pixels of ink)");
  SelectObject(hdc, old);
  DeleteObject(dib);
  DeleteDC(hdc);

  HWND window = nullptr;
  check(in_place->GetWindow(&window) == E_FAIL, "no window before activation");
  check(SUCCEEDED(in_place->InPlaceDeactivate()), "deactivating an inactive control");
  release(in_place, view, ole, control);
}

void check_errors_and_dispatch() {
  _Encryption* control = create();
  unsigned char key = 11;
  BSTR in = SysAllocString(L"x");
  BSTR out = SysAllocString(L"prior");
  const HRESULT hr = control->EncryptPassword(&key, &in, &out);
  check(hr == static_cast<HRESULT>(0x800A0005), "error 5 comes back as 0x800A0005");
  check(of_bstr(out) == L"prior", "a failed call leaves OutPut as it was");
  IErrorInfo* info = nullptr;
  BSTR description = nullptr;
  BSTR source = nullptr;
  GUID guid{};
  check(GetErrorInfo(0, &info) == S_OK && info != nullptr, "the failure carries error information");
  if (info != nullptr) {
    info->GetDescription(&description);
    info->GetSource(&source);
    info->GetGUID(&guid);
    check(of_bstr(description) == L"Invalid procedure call or argument", "its description");
    check(of_bstr(source) == L"quillfern.Encryption", "its source");
    check(guid == IID__Encryption, "its interface");
    info->Release();
  }
  SysFreeString(description);
  SysFreeString(source);
  auto* support = query<ISupportErrorInfo>(control, IID_ISupportErrorInfo, "ISupportErrorInfo");
  check(support != nullptr && support->InterfaceSupportsErrorInfo(IID__Encryption) == S_OK,
        "_Encryption supports error information");
  if (support != nullptr) support->Release();

  IDispatch* dispatch = control;
  UINT count = 0;
  check(SUCCEEDED(dispatch->GetTypeInfoCount(&count)) && count == 1, "one type information");
  ITypeInfo* type = nullptr;
  check(SUCCEEDED(dispatch->GetTypeInfo(0, 0, &type)), "the type information of _Encryption");
  if (type != nullptr) type->Release();
  std::wstring unknown = L"NoSuchMethod";
  LPOLESTR names[] = {unknown.data()};
  DISPID dispid = 0;
  check(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid) == DISP_E_UNKNOWNNAME &&
            dispid == DISPID_UNKNOWN,
        "an unknown name is refused");
  std::wstring mixed = L"eNcRyPtPaSsWoRd";
  names[0] = mixed.data();
  check(SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid)) && dispid == 0x60030005,
        "names are found without regard to case");
  DISPPARAMS no_args{nullptr, nullptr, 0, 0};
  check(dispatch->Invoke(0x60030005, IID_NULL, 0, DISPATCH_METHOD, &no_args, nullptr, nullptr, nullptr) ==
            DISP_E_BADPARAMCOUNT,
        "a wrong number of arguments is refused");
  check(dispatch->Invoke(0x12345, IID_NULL, 0, DISPATCH_METHOD, &no_args, nullptr, nullptr, nullptr) ==
            DISP_E_MEMBERNOTFOUND,
        "an unknown dispatch id is refused");

  // A reference to a variant that refers to a BSTR variable, as some
  // engines pass a variable they hold by reference themselves.
  BSTR text = SysAllocString(L"Secret1");
  BSTR target = SysAllocString(L"prior");
  VARIANT inner_out;
  inner_out.vt = VT_BYREF | VT_BSTR;
  inner_out.pbstrVal = &target;
  VARIANT args[3];
  args[2].vt = VT_I4;
  args[2].lVal = 5;
  args[1].vt = VT_BSTR;
  args[1].bstrVal = text;
  args[0].vt = VT_BYREF | VT_VARIANT;
  args[0].pvarVal = &inner_out;
  DISPPARAMS params{args, nullptr, 3, 0};
  check(SUCCEEDED(dispatch->Invoke(0x60030005, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                                   nullptr)) &&
            of_bstr(target) == L"]emhoj3",
        "a result reaches a BSTR behind a reference to a variant");
  // A value that is not a number where the key is expected.
  VARIANT array_arg;
  array_arg.vt = VT_ARRAY | VT_I4;
  array_arg.parray = nullptr;
  args[2] = array_arg;
  UINT bad = 99;
  check(dispatch->Invoke(0x60030005, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, &bad) ==
                DISP_E_TYPEMISMATCH &&
            bad == 2,
        "an argument of no usable type is a type mismatch, naming the argument");
  // Enabled as a property through IDispatch.
  VARIANT value;
  value.vt = VT_BOOL;
  value.boolVal = VARIANT_FALSE;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS put_params{&value, &put, 1, 1};
  VARIANT result;
  VariantInit(&result);
  check(SUCCEEDED(dispatch->Invoke(enabled_dispid, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put_params, nullptr,
                                   nullptr, nullptr)) &&
            SUCCEEDED(dispatch->Invoke(enabled_dispid, IID_NULL, 0, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                                       &no_args, &result, nullptr, nullptr)) &&
            result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE,
        "Enabled is written and read through IDispatch");
  SysFreeString(text);
  SysFreeString(target);
  SysFreeString(in);
  SysFreeString(out);
  control->Release();
}

void check_unloading(const std::wstring& dll) {
  HMODULE module = GetModuleHandleW(dll.c_str());
  if (module == nullptr) module = LoadLibraryW(dll.c_str());
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  auto can_unload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  check(can_unload != nullptr, "DllCanUnloadNow is exported");
  if (can_unload == nullptr) return;
  _Encryption* control = create();
  check(can_unload() == S_FALSE, "a live control keeps the module loaded");
  control->Release();
  check(can_unload() == S_OK, "without controls the module may unload");
}


// A container's site for one control: a client site that can take the
// control in place, in a window of the container.
struct Site final : IOleClientSite, IOleInPlaceSite {
  HWND window = nullptr;
  int activations = 0;
  int deactivations = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
      *object = static_cast<IOleClientSite*>(this);
    } else if (riid == IID_IOleInPlaceSite || riid == IID_IOleWindow) {
      *object = static_cast<IOleInPlaceSite*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleWindow, IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
    *out = window;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
    ++activations;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                             LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *document = nullptr;
    *position = RECT{10, 10, 202, 42};
    *clip = *position;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
    ++deactivations;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
};

}  // namespace

// Sites the control in a window, activates it in place and hides it.
void check_embedding() {
  HWND container = CreateWindowExA(0, "STATIC", "container", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                   200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  check(container != nullptr, "the container's window");
  if (container == nullptr) return;
  _Encryption* control = create();
  auto* ole = query<IOleObject>(control, IID_IOleObject, "IOleObject");
  auto* in_place = query<IOleInPlaceObject>(control, IID_IOleInPlaceObject, "IOleInPlaceObject");
  Site site;
  site.window = container;
  ole->SetClientSite(&site);
  IOleClientSite* got = nullptr;
  check(SUCCEEDED(ole->GetClientSite(&got)) && got == &site, "the control keeps its client site");
  RECT position{10, 10, 202, 42};
  check(SUCCEEDED(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, container, &position)) &&
            site.activations == 1,
        "the control activates in place");
  HWND face = nullptr;
  check(SUCCEEDED(in_place->GetWindow(&face)) && face != nullptr && GetParent(face) == container &&
            IsWindowVisible(face),
        "its face is a visible child of the container's window");
  RECT rect{};
  if (face != nullptr) GetWindowRect(face, &rect);
  check(rect.right - rect.left == 192 && rect.bottom - rect.top == 32, "the face takes the site's rectangle");
  RECT moved{20, 20, 120, 60};
  in_place->SetObjectRects(&moved, &moved);
  if (face != nullptr) GetWindowRect(face, &rect);
  check(rect.right - rect.left == 100 && rect.bottom - rect.top == 40, "the face follows SetObjectRects");
  ole->DoVerb(OLEIVERB_HIDE, nullptr, &site, 0, container, nullptr);
  check(face != nullptr && !IsWindowVisible(face), "hiding takes the face off the screen");
  check(SUCCEEDED(in_place->InPlaceDeactivate()) && site.deactivations == 1 && !IsWindow(face),
        "deactivating destroys the face and tells the site");
  check(SUCCEEDED(ole->Close(OLECLOSE_NOSAVE)), "the control closes");
  ole->SetClientSite(nullptr);
  release(in_place, ole, control);
  DestroyWindow(container);
}

namespace {
}  // namespace

void check_object(const std::wstring& dll) {
  _Encryption* control = create();
  check(control != nullptr, "the control can be created");
  if (control == nullptr) return;
  control->Release();
  check_property_bags();
  check_streams();
  check_events();
  check_face();
  check_errors_and_dispatch();
  check_unloading(dll);
}

}  // namespace quillfern::wintest
