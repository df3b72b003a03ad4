// The test client of quillfern.dll, run under Wine after regsvr32:
//
//   quillfern_client cases vtable|dispid|name CASES   every case of the case file
//   quillfern_client typelib DLL                      the type library against the library's tables
//   quillfern_client registered DLL                   the keys DllRegisterServer wrote
//   quillfern_client object DLL                       persistence, events, drawing, errors, dispatch
//   quillfern_client user DLL                         the keys DllInstall wrote for the user lead to the control
//   quillfern_client unregistered                     no key of the server is left
//   quillfern_client display                          in-place activation and the About window (needs a display)
//
// Each prints one line per failed check and ends with "N passed, M failed";
// the exit status is 0 only when nothing failed. Message boxes are written
// to a log file (QUILLFERN_MESSAGE_LOG) and compared, so nothing waits for
// a user.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "quillfern/core/identity.hpp"
#include "quillfern/control/interface.hpp"
#include "quillfern/core/codepage.hpp"
#include "windows/server/typelib.hpp"
#include "windows/tests/cases.hpp"
#include "windows/tests/check.hpp"

namespace quillfern::wintest {

namespace {
int passed = 0;
int failed = 0;
}  // namespace

void check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAIL: %s\n", what.c_str());
  }
}

std::string narrow(const std::wstring& wide) {
  std::string out;
  for (wchar_t ch : wide) {
    if (ch < 0x80) {
      out += static_cast<char>(ch);
    } else {
      char buffer[12];
      std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(ch));
      out += buffer;
    }
  }
  return out;
}

std::wstring widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring of_bstr(BSTR text) {
  return text == nullptr ? std::wstring() : std::wstring(text, SysStringLen(text));
}

int failures() { return failed; }
int successes() { return passed; }

}  // namespace quillfern::wintest

namespace {

using namespace quillfern;
using namespace quillfern::wintest;

// The host text of codes, through the library's own Windows-1252 table when
// that is the system's code page, so that the server's conversion is
// checked against an independent one.
std::wstring wide_of(const std::string& codes) {
  if (GetACP() == 1252) {
    std::wstring out;
    for (char ch : codes) {
      out += static_cast<wchar_t>(to_unicode(CodePage::cp1252, static_cast<std::uint8_t>(ch)));
    }
    return out;
  }
  std::wstring out(codes.size() * 2 + 1, L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, codes.data(), static_cast<int>(codes.size()),
                                    out.data(), static_cast<int>(out.size()));
  out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return out;
}

std::wstring guid_text(REFGUID guid) {
  wchar_t buffer[40];
  StringFromGUID2(guid, buffer, 40);
  return buffer;
}

GUID guid_of(std::string_view text) {
  GUID guid{};
  std::wstring wide = widen(text);
  CLSIDFromString(wide.data(), &guid);
  return guid;
}

// A value as the client sees it after a call.
struct Value {
  enum Kind { empty, text, byte, boolean } kind = empty;
  std::wstring string;
  int number = 0;
  friend bool operator==(const Value&, const Value&) = default;
};

Value expected_value(const Variant& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return Value{Value::text, wide_of(*s), 0};
  if (const auto* b = std::get_if<std::uint8_t>(&v)) return Value{Value::byte, {}, *b};
  if (const auto* f = std::get_if<Bool>(&v)) return Value{Value::boolean, {}, f->value ? 1 : 0};
  return Value{};
}

std::string show(const Value& v) {
  switch (v.kind) {
    case Value::empty: return "Empty";
    case Value::text: return "\"" + narrow(v.string) + "\"";
    case Value::byte: return "Byte " + std::to_string(v.number);
    case Value::boolean: return v.number ? "True" : "False";
  }
  return "?";
}

Value value_of(const VARIANT& v) {
  const VARIANT* p = &v;
  while (p->vt == (VT_BYREF | VT_VARIANT)) p = p->pvarVal;
  switch (p->vt) {
    case VT_BSTR: return Value{Value::text, of_bstr(p->bstrVal), 0};
    case VT_BYREF | VT_BSTR: return Value{Value::text, of_bstr(*p->pbstrVal), 0};
    case VT_BOOL: return Value{Value::boolean, {}, p->boolVal != VARIANT_FALSE ? 1 : 0};
    case VT_UI1: return Value{Value::byte, {}, p->bVal};
    case VT_BYREF | VT_UI1: return Value{Value::byte, {}, *p->pbVal};
    case VT_I2: return Value{Value::byte, {}, p->iVal};
    case VT_EMPTY: return Value{};
    default: return Value{Value::text, L"<variant type " + std::to_wstring(p->vt) + L">", 0};
  }
}

struct Outcome {
  HRESULT hr = S_OK;
  std::wstring description;
  Value result;
  std::vector<Value> after;
};

std::wstring error_description() {
  IErrorInfo* info = nullptr;
  std::wstring text;
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    BSTR description = nullptr;
    if (SUCCEEDED(info->GetDescription(&description))) text = of_bstr(description);
    SysFreeString(description);
    info->Release();
  }
  return text;
}

