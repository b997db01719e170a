#include "feature/rotate_region.h"

#include <cmath>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "feature/rotate_region_simd.h"

namespace veltrum {
namespace {

constexpr int kPlaneBytes = kOutWidth * kOutHeight;  // 16800
constexpr int kWorkPlaneBytes = kFramePixels;        // planes are full-frame buffers

std::uint8_t Bilinear(const std::uint8_t* src, int row, int col, int fx, int fy) {
  const int i = row * kOutWidth + col;
  const int v = src[i] * (256 - fx) * (256 - fy) + src[i + 1] * fx * (256 - fy) +
                src[i + kOutWidth] * (256 - fx) * fy + src[i + kOutWidth + 1] * fx * fy;
  return static_cast<std::uint8_t>((v + 32768) >> 16);
}

}  // namespace

RotationCoefficients RotationFor(float tilt) {
  const float a = -std::atan(tilt);
  const float c = std::cos(a), s = std::sin(a);
  return {static_cast<std::int32_t>(static_cast<double>(c) * 1048576.0),
          static_cast<std::int32_t>(static_cast<double>(s) * 1048576.0)};
}

namespace {

// The reference form of RotatePlanesSimd, one target pixel at a time.
void RotatePlanesPlain(const std::uint8_t* savedImage, const std::uint8_t* savedMask,
                       std::int32_t rc, std::int32_t rs, std::uint8_t* image, std::uint8_t* mask) {
  std::memset(image, 0, kPlaneBytes);
  std::memset(mask, 0, kPlaneBytes);
  constexpr std::int32_t kCx = 70 << 20, kCy = 60 << 20;
  // Products grow by one coefficient per step, as the fixed-point sums were designed.
  std::int32_t vRc = -60 * rc, vRs = -60 * rs;
  for (int y = 0; y < kOutHeight; ++y, vRc += rc, vRs += rs) {
    std::int32_t uRc = -70 * rc, uRs = -70 * rs;
    for (int x = 0; x < kOutWidth; ++x, uRc += rc, uRs += rs) {
      const std::int32_t sx = (uRc + vRs + kCx) >> 12;
      const std::int32_t sy = (vRc - uRs + kCy) >> 12;
      if (sy < 0 || sy > 30463 || sx < 0 || sx > 35583) continue;
      const int row = sy >> 8, col = sx >> 8, fy = sy & 255, fx = sx & 255;
      image[y * kOutWidth + x] = Bilinear(savedImage, row, col, fx, fy);
      mask[y * kOutWidth + x] = Bilinear(savedMask, row, col, fx, fy);
    }
  }
}

int Rotate(std::uint8_t* image, std::uint8_t* mask, float tilt, bool vectors) {
  if (tilt == 0.0f) return kOk;
  auto savedImage = AllocArray<std::uint8_t>(kWorkPlaneBytes);
  if (!savedImage) return kOutOfMemory;
  auto savedMask = AllocArray<std::uint8_t>(kWorkPlaneBytes);
  if (!savedMask) return kOutOfMemory;
  const auto [rc, rs] = RotationFor(tilt);
  if (vectors) {
    static_assert(kRotateScratchBytes <= kWorkPlaneBytes);
    RotatePlanesSimd(image, mask, rc, rs, savedImage.get(), savedMask.get());
    return kOk;
  }
  std::memcpy(savedImage.get(), image, kPlaneBytes);
  std::memcpy(savedMask.get(), mask, kPlaneBytes);
  RotatePlanesPlain(savedImage.get(), savedMask.get(), rc, rs, image, mask);
  return kOk;
}

}  // namespace

int RotateRegion(std::uint8_t* image, std::uint8_t* mask, float tilt) {
  return Rotate(image, mask, tilt, true);
}

int RotateRegionPlain(std::uint8_t* image, std::uint8_t* mask, float tilt) {
  return Rotate(image, mask, tilt, false);
}

}  // namespace veltrum
