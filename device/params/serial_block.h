#pragma once
// The serial block: production date and serial text. Each change is a read-modify-write of the
// whole 25 bytes; when the read fails nothing is written, so an unread block is never clobbered.
// Callers hold the device lock around each call and its mirror.

#include "params/param_block.h"

namespace dravex {

// Stores at most 20 characters of `text`, zero-terminated.
bool storeSerialText(OnboardMemory& memory, FvSerialBlock& mirror, const char* text);
// Copies the stored text, zero-terminated and at most 21 bytes with the zero, when the read worked.
bool fetchSerialText(OnboardMemory& memory, FvSerialBlock& mirror, char* out);

bool storeProductionDate(OnboardMemory& memory, FvSerialBlock& mirror, int date);
// *date is written only when the read worked.
bool fetchProductionDate(OnboardMemory& memory, FvSerialBlock& mirror, int* date);

}  // namespace dravex
