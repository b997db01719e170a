#pragma once
// The payload cipher's AES: 256-bit key, 16-byte blocks, 14 rounds, CBC with its own chain
// block, on the AES core the engine's image cipher uses.

#include <cstddef>
#include <cstdint>

#include "fvcommon/aes_core.h"

namespace torvane {

class CRijndael {
 public:
  CRijndael(const std::uint8_t key[32], const std::uint8_t chain[16]);
  virtual ~CRijndael();
  CRijndael(const CRijndael&) = delete;
  CRijndael& operator=(const CRijndael&) = delete;

  // Whole blocks in place; `length` must be a multiple of 16. The chain block moves on.
  void EncryptCbc(std::uint8_t* data, std::size_t length);
  void DecryptCbc(std::uint8_t* data, std::size_t length);

 private:
  fvaes::KeySchedule256 m_schedule;
  std::uint8_t m_chain[16];
};

}  // namespace torvane
