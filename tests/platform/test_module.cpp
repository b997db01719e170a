// A module for the loader tests: one plain and one decorated export, and a type library.

extern "C" __attribute__((visibility("default"))) int plain_value() { return 41; }

extern "C" __attribute__((visibility("default"))) int decorated_value(int x) __asm__("_fv_Test$4");
int decorated_value(int x) { return x + 1; }

// The demonstration type library as the module's resource, where LoadTypeLib looks.
#include "demo_type_library.h"

FVPLAT_RESOURCE("TYPELIB", 1) constexpr auto kTypeLib = demolib::kBytes;
