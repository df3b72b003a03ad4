// The Encryption object: reference counting, the table of operations of
// _Encryption, the dispatch interface, error and class information, and
// the connection points.
#include "windows/server/encryption_object.hpp"

#include <array>
#include <new>
#include <string>

#include "quillfern/control/dispatcher.hpp"
#include "quillfern/core/identity.hpp"
#include "quillfern/control/interface.hpp"
#include "quillfern/platform/win32/text.hpp"
#include "windows/server/automation.hpp"
#include "windows/server/com_errors.hpp"
#include "windows/server/enumerator.hpp"
#include "windows/server/module.hpp"

namespace quillfern::server {
namespace {

// A text argument of the table of operations.
std::string text_of(const BSTR* argument) { return win32::to_codes(*argument); }

// Replaces the BSTR in `slot` with the codes' text once it has been made.
void replace(BSTR* slot, std::string_view codes) {
  BSTR text = win32::to_bstr(codes);
  SysFreeString(*slot);
  *slot = text;
}

template <typename... Pointers>
bool any_null(Pointers... pointers) noexcept {
  return ((pointers == nullptr) || ...);
}

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
// Every method reads its arguments, calls the library's control and writes
// its outputs only after the control succeeded (the output rule).

HRESULT EncryptionObject::get_Enabled(VARIANT_BOOL* Enabled) {
  if (Enabled == nullptr) return E_POINTER;
  *Enabled = control_.Enabled() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT EncryptionObject::put_Enabled(VARIANT_BOOL Enabled) {
  return guarded(IID__Encryption, [&] { control_.Enabled(Enabled != VARIANT_FALSE); });
}

HRESULT EncryptionObject::About() {
  return guarded(IID__Encryption, [&] { control_.About(); });
}

HRESULT EncryptionObject::EncryptPassword(unsigned char* Number, BSTR* DecryptedPassword,
                                          BSTR* OutPut) {
  if (any_null(Number, DecryptedPassword, OutPut)) return E_POINTER;
  return guarded(IID__Encryption, [&] {
    std::string out;
    control_.EncryptPassword(*Number, text_of(DecryptedPassword), out);
    replace(OutPut, out);
  });
}

HRESULT EncryptionObject::DecryptPassword(unsigned char* Number, BSTR* EncryptedPassword,
                                          BSTR* OutPut) {
  if (any_null(Number, EncryptedPassword, OutPut)) return E_POINTER;
  return guarded(IID__Encryption, [&] {
    std::string out;
    control_.DecryptPassword(*Number, text_of(EncryptedPassword), out);
    replace(OutPut, out);
  });
}

HRESULT EncryptionObject::convert(BSTR* InPutString, BSTR* OutPut) {
  if (any_null(InPutString, OutPut)) return E_POINTER;
  return guarded(IID__Encryption, [&] {
    std::string out;
    control_.convert(text_of(InPutString), out);
    replace(OutPut, out);
  });
}

HRESULT EncryptionObject::DeConvert(BSTR* InPutString, BSTR* OutPut) {
  if (any_null(InPutString, OutPut)) return E_POINTER;
  return guarded(IID__Encryption, [&] {
    std::string out;
    control_.DeConvert(text_of(InPutString), out);
    replace(OutPut, out);
  });
}

HRESULT EncryptionObject::EasyCryptEnCode(BSTR* InPutString, BSTR* OutPut) {
  if (any_null(InPutString, OutPut)) return E_POINTER;
  return guarded(IID__Encryption, [&] {
    std::string out;
    control_.EasyCryptEnCode(text_of(InPutString), out);
    replace(OutPut, out);
  });
}

HRESULT EncryptionObject::EasyCryptDeCode(BSTR* InPutString, BSTR* OutPut) {
  if (any_null(InPutString, OutPut)) return E_POINTER;
  return guarded(IID__Encryption, [&] {
    std::string out;
    control_.EasyCryptDeCode(text_of(InPutString), out);
    replace(OutPut, out);
  });
}

HRESULT EncryptionObject::EncodeDecodeFile(BSTR* InputFile, BSTR* OutputFile, BSTR* Password) {
  if (any_null(InputFile, OutputFile, Password)) return E_POINTER;
  return guarded(IID__Encryption, [&] {
    control_.EncodeDecodeFile(text_of(InputFile), text_of(OutputFile), text_of(Password));
  });
}

HRESULT EncryptionObject::PowerEncryption(BSTR* InPutString, BSTR* result) {
  if (any_null(InPutString, result)) return E_POINTER;
  *result = nullptr;
  return guarded(IID__Encryption, [&] {
    *result = win32::to_bstr(control_.PowerEncryption(text_of(InPutString)));
  });
}

HRESULT EncryptionObject::FastBlowFish(BSTR* InPutString, BSTR* OutPut, BSTR* Password) {
  if (any_null(InPutString, OutPut, Password)) return E_POINTER;
  return guarded(IID__Encryption, [&] {
    std::string out;
    control_.FastBlowFish(text_of(InPutString), out, text_of(Password));
    replace(OutPut, out);
  });
}

HRESULT EncryptionObject::SeedEncryption(BSTR* InPutString, BSTR* SeedPassword, BSTR* result) {
  if (any_null(InPutString, SeedPassword, result)) return E_POINTER;
  *result = nullptr;
  return guarded(IID__Encryption, [&] {
    *result = win32::to_bstr(control_.SeedEncryption(text_of(InPutString), text_of(SeedPassword)));
  });
}

HRESULT EncryptionObject::TextBoxCrypt(BSTR* InPutText, BSTR* Password, VARIANT* result) {
  if (any_null(InPutText, Password, result)) return E_POINTER;
  VariantInit(result);
  return guarded(IID__Encryption, [&] {
    std::string password = text_of(Password);
    std::optional<std::string> text = control_.TextBoxCrypt(text_of(InPutText), password);
    VARIANT value;
    to_automation(text ? Variant(std::move(*text)) : Variant(Empty{}), value);
    try {
      replace(Password, password);
    } catch (...) {
      VariantClear(&value);
      throw;
    }
    *result = value;
  });
}

HRESULT EncryptionObject::TextBoxDeCrypt(BSTR* InPutText, BSTR* Password, VARIANT* result) {
  if (any_null(InPutText, Password, result)) return E_POINTER;
  VariantInit(result);
  return guarded(IID__Encryption, [&] {
    std::string password = text_of(Password);
    std::optional<std::string> text = control_.TextBoxDeCrypt(text_of(InPutText), password);
    VARIANT value;
    to_automation(text ? Variant(std::move(*text)) : Variant(Empty{}), value);
    try {
      replace(Password, password);
    } catch (...) {
      VariantClear(&value);
      throw;
    }
    *result = value;
  });
}

HRESULT EncryptionObject::DeCipherText(BSTR* CipherString, BSTR* Password, BSTR* result) {
  if (any_null(CipherString, Password, result)) return E_POINTER;
  *result = nullptr;
  return guarded(IID__Encryption, [&] {
    *result = win32::to_bstr(control_.DeCipherText(text_of(CipherString), text_of(Password)));
  });
}

HRESULT EncryptionObject::EnCipherText(BSTR* CipherInString, BSTR* Password, BSTR* result) {
  if (any_null(CipherInString, Password, result)) return E_POINTER;
  *result = nullptr;
  return guarded(IID__Encryption, [&] {
    *result = win32::to_bstr(control_.EnCipherText(text_of(CipherInString), text_of(Password)));
  });
}

HRESULT EncryptionObject::WipeFileClean(BSTR* FileName) {
  if (FileName == nullptr) return E_POINTER;
  return guarded(IID__Encryption, [&] { control_.WipeFileClean(text_of(FileName)); });
}

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
  InvokeKind kind = InvokeKind::method;
  const Operation* operation = find_operation(static_cast<DispId>(dispid), InvokeKind::method);
  if (operation == nullptr) {
    kind = put ? InvokeKind::property_put : InvokeKind::property_get;
    operation = find_operation(static_cast<DispId>(dispid), kind);
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
  auto argument = [&](std::size_t i) -> VARIANT& { return params->rgvarg[params->cArgs - 1 - i]; };

  try {
    std::array<Variant, 3> values;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
      const VARIANT* v = &argument(i);
      while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal != nullptr) v = v->pvarVal;
      if (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND) return DISP_E_PARAMNOTOPTIONAL;
      auto value = from_automation(argument(i));
      if (!value) {
        if (argument_error != nullptr) *argument_error = static_cast<UINT>(params->cArgs - 1 - i);
        return DISP_E_TYPEMISMATCH;
      }
      values[i] = std::move(*value);
    }
    const Variant answer = invoke(control_, static_cast<DispId>(dispid), kind,
                                  std::span<Variant>(values.data(), parameters.size()));

    // Prepare every output before touching the caller's variables, so that
    // a failure here leaves them all as they were.
    VARIANT answer_value;
    VariantInit(&answer_value);
    std::array<BSTR, 3> outputs{};
    auto discard = [&] {
      VariantClear(&answer_value);
      for (BSTR& text : outputs) SysFreeString(text);
    };
    try {
      if (result != nullptr) to_automation(answer, answer_value);
      for (std::size_t i = 0; i < parameters.size(); ++i) {
        const Direction direction = parameters[i].direction;
        if ((direction == Direction::out || direction == Direction::in_out) &&
            can_write_text(argument(i))) {
          outputs[i] = win32::to_bstr(to_text(values[i]));
        }
      }
    } catch (...) {
      discard();
      throw;
    }
    for (std::size_t i = 0; i < parameters.size(); ++i) {
      if (outputs[i] != nullptr) write_text(argument(i), outputs[i]);
    }
    if (result != nullptr) {
      VariantClear(result);
      *result = answer_value;
    }
    return S_OK;
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
