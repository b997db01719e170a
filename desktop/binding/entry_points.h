#pragma once
// The device library's exports as this program binds them, in binding order. Callers test an
// entry point before they call it (`if (auto f = entry::fvdev_grab.get()) f(...)`) and treat an
// unbound one as a failed call.

#include "binding/entry_point.h"
#include "dravex.h"

#define TORVANE_ENTRY_POINTS(X) \
  X(fvdev_open)                 \
  X(fvdev_close)                \
  X(fvdev_get_count)            \
  X(isDevOpen)                  \
  X(fvdev_grab)                 \
  X(fvdev_get_state)            \
  X(fvdev_set_led)              \
  X(fv_extract_model)           \
  X(fv_match)                   \
  X(fv_index)                   \
  X(setDebugLevel)              \
  X(drawFingerVein)             \
  X(fv_quality)                 \
  X(fv_quality_ex)              \
  X(fvdev_openBackLight)        \
  X(fvdev_closeBackLight)       \
  X(fvdev_expose)               \
  X(fvdev_getno)                \
  X(fvdev_setno)                \
  X(fvdev_open_ex)              \
  X(isDevOpen_ex)               \
  X(fvdev_openBackLight_ex)     \
  X(fvdev_closeBackLight_ex)    \
  X(fvdev_grab_ex)              \
  X(fvdev_close_ex)             \
  X(fvdev_expose_ex)            \
  X(fvdev_get_state_ex)         \
  X(fvdev_set_led_ex)           \
  X(fvdev_setno_ex)             \
  X(fvdev_getno_ex)             \
  X(fv_Get_Edition)             \
  X(fv_Get_Dev_Info)            \
  X(fv_get_default_threshold)   \
  X(fv_load_model)              \
  X(fv_user_index)              \
  X(fv_user_add)                \
  X(fv_user_del)                \
  X(fv_index_addUser)

namespace torvane::entry {

#define TORVANE_DECLARE_ENTRY(name) extern EntryPoint<decltype(::name)> name;
TORVANE_ENTRY_POINTS(TORVANE_DECLARE_ENTRY)
#undef TORVANE_DECLARE_ENTRY

inline constexpr int kCount = 38;

}  // namespace torvane::entry
