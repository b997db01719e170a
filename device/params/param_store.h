#pragma once
// Loading, rebuilding and writing the parameter block, and the device number inside it, over the
// on-board memory. Callers hold the device lock around each call and its mirror.

#include "params/param_block.h"

namespace dravex {

// Loads the block into `mirror`. A block of this edition is used as it is (true). Anything else
// is rebuilt from the defaults (false) and written back when the read worked; a block of another
// edition of this library keeps its device number.
bool loadParamBlock(OnboardMemory& memory, const FvDevInfo& info, FvParamBlock& mirror);

bool saveParamBlock(OnboardMemory& memory, const FvParamBlock& mirror);

// Stores the number in the mirror and writes its 4 bytes.
bool storeDeviceNumber(OnboardMemory& memory, FvParamBlock& mirror, int number);
// Reads the 4 bytes into the mirror; *number is the mirror's field even when the read failed.
bool fetchDeviceNumber(OnboardMemory& memory, FvParamBlock& mirror, int* number);

}  // namespace dravex
