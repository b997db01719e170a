#pragma once
// COM's base types with COM's own layout: a GUID is 16 bytes (32-bit, 16-bit, 16-bit, 8 bytes),
// an HRESULT a 32-bit signed integer. Interfaces are declared in com_interfaces.h.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using WORD = std::uint16_t;
using LCID = std::uint32_t;
using DISPID = std::int32_t;
using ULONG_PTR = std::uintptr_t;
using SCODE = std::int32_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "a GUID is 16 bytes");

using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// HRESULT values as COM documents them.
constexpr HRESULT MakeHresult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111u);
inline constexpr HRESULT REGDB_E_WRITEREGDB = MakeHresult(0x80040151u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154u);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeHresult(0x800401F3u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = MakeHresult(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = MakeHresult(0x800401F9u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeHresult(0x800401F0u);
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHresult(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHresult(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHresult(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHresult(0x80020006u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = MakeHresult(0x80020007u);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHresult(0x80020008u);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHresult(0x8002000Eu);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHresult(0x8002000Bu);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHresult(0x80040200u);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHresult(0x80040202u);
inline constexpr HRESULT SELFREG_E_TYPELIB = MakeHresult(0x80040200u);
inline constexpr HRESULT SELFREG_E_CLASS = MakeHresult(0x80040201u);

namespace fvplat {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as the registry keeps class ids.
FVPLAT_API std::string GuidToString(const GUID& guid);
// Accepts the braced form in either case; nothing else.
FVPLAT_API std::optional<GUID> GuidFromString(const std::string& text);

}  // namespace fvplat
