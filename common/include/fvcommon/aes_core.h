#pragma once
// AES-256 block cipher (FIPS-197), shared by the engine's image cipher and the desktop's payload
// cipher. Tables are built once per process; a key schedule is a value its owner keeps.

#include <cstdint>

namespace fvaes {

struct KeySchedule256 {
  std::uint32_t enc[60];  // expanded key words, round 0 first
  std::uint32_t dec[60];  // equivalent inverse cipher schedule, last round first
};

// Safe to call from any thread, any number of times.
void AesBuildTables();
void AesSetKey256(const std::uint8_t key[32], KeySchedule256& schedule);
void AesEncryptBlock(const KeySchedule256& schedule, std::uint8_t out[16], const std::uint8_t in[16]);
void AesDecryptBlock(const KeySchedule256& schedule, std::uint8_t out[16], const std::uint8_t in[16]);

}  // namespace fvaes
