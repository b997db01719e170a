#pragma once
// The device calls the program makes with fixed buffer sizes and defaults. Each asks
// getDeviceLibrary first and calls nothing when the library is not bound.

#include <array>
#include <cstdint>
#include <vector>

namespace torvane {

using Bytes = std::vector<std::uint8_t>;

// Room a grab offers the device library for one image blob.
inline constexpr unsigned kGrabCapacity = 30000;
inline constexpr unsigned kModelBytes = 3352;

// Captures 1 to 3 of an enrolment (the first also holds a sign-in capture) and the model built
// from them. Shared by the capture worker and the display; its callers keep them consistent.
extern std::array<Bytes, 3> enrolImages;
extern Bytes modelBuffer;

// Takes the held frame into `image`: 1, or 0 with `image` unchanged (no new frame, not bound,
// or a length beyond the buffer reported).
int captureImage(Bytes& image);

// The device's stored number, or -1 when the call cannot be made; whatever the export wrote,
// also when it reports failure.
int readDeviceNumber();

// Builds `model` (resized to 3352 bytes) from up to three images; an empty image passes no data
// and length 0. The export's result, or 0 when it cannot be called.
int buildModelFromImages(const std::array<Bytes, 3>& images, Bytes& model);
// The same over enrolImages into modelBuffer.
int buildModelFromImages();

}  // namespace torvane
