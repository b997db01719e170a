#pragma once
// Tests run both flavours in one process; only they may switch it after it was fixed.

#include "base/flavour.h"

namespace fvbrowser::testing {

void overrideFlavour(Flavour flavour);

// Runs a test body under one flavour and restores the control's afterwards.
class ScopedFlavour {
 public:
  explicit ScopedFlavour(Flavour flavour) { overrideFlavour(flavour); }
  ~ScopedFlavour() { overrideFlavour(Flavour::kControl); }
  ScopedFlavour(const ScopedFlavour&) = delete;
  ScopedFlavour& operator=(const ScopedFlavour&) = delete;
};

}  // namespace fvbrowser::testing
