#include "cloud/rijndael.h"

#include <cstring>

namespace torvane {

CRijndael::CRijndael(const std::uint8_t key[32], const std::uint8_t chain[16]) {
  fvaes::AesSetKey256(key, m_schedule);
  std::memcpy(m_chain, chain, sizeof m_chain);
}

CRijndael::~CRijndael() = default;

void CRijndael::EncryptCbc(std::uint8_t* data, std::size_t length) {
  for (std::size_t at = 0; at + 16 <= length; at += 16) {
    std::uint8_t block[16];
    for (int i = 0; i < 16; ++i) block[i] = static_cast<std::uint8_t>(data[at + i] ^ m_chain[i]);
    fvaes::AesEncryptBlock(m_schedule, data + at, block);
    std::memcpy(m_chain, data + at, 16);
  }
}

void CRijndael::DecryptCbc(std::uint8_t* data, std::size_t length) {
  for (std::size_t at = 0; at + 16 <= length; at += 16) {
    std::uint8_t cipher[16];
    std::memcpy(cipher, data + at, 16);
    fvaes::AesDecryptBlock(m_schedule, data + at, cipher);
    for (int i = 0; i < 16; ++i) data[at + i] = static_cast<std::uint8_t>(data[at + i] ^ m_chain[i]);
    std::memcpy(m_chain, cipher, 16);
  }
}

}  // namespace torvane
