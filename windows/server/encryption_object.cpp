// The Encryption object: reference counting, the methods of _Encryption
// and its dispatch interface (both over the library's table of operations,
// through one path), error and class information, and the connection
// points.
#include "windows/server/encryption_object.hpp"

#include <array>
#include <new>
#include <span>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "quillfern/control/dispatcher.hpp"
#include "quillfern/core/identity.hpp"
#include "quillfern/core/secret.hpp"
#include "quillfern/control/interface.hpp"
#include "quillfern/platform/win32/text.hpp"
#include "windows/server/automation.hpp"
#include "windows/server/com_errors.hpp"
#include "windows/server/enumerator.hpp"
#include "windows/server/module.hpp"

namespace quillfern::server {
namespace {

// ---- the one path of every operation ---------------------------------------
// Every operation, called through its method of the table of operations or
// through IDispatch::Invoke, runs here: the arguments, in published order,
// are read into variants (through references to variants, as script engines
// pass their variables); the row of the library's table runs; then the
// result and every out or in-out argument that can take a text are
// prepared, and only when all of them are ready are they written (the
// output rule): a failure anywhere leaves the caller's variables as they
// were. Returns S_OK, DISP_E_PARAMNOTOPTIONAL for a missing argument or
// DISP_E_TYPEMISMATCH with `bad` set to the argument's published position;
// throws what the operation raises.
HRESULT run_row(Encryption& control, const Operation& operation, std::span<VARIANT* const> args,
                VARIANT* answer, std::size_t& bad) {
  std::array<Variant, max_parameters> values;
  // The texts may hold a password: they are wiped on every way out.
  struct WipedOnExit {
    std::array<Variant, max_parameters>& texts;
    ~WipedOnExit() {
      for (Variant& text : texts) wipe(text);
    }
  } const wiped{values};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const VARIANT* v = args[i];
    while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal != nullptr) v = v->pvarVal;
    if (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND) return DISP_E_PARAMNOTOPTIONAL;
    auto value = operation.parameters[i].file ? file_name_from_automation(*args[i]) : from_automation(*args[i]);
    if (!value) {
      bad = i;
      return DISP_E_TYPEMISMATCH;
    }
    values[i] = std::move(*value);
    wipe(*value);  // what a short text's move left in the temporary
  }
  const Variant result = operation.invoke(control, std::span<Variant>(values.data(), args.size()));

  VARIANT prepared;
  VariantInit(&prepared);
  std::array<BSTR, max_parameters> outputs{};
  try {
    if (answer != nullptr) to_automation(result, prepared);
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (operation.parameters[i].written() && can_write_text(*args[i])) {
        outputs[i] = win32::to_bstr(WipedString(to_text(values[i])));
      }
    }
  } catch (...) {
    VariantClear(&prepared);
    for (BSTR& text : outputs) SysFreeString(text);
    throw;
  }
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (outputs[i] != nullptr) write_text(*args[i], outputs[i]);
  }
  if (answer != nullptr) {
    VariantClear(answer);
    *answer = prepared;
  }
  return S_OK;
}

// A typed argument of a method of the table of operations, as Invoke would
// receive it: texts and bytes by reference, a new property value by value.
VARIANT as_argument(BSTR* text) noexcept {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_BSTR;
  v.pbstrVal = text;
  return v;
}
VARIANT as_argument(unsigned char* byte) noexcept {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_UI1;
  v.pbVal = byte;
  return v;
}
VARIANT as_argument(VARIANT_BOOL flag) noexcept {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = flag;
  return v;
}

template <typename T>
bool is_null(T argument) noexcept {
  if constexpr (std::is_pointer_v<T>) {
    return argument == nullptr;
  } else {
    return false;
  }
}

