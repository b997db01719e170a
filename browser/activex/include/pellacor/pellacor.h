#pragma once
// Exports of the Pellacor control module (an in-process COM server).

#include <cstdint>

#include "fvplatform/com_interfaces.h"

#define PELLACOR_API __attribute__((visibility("default")))

extern "C" {
PELLACOR_API HRESULT DllRegisterServer();
PELLACOR_API HRESULT DllUnregisterServer();
// The class factory of the control for its CLSID; CLASS_E_CLASSNOTAVAILABLE and a null object
// for any other.
PELLACOR_API HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object);
// S_OK when no object of the module lives and no lock is held, else S_FALSE.
PELLACOR_API HRESULT DllCanUnloadNow();
}

// A record of four 32-bit fields whose copy assignment the module exports; nothing calls it.
struct PELLACOR_API FaceDetectAlign {
  std::int32_t field0;
  std::int32_t field1;
  std::int32_t field2;
  std::int32_t field3;
  FaceDetectAlign& operator=(const FaceDetectAlign& other);
};