// ---- calls through the table of operations ------------------------------------
// Every method of _Encryption is called through its slot in the interface's
// table of operations (after the 7 of IUnknown and IDispatch), with the
// argument types of its row: texts as references to BSTRs, bytes as
// references to bytes, the new value of a property by value, and a return
// slot when the row has a result.

Outcome call_vtable(_Encryption* e, const Case& c) {
  const Operation& op = operation_of(c);
  const auto params = op.params();
  const std::size_t n = c.args.size();
  std::vector<BSTR> texts(n, nullptr);
  std::vector<unsigned char> bytes(n, 0);
  std::vector<VARIANT> args(n + 1);
  std::vector<VARIANTARG*> pointers;
  std::vector<VARTYPE> types;
  for (std::size_t i = 0; i < n && i < params.size(); ++i) {
    VARIANT& a = args[i];
    VariantInit(&a);
    switch (params[i].type) {
      case ValueType::text: {
        const auto* s = std::get_if<std::string>(&c.args[i]);
        const std::wstring w = wide_of(s != nullptr ? *s : std::string());
        texts[i] = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
        a.vt = VT_BYREF | VT_BSTR;
        a.pbstrVal = &texts[i];
        break;
      }
      case ValueType::byte: {
        const auto* b = std::get_if<std::uint8_t>(&c.args[i]);
        bytes[i] = b != nullptr ? *b : 0;
        a.vt = VT_BYREF | VT_UI1;
        a.pbVal = &bytes[i];
        break;
      }
      default: {
        const auto* f = std::get_if<Bool>(&c.args[i]);
        a.vt = VT_BOOL;
        a.boolVal = f != nullptr && f->value ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      }
    }
    pointers.push_back(&a);
    types.push_back(a.vt);
  }
  BSTR text_result = nullptr;
  VARIANT variant_result;
  VariantInit(&variant_result);
  VARIANT_BOOL flag_result = VARIANT_FALSE;
  VARIANT& slot = args[n];
  VariantInit(&slot);
  if (op.result != ValueType::none) {
    switch (op.result) {
      case ValueType::text:
        slot.vt = VT_BYREF | VT_BSTR;
        slot.pbstrVal = &text_result;
        break;
      case ValueType::boolean:
        slot.vt = VT_BYREF | VT_BOOL;
        slot.pboolVal = &flag_result;
        break;
      default:
        slot.vt = VT_BYREF | VT_VARIANT;
        slot.pvarVal = &variant_result;
        break;
    }
    pointers.push_back(&slot);
    types.push_back(slot.vt);
  }
  const std::size_t index = static_cast<std::size_t>(&op - interface_table().data());
  Outcome out;
  SetErrorInfo(0, nullptr);
  VARIANT returned;
  VariantInit(&returned);
  const HRESULT called = DispCallFunc(e, (7 + index) * sizeof(void*), CC_STDCALL, VT_ERROR,
                                      static_cast<UINT>(pointers.size()), types.data(), pointers.data(),
                                      &returned);
  out.hr = FAILED(called) ? called : returned.scode;
  if (FAILED(out.hr)) out.description = error_description();
  if (op.result == ValueType::text) {
    // Methods that return a text return one even when it is empty.
    if (SUCCEEDED(out.hr) || text_result != nullptr) out.result = Value{Value::text, of_bstr(text_result), 0};
  } else if (op.result == ValueType::boolean) {
    out.result = Value{Value::boolean, {}, flag_result != VARIANT_FALSE ? 1 : 0};
  } else if (variant_result.vt != VT_EMPTY) {
    out.result = value_of(variant_result);
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (std::holds_alternative<std::string>(c.args[i])) {
      out.after.push_back(Value{Value::text, of_bstr(texts[i]), 0});
    } else {
      out.after.push_back(expected_value(c.args[i]));
    }
    SysFreeString(texts[i]);
  }
  SysFreeString(text_result);
  VariantClear(&variant_result);
  return out;
}

