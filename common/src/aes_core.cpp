#include "fvcommon/aes_core.h"

#include <mutex>

namespace fvaes {
namespace {

constexpr int kRounds = 14;

struct Tables {
  std::uint8_t sbox[256];
  std::uint8_t invSbox[256];
  std::uint32_t rcon[10];
  std::uint32_t fwd[4][256];
  std::uint32_t inv[4][256];
};

Tables g_tables;
std::once_flag g_tablesBuilt;

std::uint8_t XTime(std::uint8_t x) {
  return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0x00));
}

std::uint8_t Mul(std::uint8_t a, std::uint8_t b, const std::uint8_t* pow, const std::uint8_t* log) {
  if (a == 0 || b == 0) return 0;
  return pow[(log[a] + log[b]) % 255];
}

std::uint32_t RotR(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

std::uint8_t RotL8(std::uint8_t x, int n) {
  return static_cast<std::uint8_t>((x << n) | (x >> (8 - n)));
}

void Build() {
  Tables& t = g_tables;
  std::uint8_t pow[256];
  std::uint8_t log[256] = {};
  std::uint8_t p = 1;
  for (int i = 0; i < 256; ++i) {  // powers of the generator 3
    pow[i] = p;
    log[p] = static_cast<std::uint8_t>(i);
    p = static_cast<std::uint8_t>(p ^ XTime(p));
  }
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t x = i == 0 ? 0 : pow[(255 - log[i]) % 255];
    const std::uint8_t s = static_cast<std::uint8_t>(x ^ RotL8(x, 1) ^ RotL8(x, 2) ^ RotL8(x, 3) ^
                                                     RotL8(x, 4) ^ 0x63);
    t.sbox[i] = s;
    t.invSbox[s] = static_cast<std::uint8_t>(i);
  }
  std::uint8_t r = 1;
  for (auto& word : t.rcon) {
    word = static_cast<std::uint32_t>(r) << 24;
    r = XTime(r);
  }
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t s = t.sbox[i];
    const std::uint32_t f = (static_cast<std::uint32_t>(Mul(s, 2, pow, log)) << 24) |
                            (static_cast<std::uint32_t>(s) << 16) |
                            (static_cast<std::uint32_t>(s) << 8) | Mul(s, 3, pow, log);
    const std::uint8_t v = t.invSbox[i];
    const std::uint32_t g = (static_cast<std::uint32_t>(Mul(v, 14, pow, log)) << 24) |
                            (static_cast<std::uint32_t>(Mul(v, 9, pow, log)) << 16) |
                            (static_cast<std::uint32_t>(Mul(v, 13, pow, log)) << 8) |
                            Mul(v, 11, pow, log);
    for (int k = 0; k < 4; ++k) {
      t.fwd[k][i] = k == 0 ? f : RotR(f, 8 * k);
      t.inv[k][i] = k == 0 ? g : RotR(g, 8 * k);
    }
  }
}

std::uint32_t Load(const std::uint8_t* b) {
  return (static_cast<std::uint32_t>(b[0]) << 24) | (static_cast<std::uint32_t>(b[1]) << 16) |
         (static_cast<std::uint32_t>(b[2]) << 8) | b[3];
}

void Store(std::uint8_t* b, std::uint32_t w) {
  b[0] = static_cast<std::uint8_t>(w >> 24);
  b[1] = static_cast<std::uint8_t>(w >> 16);
  b[2] = static_cast<std::uint8_t>(w >> 8);
  b[3] = static_cast<std::uint8_t>(w);
}

std::uint32_t SubWord(std::uint32_t w) {
  const std::uint8_t* s = g_tables.sbox;
  return (static_cast<std::uint32_t>(s[w >> 24]) << 24) |
         (static_cast<std::uint32_t>(s[(w >> 16) & 0xFF]) << 16) |
         (static_cast<std::uint32_t>(s[(w >> 8) & 0xFF]) << 8) | s[w & 0xFF];
}

