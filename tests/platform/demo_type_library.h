#pragma once
// A small type library of the tests' own: a dispatch interface with three methods, an event
// interface with one event, and a creatable class implementing both.

#include "fvplatform/type_library_builder.h"

namespace demolib {

namespace tl = fvplat::typelib;

inline constexpr GUID kLibid = {0x66666666, 0x7777, 0x8888, {0x99, 0x99, 0, 0, 0, 0, 0, 1}};
inline constexpr IID kDispatch = {0xAAAAAAAA, 0xBBBB, 0xCCCC, {0xDD, 0xDD, 0, 0, 0, 0, 0, 2}};
inline constexpr IID kEvents = {0xAAAAAAAA, 0xBBBB, 0xCCCC, {0xDD, 0xDD, 0, 0, 0, 0, 0, 3}};
inline constexpr CLSID kClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0, 0, 0, 0, 0, 4}};

inline constexpr tl::Member kMethods[] = {
    {-552, "AboutBox", VT_EMPTY, {}, {}, 0},
    {1, "Add", VT_I4, {VT_I4, VT_I4}, {"a", "b"}, 2},
    {2, "Name", VT_BSTR, {VT_UI1 | VT_BYREF, VT_R4}, {"bytes", "scale"}, 2},
};
inline constexpr tl::Member kEventMembers[] = {
    {1, "OnDone", VT_EMPTY, {VT_BSTR}, {"text"}, 1},
};
inline constexpr tl::DispatchInterface kInterfaces[] = {
    {kDispatch, "_DDemo", TYPEFLAG_FDISPATCHABLE, kMethods},
    {kEvents, "_DDemoEvents", TYPEFLAG_FDISPATCHABLE, kEventMembers},
};
inline constexpr tl::Implemented kImplemented[] = {
    {0, IMPLTYPEFLAG_FDEFAULT},
    {1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
};
inline constexpr tl::CoClass kCoClasses[] = {{kClass, "Demo", TYPEFLAG_FCANCREATE, kImplemented}};
inline constexpr tl::Library kLibrary = {kLibid, 1, 0, 0x409, "DemoLib", kInterfaces, kCoClasses};

inline constexpr auto kBytes = tl::Encode<tl::EncodedSize(kLibrary)>(kLibrary);

}  // namespace demolib
