#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "fvplatform/oleauto.h"

extern "C" {

void VariantInit(VARIANT* value) {
  if (value == nullptr) return;
  *value = VARIANT{};
  value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value) {
  if (value == nullptr) return E_INVALIDARG;
  switch (value->vt) {
    case VT_BSTR:
      SysFreeString(value->bstrVal);
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (value->punkVal != nullptr) value->punkVal->Release();
      break;
    default:
      break;
  }
  VariantInit(value);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* target, const VARIANT* source) {
  if (target == nullptr || source == nullptr) return E_INVALIDARG;
  if (target == source) return S_OK;
  VARIANT copy = *source;
  if (source->vt == VT_BSTR && source->bstrVal != nullptr) {
    copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
    if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
  } else if ((source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH) && source->punkVal != nullptr) {
    source->punkVal->AddRef();
  }
  VariantClear(target);
  *target = copy;
  return S_OK;
}

}  // extern "C"

namespace {

const VARIANT& Deref(const VARIANT& value) {
  if (value.vt == (VT_VARIANT | VT_BYREF) && value.pvarVal != nullptr) return *value.pvarVal;
  return value;
}

// The source as a double, for the numeric targets.
bool AsNumber(const VARIANT& value, double& number) {
  switch (value.vt) {
    case VT_EMPTY: number = 0; return true;
    case VT_I2: number = value.iVal; return true;
    case VT_I4:
    case VT_INT: number = value.lVal; return true;
    case VT_UI1: number = value.bVal; return true;
    case VT_R4: number = value.fltVal; return true;
    case VT_R8: number = value.dblVal; return true;
    case VT_BOOL: number = value.boolVal != 0 ? -1 : 0; return true;
    case VT_I4 | VT_BYREF: if (value.plVal == nullptr) return false; number = *value.plVal; return true;
    case VT_BSTR: {
      const std::string text = fvplat::Utf8FromBstr(value.bstrVal);
      char* end = nullptr;
      number = std::strtod(text.c_str(), &end);
      return !text.empty() && end != nullptr && *end == 0;
    }
    default: return false;
  }
}

std::string AsText(const VARIANT& value, bool& ok) {
  ok = true;
  char text[64];
  switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL: return {};
    case VT_BSTR: return fvplat::Utf8FromBstr(value.bstrVal);
    case VT_BOOL: return value.boolVal != 0 ? "True" : "False";
    case VT_R4: std::snprintf(text, sizeof text, "%g", static_cast<double>(value.fltVal)); return text;
    case VT_R8: std::snprintf(text, sizeof text, "%.15g", value.dblVal); return text;
    default: {
      double number = 0;
      if (!AsNumber(value, number)) {
        ok = false;
        return {};
      }
      std::snprintf(text, sizeof text, "%.0f", number);
      return text;
    }
  }
}

}  // namespace

extern "C" HRESULT VariantChangeType(VARIANT* target, const VARIANT* source, WORD /*flags*/,
                                     VARTYPE type) {
  if (target == nullptr || source == nullptr) return E_INVALIDARG;
  const VARIANT& from = Deref(*source);
  VARIANT result;
  VariantInit(&result);
  result.vt = type;
  double number = 0;
  switch (type) {
    case VT_I4:
    case VT_INT:
    case VT_I2:
    case VT_UI1:
    case VT_BOOL: {
      if (from.vt == VT_NULL || !AsNumber(from, number) || !std::isfinite(number)) {
        return DISP_E_TYPEMISMATCH;
      }
      const double rounded = std::nearbyint(number);
      if (type == VT_BOOL) {
        result.boolVal = rounded != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      } else if (rounded < std::numeric_limits<std::int32_t>::min() ||
                 rounded > std::numeric_limits<std::int32_t>::max()) {
        return DISP_E_TYPEMISMATCH;
      } else if (type == VT_I2) {
        result.iVal = static_cast<std::int16_t>(rounded);
      } else if (type == VT_UI1) {
        result.bVal = static_cast<std::uint8_t>(rounded);
      } else {
        result.lVal = static_cast<std::int32_t>(rounded);
      }
      break;
    }
    case VT_R4:
    case VT_R8:
      if (from.vt == VT_NULL || !AsNumber(from, number)) return DISP_E_TYPEMISMATCH;
      if (type == VT_R4) result.fltVal = static_cast<float>(number);
      else result.dblVal = number;
      break;
    case VT_BSTR: {
      bool ok = true;
      const std::string text = AsText(from, ok);
      if (!ok) return DISP_E_TYPEMISMATCH;
      result.bstrVal = fvplat::BstrFromUtf8(text);
      if (result.bstrVal == nullptr) return E_OUTOFMEMORY;
      break;
    }
    default:
      if (from.vt != type) return DISP_E_TYPEMISMATCH;
      return VariantCopy(target, &from);
  }
  VariantClear(target);
  *target = result;
  return S_OK;
}
