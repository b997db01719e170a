// The module's "TYPELIB" resource 1: the type library PellacorLib, encoded at compile time from
// the method table that drives the control's IDispatch and from its event table.

#include "control/dispatch_map.h"
#include "control/events.h"
#include "fvplatform/type_library_builder.h"
#include "module/identities.h"

namespace {

namespace tl = fvplat::typelib;

constexpr auto kMethodMembers = tl::MembersOf(pellacor::methods::kTable);
constexpr auto kEventMembers = pellacor::EventMembers();

constexpr tl::DispatchInterface kInterfaces[] = {
    {pellacor::DIID__DPellacor, "_DPellacor", TYPEFLAG_FDISPATCHABLE, kMethodMembers},
    {pellacor::DIID__DPellacorEvents, "_DPellacorEvents", TYPEFLAG_FDISPATCHABLE, kEventMembers},
};

constexpr tl::Implemented kPellacorInterfaces[] = {
    {0, IMPLTYPEFLAG_FDEFAULT},
    {1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
};

constexpr tl::CoClass kCoClasses[] = {
    {pellacor::CLSID_Pellacor, "Pellacor", TYPEFLAG_FCANCREATE, kPellacorInterfaces},
};

constexpr tl::Library kLibrary = {pellacor::LIBID_PellacorLib,
                                  pellacor::kTypeLibMajor,
                                  pellacor::kTypeLibMinor,
                                  pellacor::kTypeLibLocale,
                                  pellacor::kTypeLibName,
                                  kInterfaces,
                                  kCoClasses};

FVPLAT_RESOURCE("TYPELIB", 1)
constexpr auto kTypeLibResource = tl::Encode<tl::EncodedSize(kLibrary)>(kLibrary);

}  // namespace
