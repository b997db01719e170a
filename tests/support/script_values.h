#pragma once
// Automation values as a caller makes them: a 32-bit integer, a text. The caller clears them.

#include <cstdint>

#include "fvplatform/oleauto.h"

namespace fvtest {

inline VARIANT Int(std::int32_t value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

inline VARIANT Text(const char* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = fvplat::BstrFromUtf8(text);
  return v;
}

}  // namespace fvtest
