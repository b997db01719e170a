#include "preprocess/preprocess_steps.h"
#include "quality/quality_measures.h"

namespace veltrum {

// The pipeline's masked median serves the band as it is: rows are kept inside the band there.
int MaskedMedianBand(std::uint8_t* band, int bandHeight, const std::uint8_t* mask, int top,
                     int bottom) {
  return MedianInMaskRows(band, bandHeight, mask, top, bottom);
}

}  // namespace veltrum
