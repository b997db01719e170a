#pragma once

namespace veltrum {

// Raw match score (0..999) to similarity: 0 up to 500, two linear pieces, 1 from 700 on.
float ScoreToSimilarity(int raw);

}  // namespace veltrum