// ---- calls through IDispatch ------------------------------------------------------
// By dispatch id, texts go as references to BSTRs and bytes as references
// to bytes (what a compiled host sends); by name, every argument is a
// reference to a variant (what a script engine sends), numbers as 16-bit
// integers, and the name is looked up in lower case.

Outcome call_dispatch(IDispatch* d, const Case& c, bool by_name) {
  const std::size_t n = c.args.size();
  std::vector<BSTR> texts(n, nullptr);
  std::vector<unsigned char> bytes(n, 0);
  std::vector<VARIANT> inner(n);
  std::vector<VARIANT> args(n);
  for (std::size_t i = 0; i < n; ++i) {
    VariantInit(&inner[i]);
    VariantInit(&args[i]);
  }
  for (std::size_t i = 0; i < n; ++i) {
    VARIANT& slot = args[n - 1 - i];  // last argument first
    if (const auto* s = std::get_if<std::string>(&c.args[i])) {
      const std::wstring w = wide_of(*s);
      texts[i] = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
      if (by_name) {
        inner[i].vt = VT_BSTR;
        inner[i].bstrVal = texts[i];
        texts[i] = nullptr;
        slot.vt = VT_BYREF | VT_VARIANT;
        slot.pvarVal = &inner[i];
      } else {
        slot.vt = VT_BYREF | VT_BSTR;
        slot.pbstrVal = &texts[i];
      }
    } else if (const auto* b = std::get_if<std::uint8_t>(&c.args[i])) {
      bytes[i] = *b;
      if (by_name) {
        inner[i].vt = VT_I2;
        inner[i].iVal = *b;
        slot.vt = VT_BYREF | VT_VARIANT;
        slot.pvarVal = &inner[i];
      } else {
        slot.vt = VT_BYREF | VT_UI1;
        slot.pbVal = &bytes[i];
      }
    } else if (const auto* f = std::get_if<Bool>(&c.args[i])) {
      slot.vt = VT_BOOL;
      slot.boolVal = f->value ? VARIANT_TRUE : VARIANT_FALSE;
    }
  }
  Outcome out;
  DISPID dispid = DISPID_UNKNOWN;
  if (by_name) {
    std::wstring name = widen(c.name);
    for (wchar_t& ch : name) ch = static_cast<wchar_t>(towlower(ch));
    LPOLESTR names[] = {name.data()};
    out.hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
  } else {
    dispid = find_dispid(c.name).value_or(DISPID_UNKNOWN);
  }
  const bool put = c.kind == InvokeKind::property_put;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{n != 0 ? args.data() : nullptr, put ? &named : nullptr, static_cast<UINT>(n),
                    put ? 1u : 0u};
  WORD flags = put ? DISPATCH_PROPERTYPUT
                   : (c.kind == InvokeKind::property_get
                          ? DISPATCH_PROPERTYGET
                          : (by_name ? DISPATCH_METHOD | DISPATCH_PROPERTYGET : DISPATCH_METHOD));
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception{};
  UINT argument_error = 0;
  if (SUCCEEDED(out.hr)) {
    out.hr = d->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &exception,
                       &argument_error);
  }
  if (out.hr == DISP_E_EXCEPTION) {
    out.hr = exception.scode;
    out.description = of_bstr(exception.bstrDescription);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
  }
  out.result = value_of(result);
  VariantClear(&result);
  for (std::size_t i = 0; i < n; ++i) {
    if (std::holds_alternative<std::string>(c.args[i])) {
      out.after.push_back(value_of(args[n - 1 - i]));
    } else {
      out.after.push_back(expected_value(c.args[i]));
    }
    VariantClear(&inner[i]);
    SysFreeString(texts[i]);
  }
  return out;
}

// ---- the case file ------------------------------------------------------------

std::optional<std::string> read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

constexpr const char* message_log = "qf_messages.log";