// The return slot of a method: empty until the call succeeded, then the
// result, whose ownership it takes.
void clear(BSTR* slot) noexcept { *slot = nullptr; }
void clear(VARIANT* slot) noexcept { VariantInit(slot); }
void clear(VARIANT_BOOL*) noexcept {}
void take(VARIANT& answer, BSTR* slot) noexcept { *slot = answer.vt == VT_BSTR ? answer.bstrVal : nullptr; }
void take(VARIANT& answer, VARIANT* slot) noexcept { *slot = answer; }
void take(VARIANT& answer, VARIANT_BOOL* slot) noexcept { *slot = answer.boolVal; }

// Sizes are kept in HIMETRIC (0.01 mm); the face's design size is in twips.
constexpr LONG himetric_of_twips(int twips) noexcept { return (twips * 2540 + 720) / 1440; }

}  // namespace

EncryptionObject::EncryptionObject()
    : control_(host(), this),
      events_(this, DIID___Encryption, true),
      property_notify_(this, IID_IPropertyNotifySink, false),
      extent_{himetric_of_twips(identity::face_width), himetric_of_twips(identity::face_height)} {
  add_module_reference();
}

EncryptionObject::~EncryptionObject() {
  if (window_ != nullptr) DestroyWindow(window_);
  if (in_place_site_ != nullptr) in_place_site_->Release();
  if (site_ != nullptr) site_->Release();
  if (ole_advise_ != nullptr) ole_advise_->Release();
  if (view_advise_ != nullptr) view_advise_->Release();
  release_module_reference();
}

// ---- IUnknown ---------------------------------------------------------------

HRESULT EncryptionObject::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__Encryption) {
    *object = static_cast<_Encryption*>(this);
  } else if (riid == IID_ISupportErrorInfo) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) {
    *object = static_cast<IProvideClassInfo2*>(this);
  } else if (riid == IID_IConnectionPointContainer) {
    *object = static_cast<IConnectionPointContainer*>(this);
  } else if (riid == IID_IPersistPropertyBag) {
    *object = static_cast<IPersistPropertyBag*>(this);
  } else if (riid == IID_IPersistStreamInit || riid == IID_IPersist) {
    *object = static_cast<IPersistStreamInit*>(this);
  } else if (riid == IID_IOleObject) {
    *object = static_cast<IOleObject*>(this);
  } else if (riid == IID_IViewObject || riid == IID_IViewObject2) {
    *object = static_cast<IViewObject2*>(this);
  } else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject) {
    *object = static_cast<IOleInPlaceObject*>(this);
  } else if (riid == IID_IOleControl) {
    *object = static_cast<IOleControl*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG EncryptionObject::AddRef() { return ++references_; }

ULONG EncryptionObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

// ---- _Encryption ----------------------------------------------------------
// The methods of the table of operations, in the published order. Each
// hands its arguments to the row of its member function of the library's
// control; the row says how many are parameters and whether the last one is
// the return slot.

template <auto Method, typename... Arguments>
HRESULT EncryptionObject::through_table(Arguments... arguments) noexcept {
  static constexpr const Operation& operation = operation_of<Method>();
  constexpr std::size_t count = operation.parameter_count;
  constexpr bool has_answer = sizeof...(Arguments) == count + 1;
  static_assert(sizeof...(Arguments) == count || has_answer,
                "a method takes its row's parameters and perhaps a return slot");
  if ((is_null(arguments) || ...)) return E_POINTER;
  const auto all = std::tie(arguments...);
  std::array<VARIANT, count> wrapped{};
  std::array<VARIANT*, count> pointers{};
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    ((wrapped[I] = as_argument(std::get<I>(all)), pointers[I] = &wrapped[I]), ...);
  }(std::make_index_sequence<count>());
  if constexpr (has_answer) clear(std::get<count>(all));
  HRESULT outcome = S_OK;
  const HRESULT reported = guarded(IID__Encryption, [&] {
    VARIANT answer;
    VariantInit(&answer);
    std::size_t bad = 0;
    outcome = run_row(control_, operation, pointers, has_answer ? &answer : nullptr, bad);
    if constexpr (has_answer) {
      if (SUCCEEDED(outcome)) take(answer, std::get<count>(all));
    }
  });
  return FAILED(reported) ? reported : outcome;
}

