#pragma once
// The images and templates one run collects (at most 16 of each), with their base64 and JSON
// forms for the page. Each template keeps the finger code it was made for.

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace fvbrowser {

inline constexpr int kModelBytes = 3352;
inline constexpr int kImageBytes = 76800;

class FingerData {
 public:
  static constexpr int kSlots = 16;

  void clear();
  // -1 when 16 images are held or the image is empty; else 76800, whatever the image's length.
  int addImage(std::span<const std::uint8_t> image, int value);
  // -1 when 16 templates are held or `model` is not 3352 bytes; else 3352. `fingerCode` is
  // what "fingertype" reports for it.
  int addFeature(std::span<const std::uint8_t> model, int fingerCode);

  int imageCount() const { return imageCount_; }
  int featureCount() const { return featureCount_; }
  const std::vector<std::uint8_t>& image(int i) const {
    return images_[static_cast<std::size_t>(i)];
  }

  // Base64 of entry i; empty for an i outside the entries held.
  std::string getImageofIndex(int i) const;
  std::string getLastImage() const { return getImageofIndex(imageCount_ - 1); }
  std::string getFeatureofIndex(int i) const;
  std::string getLastFeature() const { return getFeatureofIndex(featureCount_ - 1); }

  // {"algtype":3,"images":{"0":..},"num":n,"quality":3,"type":{"0":{"fingertype":v,"len":0}}}
  std::string imagesToJson() const;
  // {"algtype":3,"feature":{"0":..},"len":3352,"num":n,"quality":3,"type":{"0":{"fingertype":c}}}
  // The plug-in puts "len" inside "feature".
  std::string featuresToJson() const;

 private:
  int imageCount_ = 0;
  int featureCount_ = 0;
  std::array<std::vector<std::uint8_t>, kSlots> models_;
  std::array<int, kSlots> modelCodes_{};
  std::array<std::vector<std::uint8_t>, kSlots> images_;
  std::array<int, kSlots> imageValues_{};
};

// Two frame buffers behind one lock, for the control.
struct FrameBuffer {
  FrameBuffer()
      : frames{std::vector<std::uint8_t>(kImageBytes), std::vector<std::uint8_t>(kImageBytes)} {}
  std::mutex lock;
  std::array<std::vector<std::uint8_t>, 2> frames;
  std::array<int, 2> counters{};
};

}  // namespace fvbrowser