int run_cases(const std::string& mode, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::printf("FAIL: cannot read %s\n", path.c_str());
    return 1;
  }
  std::vector<Case> cases;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    cases.push_back(wintest::parse_case(line));
  }
  CLSID clsid{};
  check(SUCCEEDED(CLSIDFromProgID(L"quillfern.Encryption", &clsid)) &&
            clsid == CLSID_Encryption,
        "the ProgID names the class");
  _Encryption* control = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_Encryption, nullptr, CLSCTX_INPROC_SERVER, IID__Encryption,
                                reinterpret_cast<void**>(&control));
  check(SUCCEEDED(hr), "CoCreateInstance");
  if (FAILED(hr)) return 1;
  std::remove(message_log);
  int index = 0;
  for (const Case& c : cases) {
    ++index;
    for (const auto& file : c.files_before) {
      std::ofstream(file.name, std::ios::binary) << file.content.value_or("");
    }
    const Outcome out = mode == "vtable" ? call_vtable(control, c)
                                         : call_dispatch(control, c, mode == "name");
    const std::string label = mode + " case " + std::to_string(index) + " " + c.name;
    const HRESULT want = c.error == 0 ? S_OK : static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(c.error));
    check(out.hr == want, label + ": result code " + std::to_string(out.hr) + ", expected error " +
                              std::to_string(c.error));
    if (c.error != 0) {
      check(out.description == wide_of(c.description),
            label + ": description \"" + narrow(out.description) + "\"");
    } else {
      const Value want_result = expected_value(c.result);
      check(out.result == want_result,
            label + ": returned " + show(out.result) + ", expected " + show(want_result));
    }
    for (std::size_t i = 0; i < c.after.size(); ++i) {
      const Value want_after = expected_value(c.after[i]);
      check(out.after[i] == want_after, label + ": argument " + std::to_string(i + 1) + " is " +
                                            show(out.after[i]) + ", expected " + show(want_after));
    }
    std::string messages;
    for (const auto& m : c.messages) messages += "[" + std::to_string(m.style) + "] " + m.title + ": " + m.text + "\n";
    check(read_file(message_log).value_or("") == messages, label + ": messages shown");
    std::remove(message_log);
    for (const auto& file : c.files_after) {
      const auto content = read_file(file.name);
      check(content == file.content, label + ": file " + file.name);
      std::remove(file.name.c_str());
    }
  }
  control->Release();
  return 0;
}

// ---- the type library ---------------------------------------------------------

std::wstring documentation(ITypeInfo* info, MEMBERID id, std::wstring* help = nullptr) {
  BSTR name = nullptr;
  BSTR doc = nullptr;
  std::wstring out;
  if (SUCCEEDED(info->GetDocumentation(id, &name, &doc, nullptr, nullptr))) {
    out = of_bstr(name);
    if (help != nullptr) *help = of_bstr(doc);
  }
  SysFreeString(name);
  SysFreeString(doc);
  return out;
}

std::vector<std::wstring> names_of(ITypeInfo* info, MEMBERID id) {
  BSTR names[8] = {};
  UINT count = 0;
  std::vector<std::wstring> out;
  if (SUCCEEDED(info->GetNames(id, names, 8, &count))) {
    for (UINT i = 0; i < count; ++i) {
      out.push_back(of_bstr(names[i]));
      SysFreeString(names[i]);
    }
  }
  return out;
}

