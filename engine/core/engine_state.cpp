#include "core/engine_state.h"

#include <atomic>

#include "core/status.h"
#include "tables/lookup_tables.h"

namespace veltrum {
namespace {

std::atomic<int> g_mode{-1};
std::atomic<bool> g_initialised{false};

}  // namespace

int EngineMode() { return g_mode.load(std::memory_order_acquire); }

bool EngineInitialised() { return g_initialised.load(std::memory_order_acquire); }

int InitEngine(int mode) {
  if (static_cast<unsigned>(mode) > 2u) {
    g_initialised.store(false, std::memory_order_release);
    return kFailed;
  }
  g_mode.store(mode, std::memory_order_release);
  // The tables do not depend on the mode: built once, they never change under a reader.
  BuildLookupTables();
  g_initialised.store(true, std::memory_order_release);
  return kOk;
}

}  // namespace veltrum
