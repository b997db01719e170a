#pragma once
// OLE automation's strings and argument values. A BSTR points at UTF-16 text preceded by its
// length in bytes (32 bits) and followed by a zero character; null stands for the empty text.
// VARIANT keeps COM's layout: a 16-bit type tag, three reserved words, then the value.

#include <cstdint>
#include <string>
#include <string_view>

#include "fvplatform/com_interfaces.h"

using BSTR = OLECHAR*;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_UI1 = 17,
  VT_INT = 22,
  VT_VOID = 24,
  VT_BYREF = 0x4000,
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    std::int32_t lVal;
    std::uint8_t bVal;
    std::int16_t iVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    std::uint8_t* pbVal;
    std::int32_t* plVal;
    BSTR* pbstrVal;
    VARIANT* pvarVal;
    void* byref;
    struct {
      void* pvRecord;
      void* pRecInfo;
    } record;
  };
};
using VARIANTARG = VARIANT;

// Arguments arrive last first: rgvarg[0] is the last argument.
struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_ABOUTBOX = -552;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x400;

extern "C" {
FVPLAT_API BSTR SysAllocString(const OLECHAR* text);
FVPLAT_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
FVPLAT_API void SysFreeString(BSTR text);
FVPLAT_API UINT SysStringLen(BSTR text);
FVPLAT_API UINT SysStringByteLen(BSTR text);

FVPLAT_API void VariantInit(VARIANT* value);
FVPLAT_API HRESULT VariantClear(VARIANT* value);
FVPLAT_API HRESULT VariantCopy(VARIANT* target, const VARIANT* source);
// Converts between the kinds the control's methods take and give (integers, floats, booleans,
// texts; empty and null become 0 or the empty text). DISP_E_TYPEMISMATCH for anything else.
FVPLAT_API HRESULT VariantChangeType(VARIANT* target, const VARIANT* source, WORD flags,
                                     VARTYPE type);
}

namespace fvplat {

// The narrow system code page is UTF-8 here. Bad UTF-8 bytes become U+FFFD; unpaired
// surrogates become U+FFFD.
FVPLAT_API std::u16string Utf8ToUtf16(std::string_view text);
FVPLAT_API std::string Utf16ToUtf8(std::u16string_view text);
FVPLAT_API BSTR BstrFromUtf8(std::string_view text);
FVPLAT_API std::string Utf8FromBstr(BSTR text);

}  // namespace fvplat
