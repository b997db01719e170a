#pragma once
// 256 bytes of on-board memory whose reads and writes a test can make fail.

#include <array>
#include <cstdint>
#include <cstring>

#include "params/param_block.h"

namespace fvtest {

class FakeMemory : public dravex::OnboardMemory {
 public:
  std::array<std::uint8_t, 256> bytes{};
  bool failReads = false;
  bool failWrites = false;
  int writes = 0;

  bool read(int offset, void* data, int length) override {
    if (failReads) return false;
    std::memcpy(data, bytes.data() + offset, length);
    return true;
  }
  bool write(int offset, const void* data, int length) override {
    ++writes;
    if (failWrites) return false;
    std::memcpy(bytes.data() + offset, data, length);
    return true;
  }

  std::int32_t i32(int offset) const {
    std::int32_t v;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
  }
  float f32(int offset) const {
    float v;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
  }
  int u16(int offset) const { return bytes[offset] | bytes[offset + 1] << 8; }
};

}  // namespace fvtest
