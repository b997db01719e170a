#pragma once
// Internal: a type library as read from its bytes (the form of type_library_builder.h).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fvplatform/typeinfo.h"

namespace fvplat::typelib::detail {

struct TypeRef {
  VARTYPE vt = VT_EMPTY;
  VARTYPE pointee = VT_EMPTY;  // for VT_PTR
};

struct Parameter {
  std::u16string name;
  TypeRef type;
};

struct Function {
  DISPID id = 0;
  TypeRef result;
  std::u16string name;
  std::vector<Parameter> parameters;
};

struct Implemented {
  std::uint16_t type = 0;  // index into the library's types
  int flags = 0;
};

struct Type {
  TYPEKIND kind = TKIND_DISPATCH;
  GUID guid{};
  WORD flags = 0;
  std::u16string name;
  std::vector<Function> functions;
  std::vector<Implemented> implemented;
};

struct Model {
  GUID libid{};
  WORD major = 0;
  WORD minor = 0;
  LCID locale = 0;
  std::u16string name;
  std::vector<Type> types;
};

// The most parameters one function may declare.
inline constexpr std::size_t kMaxParameters = 32;

// S_OK, TYPE_E_UNSUPFORMAT for another format, TYPE_E_INVDATAREAD for anything damaged:
// every count and length is checked against the bytes, every reference against the types.
HRESULT Parse(std::span<const std::uint8_t> bytes, Model& model);

}  // namespace fvplat::typelib::detail