// Each method of _Encryption is its row of the table of operations, one line each.
HRESULT EncryptionObject::get_Enabled(VARIANT_BOOL* Enabled) { return through_table<member<bool() const noexcept>(&Encryption::Enabled)>(Enabled); }
HRESULT EncryptionObject::put_Enabled(VARIANT_BOOL Enabled) { return through_table<member<void(bool)>(&Encryption::Enabled)>(Enabled); }
HRESULT EncryptionObject::About() { return through_table<&Encryption::About>(); }
HRESULT EncryptionObject::EncryptPassword(unsigned char* Number, BSTR* DecryptedPassword, BSTR* OutPut) { return through_table<&Encryption::EncryptPassword>(Number, DecryptedPassword, OutPut); }
HRESULT EncryptionObject::DecryptPassword(unsigned char* Number, BSTR* EncryptedPassword, BSTR* OutPut) { return through_table<&Encryption::DecryptPassword>(Number, EncryptedPassword, OutPut); }
HRESULT EncryptionObject::convert(BSTR* InPutString, BSTR* OutPut) { return through_table<&Encryption::convert>(InPutString, OutPut); }
HRESULT EncryptionObject::DeConvert(BSTR* InPutString, BSTR* OutPut) { return through_table<&Encryption::DeConvert>(InPutString, OutPut); }
HRESULT EncryptionObject::EasyCryptEnCode(BSTR* InPutString, BSTR* OutPut) { return through_table<&Encryption::EasyCryptEnCode>(InPutString, OutPut); }
HRESULT EncryptionObject::EasyCryptDeCode(BSTR* InPutString, BSTR* OutPut) { return through_table<&Encryption::EasyCryptDeCode>(InPutString, OutPut); }
HRESULT EncryptionObject::EncodeDecodeFile(BSTR* InputFile, BSTR* OutputFile, BSTR* Password) { return through_table<&Encryption::EncodeDecodeFile>(InputFile, OutputFile, Password); }
HRESULT EncryptionObject::PowerEncryption(BSTR* InPutString, BSTR* result) { return through_table<&Encryption::PowerEncryption>(InPutString, result); }
HRESULT EncryptionObject::FastBlowFish(BSTR* InPutString, BSTR* OutPut, BSTR* Password) { return through_table<&Encryption::FastBlowFish>(InPutString, OutPut, Password); }
HRESULT EncryptionObject::SeedEncryption(BSTR* InPutString, BSTR* SeedPassword, BSTR* result) { return through_table<&Encryption::SeedEncryption>(InPutString, SeedPassword, result); }
HRESULT EncryptionObject::TextBoxCrypt(BSTR* InPutText, BSTR* Password, VARIANT* result) { return through_table<&Encryption::TextBoxCrypt>(InPutText, Password, result); }
HRESULT EncryptionObject::TextBoxDeCrypt(BSTR* InPutText, BSTR* Password, VARIANT* result) { return through_table<&Encryption::TextBoxDeCrypt>(InPutText, Password, result); }
HRESULT EncryptionObject::DeCipherText(BSTR* CipherString, BSTR* Password, BSTR* result) { return through_table<&Encryption::DeCipherText>(CipherString, Password, result); }
HRESULT EncryptionObject::EnCipherText(BSTR* CipherInString, BSTR* Password, BSTR* result) { return through_table<&Encryption::EnCipherText>(CipherInString, Password, result); }
HRESULT EncryptionObject::WipeFileClean(BSTR* FileName) { return through_table<&Encryption::WipeFileClean>(FileName); }

// ---- IDispatch --------------------------------------------------------------

HRESULT EncryptionObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT EncryptionObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return type_info(IID__Encryption, info);
}

