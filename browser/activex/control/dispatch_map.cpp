#include "control/dispatch_map.h"

std::span<const fvplat::com::DispEntry<CPellacorCtrl>> CPellacorCtrl::DispatchTable() {
  return pellacor::methods::kTable;
}
