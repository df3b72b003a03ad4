/* Creates quillfern.Encryption with nothing registered: through the
 * activation context of the DLL's side-by-side manifest (as VBA's
 * Microsoft.Windows.ActCtx does with its Manifest property), or, with no
 * argument, through the activation context of this program's own manifest
 * (regfree.exe.manifest beside it). Then calls convert by name through
 * IDispatch and checks its answer.
 * usage: regfree.exe [MANIFEST] */
#define COBJMACROS
#include <stdio.h>
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

int wmain(int argc, wchar_t **argv) {
  HANDLE context = INVALID_HANDLE_VALUE;
  ULONG_PTR cookie = 0;
  CLSID clsid;
  IDispatch *control = NULL;
  OLECHAR *name = L"convert";
  DISPID id;
  VARIANT args[2], hex, result;
  DISPPARAMS params;
  HRESULT hr;
  int ok;
  if (argc > 1) {
    ACTCTXW actctx;
    ZeroMemory(&actctx, sizeof actctx);
    actctx.cbSize = sizeof actctx;
    actctx.lpSource = argv[1];
    context = CreateActCtxW(&actctx);
    if (context == INVALID_HANDLE_VALUE) {
      printf("CreateActCtx failed: %lu\n", GetLastError());
      return 1;
    }
    if (!ActivateActCtx(context, &cookie)) {
      printf("ActivateActCtx failed: %lu\n", GetLastError());
      return 1;
    }
  }
  CoInitialize(NULL);
  hr = CLSIDFromProgID(L"quillfern.Encryption", &clsid);
  if (FAILED(hr)) {
    printf("CLSIDFromProgID: 0x%08lx\n", (unsigned long)hr);
    return 1;
  }
  hr = CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IDispatch, (void **)&control);
  if (FAILED(hr)) {
    printf("CoCreateInstance: 0x%08lx\n", (unsigned long)hr);
    return 1;
  }
  hr = IDispatch_GetIDsOfNames(control, &IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    printf("GetIDsOfNames: 0x%08lx\n", (unsigned long)hr);
    return 1;
  }
  VariantInit(&hex);
  VariantInit(&result);
  /* Arguments in reverse order: OutPut by reference, then InPutString. */
  VariantInit(&args[0]);
  V_VT(&args[0]) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&args[0]) = &hex;
  VariantInit(&args[1]);
  V_VT(&args[1]) = VT_BSTR;
  V_BSTR(&args[1]) = SysAllocString(L"abc");
  params.rgvarg = args;
  params.cArgs = 2;
  params.rgdispidNamedArgs = NULL;
  params.cNamedArgs = 0;
  hr = IDispatch_Invoke(control, id, &IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, NULL, NULL);
  ok = SUCCEEDED(hr) && V_VT(&hex) == VT_BSTR && lstrcmpW(V_BSTR(&hex), L"616263") == 0;
  printf("%s: convert \"abc\" gives %ls (0x%08lx)\n", argc > 1 ? "ActCtx from the DLL's manifest" : "the program's manifest",
         V_VT(&hex) == VT_BSTR ? V_BSTR(&hex) : L"(no text)", (unsigned long)hr);
  VariantClear(&args[1]);
  VariantClear(&hex);
  IDispatch_Release(control);
  CoUninitialize();
  if (context != INVALID_HANDLE_VALUE) {
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(context);
  }
  return ok ? 0 : 1;
}
