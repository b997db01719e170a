#include "params/serial_block.h"

#include <cstring>

namespace dravex {
namespace {

bool readSerialBlock(OnboardMemory& memory, FvSerialBlock& mirror) {
  FvSerialBlock stored{};
  if (!memory.read(kSerialBlockOffset, &stored, sizeof stored)) return false;
  mirror = stored;
  return true;
}

bool writeSerialBlock(OnboardMemory& memory, const FvSerialBlock& mirror) {
  return memory.write(kSerialBlockOffset, &mirror, sizeof mirror);
}

}  // namespace

bool storeSerialText(OnboardMemory& memory, FvSerialBlock& mirror, const char* text) {
  if (text == nullptr || !readSerialBlock(memory, mirror)) return false;
  std::size_t length = strnlen(text, kSerialTextMax);
  std::memcpy(mirror.text, text, length);
  mirror.text[length] = '\0';
  return writeSerialBlock(memory, mirror);
}

bool fetchSerialText(OnboardMemory& memory, FvSerialBlock& mirror, char* out) {
  if (out == nullptr || !readSerialBlock(memory, mirror)) return false;
  std::size_t length = strnlen(mirror.text, kSerialTextMax);
  std::memcpy(out, mirror.text, length);
  out[length] = '\0';
  return true;
}

bool storeProductionDate(OnboardMemory& memory, FvSerialBlock& mirror, int date) {
  if (!readSerialBlock(memory, mirror)) return false;
  mirror.date = date;
  return writeSerialBlock(memory, mirror);
}

bool fetchProductionDate(OnboardMemory& memory, FvSerialBlock& mirror, int* date) {
  if (date == nullptr || !readSerialBlock(memory, mirror)) return false;
  *date = mirror.date;
  return true;
}

}  // namespace dravex