void check_interface(ITypeInfo* dispatch) {
  TYPEATTR* attr = nullptr;
  dispatch->GetTypeAttr(&attr);
  check(attr->typekind == TKIND_DISPATCH, "_Encryption is seen as a dispatch interface");
  const WORD want_flags = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE |
                          TYPEFLAG_FDISPATCHABLE;
  check((attr->wTypeFlags & want_flags) == want_flags, "_Encryption is dual, hidden, not extensible");
  dispatch->ReleaseTypeAttr(attr);
  check(documentation(dispatch, MEMBERID_NIL) == widen(identity::interface_name), "_Encryption's name");

  // The table of operations: the interface half of the dual interface.
  HREFTYPE ref = 0;
  ITypeInfo* table = nullptr;
  if (FAILED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) ||
      FAILED(dispatch->GetRefTypeInfo(ref, &table))) {
    check(false, "_Encryption has its table of operations");
    return;
  }
  table->GetTypeAttr(&attr);
  const auto operations = interface_table();
  check(attr->typekind == TKIND_INTERFACE && attr->cFuncs == operations.size(),
        "_Encryption has " + std::to_string(operations.size()) + " operations");
  const UINT count = attr->cFuncs;
  table->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count && i < operations.size(); ++i) {
    const Operation& op = operations[i];
    FUNCDESC* f = nullptr;
    table->GetFuncDesc(i, &f);
    const std::string label = "operation " + std::to_string(op.order) + " " + std::string(op.name);
    check(f->memid == op.dispid, label + ": dispatch id");
    // The reader gives table offsets in its own pointer size, whatever
    // architecture the library was built for.
    check(f->oVft == static_cast<short>((7 + i) * sizeof(void*)),
          label + ": place in the table (" + std::to_string(f->oVft) + ")");
    const INVOKEKIND kind = op.kind == InvokeKind::property_get   ? INVOKE_PROPERTYGET
                            : op.kind == InvokeKind::property_put ? INVOKE_PROPERTYPUT
                                                                  : INVOKE_FUNC;
    check(f->invkind == kind, label + ": kind");
    const bool has_result = op.result != ValueType::none && op.kind != InvokeKind::property_get;
    const std::size_t want_params = op.parameter_count + (has_result || op.kind == InvokeKind::property_get ? 1 : 0);
    check(static_cast<std::size_t>(f->cParams) == want_params, label + ": parameter count");
    const std::vector<std::wstring> names = names_of(table, f->memid);
    check(!names.empty() && names[0] == widen(op.name), label + ": name");
    if (op.kind == InvokeKind::method) {
      for (std::size_t p = 0; p < op.parameter_count && p < static_cast<std::size_t>(f->cParams); ++p) {
        const ELEMDESC& e = f->lprgelemdescParam[p];
        check(names.size() > p + 1 && names[p + 1] == widen(op.parameters[p].name),
              label + ": parameter " + std::string(op.parameters[p].name));
        check(e.tdesc.vt == VT_PTR, label + ": " + std::string(op.parameters[p].name) + " by reference");
        const USHORT in_out = PARAMFLAG_FIN | PARAMFLAG_FOUT;
        check((e.paramdesc.wParamFlags & in_out) == in_out,
              label + ": " + std::string(op.parameters[p].name) + " in and out");
      }
    }
    table->ReleaseFuncDesc(f);
  }
  table->Release();
}

