#include "binding/entry_points.h"

namespace torvane::entry {

#define TORVANE_DEFINE_ENTRY(name) EntryPoint<decltype(::name)> name;
TORVANE_ENTRY_POINTS(TORVANE_DEFINE_ENTRY)
#undef TORVANE_DEFINE_ENTRY

}  // namespace torvane::entry
