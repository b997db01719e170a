#pragma once
// IDispatch driven by one table: each entry gives a member's DISPID, name, result type,
// argument types and names, and a thunk that calls the member function. The types are read off
// the member function itself, so table and code cannot disagree (the same table describes the
// members in the module's type library, type_library_builder.h):
//   std::int32_t -> VT_I4, float -> VT_R4, std::string -> VT_BSTR (UTF-8 inside),
//   std::uint8_t* -> VT_UI1 | VT_BYREF, void -> no result.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "fvplatform/oleauto.h"

namespace fvplat::com {

inline constexpr std::size_t kMaxDispArguments = 4;

template <class T>
struct DispEntry {
  DISPID id;
  std::string_view name;
  VARTYPE result;  // VT_EMPTY: none
  std::array<VARTYPE, kMaxDispArguments> arguments;
  std::size_t argumentCount;
  // Arguments in call order, already of the declared types.
  void (*call)(T& object, VARIANT* arguments, VARIANT* result);
  std::array<std::string_view, kMaxDispArguments> argumentNames{};
  // The result the type library declares; the call's own unless told otherwise.
  VARTYPE declaredResult = VT_EMPTY;

  // The library declares no result although the call answers one, which script still sees.
  constexpr DispEntry DeclaredWithoutResult() const {
    DispEntry entry = *this;
    entry.declaredResult = VT_EMPTY;
    return entry;
  }
};

namespace detail {

template <class A> struct DispType;
template <> struct DispType<std::int32_t> {
  static constexpr VARTYPE vt = VT_I4;
  static std::int32_t From(const VARIANT& v) { return v.lVal; }
  static void To(VARIANT& v, std::int32_t x) { v.vt = VT_I4; v.lVal = x; }
};
template <> struct DispType<float> {
  static constexpr VARTYPE vt = VT_R4;
  static float From(const VARIANT& v) { return v.fltVal; }
  static void To(VARIANT& v, float x) { v.vt = VT_R4; v.fltVal = x; }
};
template <> struct DispType<std::string> {
  static constexpr VARTYPE vt = VT_BSTR;
  static std::string From(const VARIANT& v) { return Utf8FromBstr(v.bstrVal); }
  static void To(VARIANT& v, const std::string& x) { v.vt = VT_BSTR; v.bstrVal = BstrFromUtf8(x); }
};
template <> struct DispType<std::uint8_t*> {
  static constexpr VARTYPE vt = VT_UI1 | VT_BYREF;
  static std::uint8_t* From(const VARIANT& v) { return v.pbVal; }
};

template <class A> using Plain = std::remove_cvref_t<A>;

template <auto M> struct MemberTraits;
template <class T, class R, class... A, R (T::*M)(A...)>
struct MemberTraits<M> {
  using Class = T;
  static_assert(sizeof...(A) <= kMaxDispArguments, "too many dispatch arguments");

  static constexpr VARTYPE Result() {
    if constexpr (std::is_void_v<R>) return VT_EMPTY;
    else return DispType<Plain<R>>::vt;
  }
  template <std::size_t... I>
  static void Call(T& object, VARIANT* args, VARIANT* result, std::index_sequence<I...>) {
    if constexpr (std::is_void_v<R>) {
      (object.*M)(DispType<Plain<A>>::From(args[I])...);
    } else {
      DispType<Plain<R>>::To(*result, (object.*M)(DispType<Plain<A>>::From(args[I])...));
    }
  }
  static void Thunk(T& object, VARIANT* args, VARIANT* result) {
    Call(object, args, result, std::index_sequence_for<A...>{});
  }
  static constexpr std::size_t kCount = sizeof...(A);
  static constexpr std::array<VARTYPE, kMaxDispArguments> Arguments() {
    std::array<VARTYPE, kMaxDispArguments> types{};
    std::size_t i = 0;
    ((types[i++] = DispType<Plain<A>>::vt), ...);
    return types;
  }
};

}  // namespace detail

// One table entry for member function M, with the names of its arguments in call order. A
// count of names other than the member's argument count stops the compile.
template <auto M>
constexpr DispEntry<typename detail::MemberTraits<M>::Class> Member(
    DISPID id, std::string_view name,
    std::array<std::string_view, kMaxDispArguments> argumentNames = {}) {
  using Traits = detail::MemberTraits<M>;
  std::size_t named = 0;
  while (named < kMaxDispArguments && !argumentNames[named].empty()) ++named;
  if (named != Traits::kCount) throw "every argument needs its name";
  return {id,           name,          Traits::Result(), Traits::Arguments(), Traits::kCount,
          &Traits::Thunk, argumentNames, Traits::Result()};
}

// Case-insensitive (ASCII) comparison of a caller's UTF-16 name with a table name.
FVPLAT_API bool NameMatches(LPCOLESTR name, std::string_view tableName);
// Coerces a caller's argument to the declared type (by-reference bytes pass unchanged).
FVPLAT_API HRESULT CoerceArgument(const VARIANT& given, VARTYPE type, VARIANT& coerced);

template <class T>
HRESULT GetIDsOfNames(std::span<const DispEntry<T>> table, LPOLESTR* names, UINT count,
                      DISPID* ids) {
  if (names == nullptr || ids == nullptr) return E_POINTER;
  if (count == 0) return E_INVALIDARG;
  // Named arguments are not supported: every name after the member's is unknown.
  HRESULT hr = count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (const auto& entry : table) {
    if (names[0] != nullptr && NameMatches(names[0], entry.name)) {
      ids[0] = entry.id;
      return hr;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

template <class T>
const DispEntry<T>* FindMember(std::span<const DispEntry<T>> table, DISPID id) {
  for (const auto& entry : table) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

// The checks and conversions of IDispatch::Invoke, then the member's thunk.
template <class T>
HRESULT Invoke(std::span<const DispEntry<T>> table, T& object, DISPID id, WORD flags,
               DISPPARAMS* params, VARIANT* result, UINT* argError) {
  const DispEntry<T>* entry = FindMember(table, id);
  if (entry == nullptr || (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) {
    return DISP_E_MEMBERNOTFOUND;
  }
  const UINT given = params == nullptr ? 0 : params->cArgs;
  if (params != nullptr && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (given != entry->argumentCount) return DISP_E_BADPARAMCOUNT;
  if (given != 0 && params->rgvarg == nullptr) return E_INVALIDARG;
  std::array<VARIANT, kMaxDispArguments> args{};
  for (std::size_t i = 0; i < entry->argumentCount; ++i) {
    const UINT from = given - 1 - static_cast<UINT>(i);  // last argument first
    const HRESULT hr = CoerceArgument(params->rgvarg[from], entry->arguments[i], args[i]);
    if (FAILED(hr)) {
      for (std::size_t k = 0; k < i; ++k) VariantClear(&args[k]);
      if (argError != nullptr) *argError = from;
      return hr;
    }
  }
  VARIANT value;
  VariantInit(&value);
  entry->call(object, args.data(), &value);
  for (std::size_t k = 0; k < entry->argumentCount; ++k) VariantClear(&args[k]);
  if (result != nullptr) {
    VariantInit(result);
    *result = value;
  } else {
    VariantClear(&value);
  }
  return S_OK;
}

}  // namespace fvplat::com
