#pragma once
// The engine's image cipher: AES-256 in ECB mode under one fixed key.

#include <cstdint>

#include "fvcommon/aes_core.h"

namespace veltrum {

// The raw key is the first 32 characters of this text.
inline constexpr char kImageCipherKeyText[] = "quorvantelmisbrady-kefolunpershavit";

// The key schedule of the fixed key, expanded once per process.
const fvaes::KeySchedule256& ImageCipherSchedule();

// Whole blocks; a partial last block is enciphered from a zero-padded copy, so reads stop at
// `length` while the output still receives the whole block. 0, or -1 for a null buffer.
int EncryptImageData(unsigned char* out, const unsigned char* in, int length);
// Whole blocks only; a trailing partial block is neither read nor written. 0, or -1 for null.
int DecryptImageData(unsigned char* out, const unsigned char* in, int length);

}  // namespace veltrum
