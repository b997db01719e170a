#include "params/param_store.h"

namespace dravex {

bool loadParamBlock(OnboardMemory& memory, const FvDevInfo& info, FvParamBlock& mirror) {
  FvParamBlock stored{};
  bool readOk = memory.read(kParamBlockOffset, &stored, sizeof stored);
  if (readOk && isCurrentParamBlock(stored)) {
    // Trusted as a whole, not field by field: a field out of range is its default here alone.
    mirror = withFieldsInRange(stored, info);
    return true;
  }
  mirror = defaultParamBlock(info);
  if (!readOk) return false;  // nothing known about the memory: leave it alone
  // Another edition of ours: the number someone gave this device is still its number.
  if (hasParamBlockFrame(stored)) mirror.deviceNumber = stored.deviceNumber;
  saveParamBlock(memory, mirror);
  return false;
}

bool saveParamBlock(OnboardMemory& memory, const FvParamBlock& mirror) {
  return memory.write(kParamBlockOffset, &mirror, sizeof mirror);
}

bool storeDeviceNumber(OnboardMemory& memory, FvParamBlock& mirror, int number) {
  mirror.deviceNumber = number;
  std::int32_t value = number;
  return memory.write(kDeviceNumberOffset, &value, sizeof value);
}

bool fetchDeviceNumber(OnboardMemory& memory, FvParamBlock& mirror, int* number) {
  std::int32_t value = 0;
  bool ok = memory.read(kDeviceNumberOffset, &value, sizeof value);
  if (ok) mirror.deviceNumber = value;
  if (number != nullptr) *number = mirror.deviceNumber;
  return ok;
}

}  // namespace dravex
