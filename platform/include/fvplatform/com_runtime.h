#pragma once
// Creating objects of in-process servers through the registry stand-in:
// ProgID -> CLSID -> InprocServer32 module -> dlopen -> DllGetClassObject -> IClassFactory.
// There is no marshalling: an object is called on the thread that made it, as an
// apartment-threaded control expects of its container.

#include <cstddef>

#include "fvplatform/com_interfaces.h"

// What an in-process server exports.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID riid, void** object);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

extern "C" {
// S_OK for the first call on a thread, S_FALSE for a nested one.
FVPLAT_API HRESULT CoInitialize(void* reserved);
FVPLAT_API void CoUninitialize();
// REGDB_E_CLASSNOTREG when the class or its module is not registered, CO_E_DLLNOTFOUND when
// the module cannot be loaded, CO_E_ERRORINDLL when it lacks DllGetClassObject.
FVPLAT_API HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID riid,
                                    void** object);
FVPLAT_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid,
                                    void** object);
// CO_E_CLASSSTRING when the ProgID is not registered.
FVPLAT_API HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);
FVPLAT_API HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
// Writes the braced form with its terminating zero; answers the characters written, 0 when
// `size` is too small.
FVPLAT_API int StringFromGUID2(REFGUID guid, LPOLESTR text, int size);
// Memory handed across an interface: the receiver frees it with CoTaskMemFree.
FVPLAT_API void* CoTaskMemAlloc(std::size_t size);
FVPLAT_API void CoTaskMemFree(void* memory);
// Unloads every loaded server whose DllCanUnloadNow answers S_OK.
FVPLAT_API void CoFreeUnusedLibraries();
}
