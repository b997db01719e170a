#pragma once
// 64-bit FNV-1a over bytes, and its sixteen-digit hexadecimal form: the tools' fingerprint of
// stage outputs and of cached images.

#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace fvtools {

inline std::uint64_t Fnv1a(const void* data, std::size_t bytes,
                           std::uint64_t h = 14695981039346656037ull) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  for (std::size_t i = 0; i < bytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

inline std::string Hex(std::uint64_t h) {
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, h);
  return text;
}

}  // namespace fvtools
