// The Encryption control as a component object: the dual interface
// _Encryption over the library's control, its dispatch (which also takes
// arguments by reference to variants, as script engines pass them), error
// information, class information, the Hide event and property-change
// notifications through connection points, persistence of Enabled through
// property bags and streams, and the embedding interfaces that let a
// container site the control and draw its face.
#pragma once

#include <atomic>

#include "quillfern/control/encryption.hpp"
#include "quillfern/platform/container.hpp"
#include "windows/server/connection_point.hpp"
#include "windows/server/typelib.hpp"

namespace quillfern::server {

class EncryptionObject final : public _Encryption,
                               public ISupportErrorInfo,
                               public IProvideClassInfo2,
                               public IConnectionPointContainer,
                               public IPersistPropertyBag,
                               public IPersistStreamInit,
                               public IOleObject,
                               public IViewObject2,
                               public IOleInPlaceObject,
                               public IOleControl,
                               private platform::Container {
 public:
  EncryptionObject();
  ~EncryptionObject();
  EncryptionObject(const EncryptionObject&) = delete;
  EncryptionObject& operator=(const EncryptionObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument_error) override;

  // _Encryption, in the published order
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* Enabled) override;
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL Enabled) override;
  HRESULT STDMETHODCALLTYPE About() override;
  HRESULT STDMETHODCALLTYPE EncryptPassword(unsigned char* Number, BSTR* DecryptedPassword,
                                            BSTR* OutPut) override;
  HRESULT STDMETHODCALLTYPE DecryptPassword(unsigned char* Number, BSTR* EncryptedPassword,
                                            BSTR* OutPut) override;
  HRESULT STDMETHODCALLTYPE convert(BSTR* InPutString, BSTR* OutPut) override;
  HRESULT STDMETHODCALLTYPE DeConvert(BSTR* InPutString, BSTR* OutPut) override;
  HRESULT STDMETHODCALLTYPE EasyCryptEnCode(BSTR* InPutString, BSTR* OutPut) override;
  HRESULT STDMETHODCALLTYPE EasyCryptDeCode(BSTR* InPutString, BSTR* OutPut) override;
  HRESULT STDMETHODCALLTYPE EncodeDecodeFile(BSTR* InputFile, BSTR* OutputFile,
                                             BSTR* Password) override;
  HRESULT STDMETHODCALLTYPE PowerEncryption(BSTR* InPutString, BSTR* result) override;
  HRESULT STDMETHODCALLTYPE FastBlowFish(BSTR* InPutString, BSTR* OutPut, BSTR* Password) override;
  HRESULT STDMETHODCALLTYPE SeedEncryption(BSTR* InPutString, BSTR* SeedPassword,
                                           BSTR* result) override;
  HRESULT STDMETHODCALLTYPE TextBoxCrypt(BSTR* InPutText, BSTR* Password, VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE TextBoxDeCrypt(BSTR* InPutText, BSTR* Password,
                                           VARIANT* result) override;
  HRESULT STDMETHODCALLTYPE DeCipherText(BSTR* CipherString, BSTR* Password, BSTR* result) override;
  HRESULT STDMETHODCALLTYPE EnCipherText(BSTR* CipherInString, BSTR* Password,
                                         BSTR* result) override;
  HRESULT STDMETHODCALLTYPE WipeFileClean(BSTR* FileName) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

  // IPersist, IPersistPropertyBag, IPersistStreamInit
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clear_dirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR application, LPCOLESTR document) override;
  HRESULT STDMETHODCALLTYPE Close(DWORD save_option) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* active_site,
                                   LONG index, HWND parent, LPCRECT position) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
  HRESULT STDMETHODCALLTYPE Update() override;
  HRESULT STDMETHODCALLTYPE IsUpToDate() override;
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

  // IViewObject, IViewObject2
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* device,
                                 HDC target, HDC hdc, LPCRECTL bounds, LPCRECTL window_bounds,
                                 BOOL(STDMETHODCALLTYPE* keep_going)(ULONG_PTR),
                                 ULONG_PTR keep_going_argument) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspect_info,
                                        DVTARGETDEVICE* device, HDC target,
                                        LOGPALETTE** colors) override;
  HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspect_info, DWORD* freeze) override;
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                      LPSIZEL size) override;

  // IOleWindow, IOleInPlaceObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* message) override;
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispid) override;
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

 private:
  // platform::Container: what the library's control tells its container.
  void property_changed(std::string_view name) override;
  void event_raised(std::int32_t dispid, std::string_view name) override;

  HRESULT in_place_activate(IOleClientSite* site, LPCRECT position);

  // A method of the table of operations: the row of `Method` called with
  // the method's arguments (and its return slot, when it has one).
  template <auto Method, typename... Arguments>
  HRESULT through_table(Arguments... arguments) noexcept;

  std::atomic<ULONG> references_{1};
  Encryption control_;
  bool dirty_ = false;
  long frozen_events_ = 0;
  ConnectionPoint events_;
  ConnectionPoint property_notify_;

  IOleClientSite* site_ = nullptr;
  IOleAdviseHolder* ole_advise_ = nullptr;
  IAdviseSink* view_advise_ = nullptr;
  DWORD view_advise_aspects_ = 0;
  DWORD view_advise_flags_ = 0;
  SIZEL extent_;  // HIMETRIC
  IOleInPlaceSite* in_place_site_ = nullptr;
  HWND window_ = nullptr;
};

// Draws the control's face, Label1 "Quillfern OCX", into `bounds` of `hdc`.
void draw_face(HDC hdc, const RECT& bounds);

}  // namespace quillfern::server
