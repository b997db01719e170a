#pragma once
// Our modules' type libraries, made at compile time. A module describes its library (dispatch
// interfaces with their members, coclasses with the interfaces they implement) and encodes it
// into the bytes of its "TYPELIB" resource; LoadTypeLib reads them back. A dispatch interface's
// members come from the same table that drives its IDispatch, so the two cannot differ.
//
// The encoding, little-endian throughout:
//   "FVTL", u16 format (1)
//   guid libid, u16 major, u16 minor, u32 locale, text name
//   u16 number of types; each type:
//     u8 kind (TKIND_DISPATCH or TKIND_COCLASS), guid, u16 type flags, text name
//     u16 number of functions; each: i32 DISPID, type result, text name, u8 number of
//       parameters; each: text name, type
//     u16 number of implemented types; each: u16 type index, u16 implementation flags
//   text: u16 byte count, then UTF-8; type: u16 VARTYPE, for VT_PTR followed by the type it
//   points to; guid: u32, u16, u16, 8 bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "fvplatform/dispatch_table.h"
#include "fvplatform/typeinfo.h"

namespace fvplat::typelib {

inline constexpr std::array<char, 4> kMagic = {'F', 'V', 'T', 'L'};
inline constexpr std::uint16_t kFormat = 1;

// One dispatch member as the library declares it. Types are dispatch types: VT_EMPTY as a
// result means none (VT_VOID in the library), and VT_UI1 | VT_BYREF a pointer to bytes.
struct Member {
  DISPID id = 0;
  std::string_view name;
  VARTYPE result = VT_EMPTY;
  std::array<VARTYPE, com::kMaxDispArguments> parameters{};
  std::array<std::string_view, com::kMaxDispArguments> parameterNames{};
  std::size_t parameterCount = 0;
};

struct DispatchInterface {
  IID iid;
  std::string_view name;
  WORD flags;
  std::span<const Member> members;
};

struct Implemented {
  std::size_t interfaceIndex;  // into the library's interfaces
  int flags;                   // IMPLTYPEFLAG_...
};

struct CoClass {
  CLSID clsid;
  std::string_view name;
  WORD flags;
  std::span<const Implemented> interfaces;
};

struct Library {
  GUID libid;
  WORD major;
  WORD minor;
  LCID locale;
  std::string_view name;
  std::span<const DispatchInterface> interfaces;
  std::span<const CoClass> coclasses;
};

// The members of a dispatch table, as the library declares them.
template <class T, std::size_t N>
constexpr std::array<Member, N> MembersOf(const com::DispEntry<T> (&table)[N]) {
  std::array<Member, N> members{};
  for (std::size_t i = 0; i < N; ++i) {
    const com::DispEntry<T>& entry = table[i];
    members[i] = Member{entry.id,        entry.name,          entry.declaredResult,
                        entry.arguments, entry.argumentNames, entry.argumentCount};
  }
  return members;
}

namespace detail {

// Counts the bytes when `out` is null, writes them otherwise. Anything too large for its
// field stops the compile.
class Writer {
 public:
  constexpr explicit Writer(std::uint8_t* out) : out_(out) {}
  constexpr void Byte(unsigned value) {
    if (value > 0xFF) throw "value does not fit a byte";
    if (out_ != nullptr) out_[size_] = static_cast<std::uint8_t>(value);
    ++size_;
  }
  constexpr void U16(std::size_t value) {
    if (value > 0xFFFF) throw "value does not fit 16 bits";
    Byte(value & 0xFF);
    Byte((value >> 8) & 0xFF);
  }
  constexpr void U32(std::uint32_t value) {
    U16(value & 0xFFFF);
    U16(value >> 16);
  }
  constexpr void Text(std::string_view text) {
    U16(text.size());
    for (char ch : text) Byte(static_cast<unsigned char>(ch));
  }
  constexpr void Guid(const GUID& guid) {
    U32(guid.Data1);
    U16(guid.Data2);
    U16(guid.Data3);
    for (std::uint8_t b : guid.Data4) Byte(b);
  }
  constexpr void Type(VARTYPE type) {
    if ((type & VT_BYREF) != 0) {
      U16(VT_PTR);
      U16(static_cast<VARTYPE>(type & ~VT_BYREF));
    } else {
      U16(type == VT_EMPTY ? VARTYPE{VT_VOID} : type);
    }
  }
  constexpr std::size_t size() const { return size_; }

 private:
  std::uint8_t* out_;
  std::size_t size_ = 0;
};

constexpr void Encode(const Library& library, Writer& out) {
  for (char ch : kMagic) out.Byte(static_cast<unsigned char>(ch));
  out.U16(kFormat);
  out.Guid(library.libid);
  out.U16(library.major);
  out.U16(library.minor);
  out.U32(library.locale);
  out.Text(library.name);
  out.U16(library.interfaces.size() + library.coclasses.size());
  for (const DispatchInterface& type : library.interfaces) {
    out.Byte(TKIND_DISPATCH);
    out.Guid(type.iid);
    out.U16(type.flags);
    out.Text(type.name);
    out.U16(type.members.size());
    for (const Member& member : type.members) {
      out.U32(static_cast<std::uint32_t>(member.id));
      out.Type(member.result);
      out.Text(member.name);
      out.Byte(static_cast<unsigned>(member.parameterCount));
      for (std::size_t i = 0; i < member.parameterCount; ++i) {
        if (member.parameterNames[i].empty()) throw "every parameter needs its name";
        out.Text(member.parameterNames[i]);
        out.Type(member.parameters[i]);
      }
    }
    out.U16(0);
  }
  for (const CoClass& type : library.coclasses) {
    out.Byte(TKIND_COCLASS);
    out.Guid(type.clsid);
    out.U16(type.flags);
    out.Text(type.name);
    out.U16(0);
    out.U16(type.interfaces.size());
    for (const Implemented& implemented : type.interfaces) {
      if (implemented.interfaceIndex >= library.interfaces.size()) throw "no such interface";
      out.U16(implemented.interfaceIndex);
      out.U16(static_cast<std::size_t>(implemented.flags));
    }
  }
}

}  // namespace detail

constexpr std::size_t EncodedSize(const Library& library) {
  detail::Writer counter(nullptr);
  detail::Encode(library, counter);
  return counter.size();
}

template <std::size_t N>
constexpr std::array<std::uint8_t, N> Encode(const Library& library) {
  std::array<std::uint8_t, N> bytes{};
  detail::Writer writer(bytes.data());
  detail::Encode(library, writer);
  if (writer.size() != N) throw "size differs from EncodedSize";
  return bytes;
}

}  // namespace fvplat::typelib

// Places a constant in the module file as resource (type, id), where LoadTypeLib and
// fvplat::ReadModuleResource find it.
#define FVPLAT_RESOURCE(type, id) [[gnu::used, gnu::section(".fvres." type "." #id)]]