HRESULT EncryptionObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                        DISPID* ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  try {
    std::string name;
    for (const wchar_t* p = names[0]; p != nullptr && *p != L'\0'; ++p) {
      // Published names are plain ASCII; anything else matches nothing.
      name += *p < 0x80 ? static_cast<char>(*p) : '\x7f';
    }
    if (auto dispid = find_dispid(name)) {
      ids[0] = *dispid;
    } else {
      hr = DISP_E_UNKNOWNNAME;
    }
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  // Arguments are passed by position only.
  return count > 1 ? DISP_E_UNKNOWNNAME : hr;
}

HRESULT EncryptionObject::Invoke(DISPID dispid, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* exception, UINT* argument_error) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_POINTER;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  const Operation* operation = find_operation(static_cast<DispId>(dispid), InvokeKind::method);
  if (operation == nullptr) {
    operation = find_operation(static_cast<DispId>(dispid),
                               put ? InvokeKind::property_put : InvokeKind::property_get);
  } else if (put) {
    return DISP_E_MEMBERNOTFOUND;
  }
  if (operation == nullptr) return DISP_E_MEMBERNOTFOUND;
  if (put) {
    if (params->cNamedArgs != 1 || params->rgdispidNamedArgs == nullptr ||
        params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_PARAMNOTOPTIONAL;
    }
  } else if (params->cNamedArgs != 0) {
    return DISP_E_NONAMEDARGS;
  }
  const auto parameters = operation->params();
  if (params->cArgs != parameters.size()) return DISP_E_BADPARAMCOUNT;
  if (params->cArgs != 0 && params->rgvarg == nullptr) return E_POINTER;

  // The arguments arrive last first.
  std::array<VARIANT*, max_parameters> args{};
  for (std::size_t i = 0; i < parameters.size(); ++i) args[i] = &params->rgvarg[params->cArgs - 1 - i];
  try {
    std::size_t bad = 0;
    const HRESULT hr = run_row(control_, *operation, std::span<VARIANT* const>(args.data(), parameters.size()),
                               result, bad);
    if (hr == DISP_E_TYPEMISMATCH && argument_error != nullptr) {
      *argument_error = static_cast<UINT>(params->cArgs - 1 - bad);
    }
    return hr;
  } catch (...) {
    const Failure failure = current_failure();
    fill(exception, failure);
    return DISP_E_EXCEPTION;
  }
}

// ---- error and class information ------------------------------------------

HRESULT EncryptionObject::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == IID__Encryption ? S_OK : S_FALSE;
}

HRESULT EncryptionObject::GetClassInfo(ITypeInfo** info) { return type_info(CLSID_Encryption, info); }

HRESULT EncryptionObject::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID___Encryption;
  return S_OK;
}

// ---- connection points ------------------------------------------------------

HRESULT EncryptionObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points == nullptr) return E_POINTER;
  *points = nullptr;
  try {
    std::vector<IConnectionPoint*> both{&events_, &property_notify_};
    *points = new Enumerator<IEnumConnectionPoints, IConnectionPoint*>(IID_IEnumConnectionPoints, std::move(both));
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT EncryptionObject::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  ConnectionPoint* found = nullptr;
  if (riid == DIID___Encryption) found = &events_;
  if (riid == IID_IPropertyNotifySink) found = &property_notify_;
  if (found == nullptr) return CONNECT_E_NOCONNECTION;
  found->AddRef();
  *point = found;
  return S_OK;
}

void EncryptionObject::property_changed(std::string_view name) {
  dirty_ = true;
  const DISPID dispid = find_dispid(name).value_or(DISPID_UNKNOWN);
  for (IUnknown* sink : property_notify_.sinks()) {
    static_cast<IPropertyNotifySink*>(sink)->OnChanged(dispid);
    sink->Release();
  }
}

void EncryptionObject::event_raised(std::int32_t dispid, std::string_view) {
  // A container that froze events does not want them delivered.
  const bool deliver = frozen_events_ == 0;
  for (IUnknown* sink : events_.sinks()) {
    if (deliver) {
      DISPPARAMS none{nullptr, nullptr, 0, 0};
      static_cast<IDispatch*>(sink)->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                            &none, nullptr, nullptr, nullptr);
    }
    sink->Release();
  }
}

}  // namespace quillfern::server
