#include "base/flavour.h"

#include <atomic>

#include "base/flavour_testing.h"

namespace fvbrowser {
namespace {

std::atomic<int> g_flavour{static_cast<int>(Flavour::kControl)};
std::atomic<bool> g_fixed{false};

}  // namespace

bool setFlavour(Flavour flavour) {
  bool expected = false;
  if (g_fixed.compare_exchange_strong(expected, true)) {
    g_flavour.store(static_cast<int>(flavour));
    return true;
  }
  return g_flavour.load() == static_cast<int>(flavour);
}

Flavour flavour() {
  return static_cast<Flavour>(g_flavour.load());
}

void testing::overrideFlavour(Flavour flavour) {
  g_flavour.store(static_cast<int>(flavour));
}

}  // namespace fvbrowser