int check_typelib(const std::wstring& dll) {
  ITypeLib* library = nullptr;
  if (FAILED(LoadTypeLibEx(dll.c_str(), REGKIND_NONE, &library))) {
    check(false, "the DLL carries a type library");
    return 1;
  }
  TLIBATTR* attr = nullptr;
  library->GetLibAttr(&attr);
  check(guid_text(attr->guid) == widen(identity::library_guid), "library identifier");
  check(attr->wMajorVerNum == identity::library_version_major &&
            attr->wMinorVerNum == identity::library_version_minor,
        "library version 34.0");
  check(attr->lcid == identity::library_locale, "library locale 1033");
  // A library built for the other architecture is read all the same; only
  // the registered one must match this client's.
  const bool native = attr->syskind == (sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  std::printf("type library for %s\n", attr->syskind == SYS_WIN64 ? "win64" : "win32");
  library->ReleaseTLibAttr(attr);
  BSTR name = nullptr;
  BSTR help = nullptr;
  library->GetDocumentation(-1, &name, &help, nullptr, nullptr);
  check(of_bstr(name) == widen(identity::library_name), "library name");
  check(of_bstr(help) == widen(identity::library_help), "library help string");
  SysFreeString(name);
  SysFreeString(help);

  // Exactly one creatable class, Encryption, marked as a control.
  int creatable = 0;
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    ITypeInfo* info = nullptr;
    library->GetTypeInfo(i, &info);
    TYPEATTR* a = nullptr;
    info->GetTypeAttr(&a);
    if (a->typekind == TKIND_COCLASS && (a->wTypeFlags & TYPEFLAG_FCANCREATE) != 0) ++creatable;
    info->ReleaseTypeAttr(a);
    info->Release();
  }
  check(creatable == 1, "one creatable class");

  ITypeInfo* info = nullptr;
  if (SUCCEEDED(library->GetTypeInfoOfGuid(guid_of(identity::class_guid), &info))) {
    TYPEATTR* a = nullptr;
    info->GetTypeAttr(&a);
    check(a->typekind == TKIND_COCLASS && (a->wTypeFlags & TYPEFLAG_FCONTROL) != 0 && a->cImplTypes == 2,
          "Encryption is a control class with two interfaces");
    info->ReleaseTypeAttr(a);
    check(documentation(info, MEMBERID_NIL) == widen(identity::class_name), "class name");
    for (UINT i = 0; i < 2; ++i) {
      INT flags = 0;
      HREFTYPE ref = 0;
      ITypeInfo* implemented = nullptr;
      info->GetImplTypeFlags(i, &flags);
      info->GetRefTypeOfImplType(i, &ref);
      info->GetRefTypeInfo(ref, &implemented);
      TYPEATTR* ia = nullptr;
      implemented->GetTypeAttr(&ia);
      const bool source = (flags & IMPLTYPEFLAG_FSOURCE) != 0;
      check((flags & IMPLTYPEFLAG_FDEFAULT) != 0, "class interfaces are the defaults");
      check(guid_text(ia->guid) == widen(source ? identity::events_guid : identity::interface_guid),
            source ? "default source interface __Encryption" : "default interface _Encryption");
      implemented->ReleaseTypeAttr(ia);
      implemented->Release();
    }
    info->Release();
  } else {
    check(false, "the class Encryption");
  }

  if (SUCCEEDED(library->GetTypeInfoOfGuid(guid_of(identity::interface_guid), &info))) {
    check_interface(info);
    info->Release();
  } else {
    check(false, "the interface _Encryption");
  }

  if (SUCCEEDED(library->GetTypeInfoOfGuid(guid_of(identity::events_guid), &info))) {
    TYPEATTR* a = nullptr;
    info->GetTypeAttr(&a);
    check(a->typekind == TKIND_DISPATCH && a->cFuncs == 1, "__Encryption has one event");
    info->ReleaseTypeAttr(a);
    check(documentation(info, MEMBERID_NIL) == widen(identity::events_name), "__Encryption's name");
    FUNCDESC* f = nullptr;
    info->GetFuncDesc(0, &f);
    std::wstring event_help;
    check(f->memid == identity::hide_event_dispid && f->cParams == 0, "Hide: dispatch id 1, no arguments");
    check(documentation(info, f->memid, &event_help) == widen(identity::hide_event_name), "Hide's name");
    check(event_help == widen(identity::hide_event_help), "Hide's help string");
    info->ReleaseFuncDesc(f);
    info->Release();
  } else {
    check(false, "the event interface __Encryption");
  }

  // OpenLink and WINDOW_STATES, found by name.
  bool found_link = false;
  bool found_states = false;
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    library->GetTypeInfo(i, &info);
    const std::wstring type_name = documentation(info, MEMBERID_NIL);
    TYPEATTR* a = nullptr;
    info->GetTypeAttr(&a);
    if (type_name == L"OpenLink") {
      found_link = true;
      std::vector<std::wstring> members;
      for (UINT k = 0; k < a->cFuncs; ++k) {
        FUNCDESC* f = nullptr;
        info->GetFuncDesc(k, &f);
        for (const std::wstring& member : names_of(info, f->memid)) members.push_back(member);
        info->ReleaseFuncDesc(f);
      }
      bool execute = false;
      for (std::size_t k = 0; k + 3 < members.size(); ++k) {
        execute = execute || (members[k] == L"ExecuteLink" && members[k + 1] == L"pstrLINK" &&
                              members[k + 2] == L"ShowCmd" && members[k + 3] == L"StartingFolder");
      }
      check(execute, "OpenLink has ExecuteLink(pstrLINK, ShowCmd, StartingFolder)");
      check(std::find(members.begin(), members.end(), L"Link") != members.end(), "OpenLink has Link");
    }
    if (type_name == L"WINDOW_STATES") {
      found_states = a->typekind == TKIND_ENUM && a->cVars == 3;
      for (UINT k = 0; k < a->cVars; ++k) {
        VARDESC* v = nullptr;
        info->GetVarDesc(k, &v);
        const std::wstring member = documentation(info, v->memid);
        const long value = v->lpvarValue != nullptr ? v->lpvarValue->lVal : -1;
        static const wchar_t* const expected[] = {L"SW_SHOWNORMAL", L"SW_SHOWMINIMIZED", L"SW_SHOWMAXIMIZED"};
        check(member == expected[k] && value == static_cast<long>(k + 1),
              "WINDOW_STATES member " + narrow(member));
        info->ReleaseVarDesc(v);
      }
    }
    info->ReleaseTypeAttr(a);
    info->Release();
  }
  check(found_link, "the OpenLink interface");
  check(found_states, "the WINDOW_STATES enumeration");
  library->Release();

  if (!native) return 0;
  // Registered, the library is found by its identifier and version.
  ITypeLib* registered = nullptr;
  check(SUCCEEDED(LoadRegTypeLib(guid_of(identity::library_guid), identity::library_version_major,
                                 identity::library_version_minor, identity::library_locale,
                                 &registered)),
        "the registered type library loads");
  if (registered != nullptr) registered->Release();
  return 0;
}

