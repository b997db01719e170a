#pragma once
// The 3058-byte stored form of a VeinModel: fields reordered, code rows packed to 104 bits each.

#include <cstdint>

#include "model/vein_model.h"

namespace veltrum {

inline constexpr int kSerialisedBytes = 3058;
inline constexpr int kStreamWords = 319;
inline constexpr int kStreamBytes = kStreamWords * 4;

// Packs the copy's code rows in place into the bit stream, then writes the stored form.
// 0, or 3012 when the work buffer cannot be had (nothing written then).
int PackBitRows(VeinModel& copy, unsigned char* out, int* outLength);
// Writes the stored form of a model whose code rows are already packed; 0.
int PackModel(unsigned char* out, int* outLength, const VeinModel& packed);
// Copies the stored fields into the model, leaving the bit stream packed at the code rows; 0.
int UnpackModel(const unsigned char* data, VeinModel& model);
// Expands the packed bit stream into 98 code rows; 0, or -1 when the work buffer is short.
int UnpackBitRows(VeinModel& model);

}  // namespace veltrum
