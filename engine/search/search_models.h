#pragma once

#include <cstddef>

#include "feature/feature_block.h"

namespace veltrum {

// What the export checks before a search, made on the way so that each template is read once:
// every template (4002 for an impossible one), then the probe (4003 when `featurePossible` is
// false). The codes come in that order whatever else fails.
struct SearchChecks {
  bool templates = false;
  bool featurePossible = true;
};

// The three-stage search of `count` templates (3352 bytes each, back to back) for the best
// match of `probe`: coarse screen, one-block match of the best 100, three-block match of the
// best 50 (ties admitted). The lowest index wins equal scores. 0, a failed check's code, or -1
// when the score arrays cannot be allocated; position and raw are written only on 0.
int SearchModels(const unsigned char* models, std::size_t count, const VeinFeature& probe,
                 int* position, int* raw, SearchChecks checks = {});

}  // namespace veltrum