// ---- the registry -------------------------------------------------------------

std::optional<std::wstring> registry_value(const std::wstring& key, const wchar_t* name = nullptr) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  wchar_t buffer[1024] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS) return std::wstring();
  return std::wstring(buffer);
}

bool key_exists(const std::wstring& key) { return registry_value(key).has_value(); }

std::vector<std::wstring> server_keys() {
  const std::wstring clsid = L"CLSID\\" + widen(identity::class_guid);
  return {clsid,
          L"quillfern.Encryption",
          L"TypeLib\\" + widen(identity::library_guid),
          L"Interface\\" + widen(identity::interface_guid),
          L"Interface\\" + widen(identity::events_guid)};
}

int check_registered(const std::wstring& dll) {
  const std::wstring clsid = L"CLSID\\" + widen(identity::class_guid);
  for (const std::wstring& key : server_keys()) check(key_exists(key), "key " + narrow(key));
  const auto server = registry_value(clsid + L"\\InprocServer32");
  check(server && _wcsicmp(server->c_str(), dll.c_str()) == 0, "InprocServer32 names the DLL");
  check(registry_value(clsid + L"\\InprocServer32", L"ThreadingModel") == L"Apartment", "apartment threaded");
  check(registry_value(clsid + L"\\ProgID") == L"quillfern.Encryption", "ProgID key");
  check(registry_value(clsid + L"\\TypeLib") == widen(identity::library_guid), "TypeLib key");
  check(registry_value(clsid + L"\\Version") == L"22.0", "Version key (hexadecimal 34.0)");
  check(key_exists(clsid + L"\\Control"), "Control key");
  check(registry_value(clsid + L"\\ToolboxBitmap32") == dll + L", 30000", "ToolboxBitmap32 key");
  check(registry_value(L"quillfern.Encryption\\CLSID") == widen(identity::class_guid), "ProgID's class");
  check(key_exists(L"TypeLib\\" + widen(identity::library_guid) + L"\\22.0\\409\\" +
                   (sizeof(void*) == 8 ? L"win64" : L"win32")),
        "type library registered for locale 1033");
  // The toolbox image is resource 30000, 16 by 15 pixels at 24 bits.
  HMODULE module = LoadLibraryExW(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(identity::toolbox_bitmap_resource),
                                       reinterpret_cast<LPCWSTR>(RT_BITMAP))
                       : nullptr;
  const auto* header = found ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found))) : nullptr;
  check(header != nullptr && header->biWidth == 16 && header->biHeight == 15 && header->biBitCount == 24,
        "toolbox bitmap 30000 is 16 by 15 at 24 bits");
  if (module) FreeLibrary(module);
  return 0;
}

// What the user's keys (HKEY_CURRENT_USER\Software\Classes) lead to: the
// ProgID to the class, the class to the DLL, and that DLL's class object
// to a control whose convert works. Component-object creation looks there
// by itself on Windows; Wine's classes root does not read the user's keys,
// so this follows them as the system would.
int check_user_registration(const std::wstring& dll) {
  auto user_value = [](const std::wstring& key) -> std::optional<std::wstring> {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    const std::wstring path = L"Software\\Classes\\" + key;
    if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    return std::wstring(buffer);
  };
  const std::wstring clsid = widen(identity::class_guid);
  check(user_value(L"quillfern.Encryption\\CLSID") == clsid, "the user's ProgID names the class");
  const auto server = user_value(L"CLSID\\" + clsid + L"\\InprocServer32");
  check(server && _wcsicmp(server->c_str(), dll.c_str()) == 0, "the user's InprocServer32 names the DLL");
  if (!server) return 1;
  HMODULE module = LoadLibraryW(server->c_str());
  check(module != nullptr, "the DLL the user's keys name loads");
  if (module == nullptr) return 1;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  GetClassObject get = nullptr;
  const FARPROC found = GetProcAddress(module, "DllGetClassObject");
  std::memcpy(&get, &found, sizeof get);
  IClassFactory* factory = nullptr;
  check(get != nullptr && SUCCEEDED(get(CLSID_Encryption, IID_IClassFactory, reinterpret_cast<void**>(&factory))),
        "its class object");
  _Encryption* control = nullptr;
  if (factory != nullptr) {
    check(SUCCEEDED(factory->CreateInstance(nullptr, IID__Encryption, reinterpret_cast<void**>(&control))),
          "the control is created");
    factory->Release();
  }
  if (control != nullptr) {
    BSTR in = SysAllocString(L"abc");
    BSTR out = nullptr;
    check(SUCCEEDED(control->convert(&in, &out)) && of_bstr(out) == L"616263", "convert \"abc\" gives 616263");
    SysFreeString(in);
    SysFreeString(out);
    control->Release();
  }
  return 0;
}