// One round of the cipher (or of the inverse cipher, with its tables and byte order).
template <bool Inverse>
void Round(const std::uint32_t (&tab)[4][256], const std::uint32_t* s, std::uint32_t* out,
           const std::uint32_t* key) {
  for (int c = 0; c < 4; ++c) {
    const int c1 = Inverse ? (c + 3) & 3 : (c + 1) & 3;
    const int c3 = Inverse ? (c + 1) & 3 : (c + 3) & 3;
    out[c] = tab[0][s[c] >> 24] ^ tab[1][(s[c1] >> 16) & 0xFF] ^ tab[2][(s[(c + 2) & 3] >> 8) & 0xFF] ^
             tab[3][s[c3] & 0xFF] ^ key[c];
  }
}

template <bool Inverse>
void LastRound(const std::uint8_t* box, const std::uint32_t* s, std::uint8_t* out,
               const std::uint32_t* key) {
  for (int c = 0; c < 4; ++c) {
    const int c1 = Inverse ? (c + 3) & 3 : (c + 1) & 3;
    const int c3 = Inverse ? (c + 1) & 3 : (c + 3) & 3;
    const std::uint32_t w = (static_cast<std::uint32_t>(box[s[c] >> 24]) << 24) |
                            (static_cast<std::uint32_t>(box[(s[c1] >> 16) & 0xFF]) << 16) |
                            (static_cast<std::uint32_t>(box[(s[(c + 2) & 3] >> 8) & 0xFF]) << 8) |
                            box[s[c3] & 0xFF];
    Store(out + 4 * c, w ^ key[c]);
  }
}

template <bool Inverse>
void Crypt(const std::uint32_t* keys, std::uint8_t* out, const std::uint8_t* in) {
  const Tables& t = g_tables;
  std::uint32_t s[4];
  std::uint32_t u[4];
  for (int c = 0; c < 4; ++c) s[c] = Load(in + 4 * c) ^ keys[c];
  for (int round = 1; round < kRounds; ++round) {
    Round<Inverse>(Inverse ? t.inv : t.fwd, s, u, keys + 4 * round);
    for (int c = 0; c < 4; ++c) s[c] = u[c];
  }
  LastRound<Inverse>(Inverse ? t.invSbox : t.sbox, s, out, keys + 4 * kRounds);
}

}  // namespace

void AesBuildTables() { std::call_once(g_tablesBuilt, Build); }

void AesSetKey256(const std::uint8_t key[32], KeySchedule256& schedule) {
  AesBuildTables();
  std::uint32_t* w = schedule.enc;
  for (int i = 0; i < 8; ++i) w[i] = Load(key + 4 * i);
  for (int i = 8; i < 60; ++i) {
    std::uint32_t temp = w[i - 1];
    if (i % 8 == 0) {
      temp = SubWord((temp << 8) | (temp >> 24)) ^ g_tables.rcon[i / 8 - 1];
    } else if (i % 8 == 4) {
      temp = SubWord(temp);
    }
    w[i] = w[i - 8] ^ temp;
  }
  // Inverse cipher: round keys in reverse order, inner ones through InvMixColumns.
  const Tables& t = g_tables;
  for (int round = 0; round <= kRounds; ++round) {
    for (int c = 0; c < 4; ++c) {
      const std::uint32_t k = w[4 * (kRounds - round) + c];
      const bool inner = round != 0 && round != kRounds;
      schedule.dec[4 * round + c] =
          inner ? t.inv[0][t.sbox[k >> 24]] ^ t.inv[1][t.sbox[(k >> 16) & 0xFF]] ^
                      t.inv[2][t.sbox[(k >> 8) & 0xFF]] ^ t.inv[3][t.sbox[k & 0xFF]]
                : k;
    }
  }
}

void AesEncryptBlock(const KeySchedule256& schedule, std::uint8_t out[16], const std::uint8_t in[16]) {
  Crypt<false>(schedule.enc, out, in);
}

void AesDecryptBlock(const KeySchedule256& schedule, std::uint8_t out[16], const std::uint8_t in[16]) {
  Crypt<true>(schedule.dec, out, in);
}

}  // namespace fvaes
