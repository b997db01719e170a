#pragma once
// Small 320 x 240 fixtures for the preprocessing steps.

#include <array>
#include <cstdint>
#include <vector>

namespace fvtest {

inline constexpr int kW = 320;
inline constexpr int kH = 240;

struct Plane {
  std::vector<std::uint8_t> px;

  explicit Plane(std::uint8_t fill = 0) : px(kW * kH, fill) {}
  std::uint8_t& at(int y, int x) { return px[y * kW + x]; }
  std::uint8_t at(int y, int x) const { return px[y * kW + x]; }
  std::uint8_t* data() { return px.data(); }
  const std::uint8_t* data() const { return px.data(); }
  // Rows y0..y1 and columns x0..x1 inclusive.
  Plane& Fill(int y0, int y1, int x0, int x1, std::uint8_t v) {
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) at(y, x) = v;
    }
    return *this;
  }
  bool operator==(const Plane&) const = default;
};

struct Edges {
  std::array<std::int16_t, kW> upper{}, lower{};

  // Columns x0..x1 get the given rows; the others stay without edges.
  static Edges Flat(int up, int low, int x0 = 0, int x1 = kW - 1) {
    Edges e;
    for (int x = x0; x <= x1; ++x) {
      e.upper[x] = static_cast<std::int16_t>(up);
      e.lower[x] = static_cast<std::int16_t>(low);
    }
    return e;
  }
};

}  // namespace fvtest