int check_unregistered() {
  for (const std::wstring& key : server_keys()) check(!key_exists(key), "no key " + narrow(key));
  IUnknown* object = nullptr;
  const HRESULT hr = CoCreateInstance(CLSID_Encryption, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&object));
  check(hr == REGDB_E_CLASSNOTREG, "the class is no longer creatable");
  if (object != nullptr) object->Release();
  return 0;
}

// Shows the About window, lets it fill its band, closes it with a key and
// checks that it is gone. Without forms in the library, About answers 445
// and the check is skipped.
int check_about() {
  _Encryption* control = nullptr;
  CoCreateInstance(CLSID_Encryption, nullptr, CLSCTX_INPROC_SERVER, IID__Encryption,
                   reinterpret_cast<void**>(&control));
  if (control == nullptr) {
    check(false, "the control can be created");
    return 1;
  }
  const HRESULT hr = control->About();
  if (hr == static_cast<HRESULT>(0x800A01BD)) {
    std::printf("About is not available in this build: skipped\n");
    control->Release();
    return 0;
  }
  check(SUCCEEDED(hr), "About shows the window without waiting");
  auto pump = [](DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      Sleep(20);
    }
  };
  pump(1500);
  HWND window = FindWindowA("QuillfernForm", nullptr);
  check(window != nullptr && IsWindowVisible(window), "the About window is on the screen");
  char title[128] = {};
  if (window != nullptr) GetWindowTextA(window, title, sizeof title);
  check(std::string(title).find("Quillfern") != std::string::npos, std::string("its title: ") + title);
  check(SUCCEEDED(control->About()) && FindWindowA("QuillfernForm", nullptr) == window,
        "a second About shows the same window");
  if (const char* shot = std::getenv("QUILLFERN_ABOUT_PAUSE")) pump(static_cast<DWORD>(std::atoi(shot)));
  if (window != nullptr) PostMessageA(window, WM_CHAR, 'x', 0);
  pump(500);
  check(FindWindowA("QuillfernForm", nullptr) == nullptr, "a key closes the About window");
  control->Release();
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::printf("usage: quillfern_client cases|typelib|registered|user|object|unregistered|display ...\n");
    return 2;
  }
  CoInitialize(nullptr);
  SetEnvironmentVariableA("QUILLFERN_MESSAGE_LOG", message_log);
  const std::wstring mode = argv[1];
  const std::wstring arg = argc > 2 ? argv[2] : L"";
  std::printf("code page %u\n", GetACP());
  try {
    if (mode == L"cases" && argc > 3) {
      run_cases(narrow(argv[2]), narrow(argv[3]));
    } else if (mode == L"typelib") {
      check_typelib(arg);
    } else if (mode == L"registered") {
      check_registered(arg);
    } else if (mode == L"object") {
      check_object(arg);
    } else if (mode == L"user") {
      check_user_registration(arg);
    } else if (mode == L"unregistered") {
      check_unregistered();
    } else if (mode == L"display") {
      check_embedding();
      check_about();
    } else {
      std::printf("usage: quillfern_client cases|typelib|registered|user|object|unregistered|display ...\n");
      return 2;
    }
  } catch (const std::exception& error) {
    check(false, std::string("exception: ") + error.what());
  }
  CoUninitialize();
  std::printf("%s: %d passed, %d failed\n", narrow(mode).c_str(), successes(), failures());
  return failures() == 0 ? 0 : 1;
}
