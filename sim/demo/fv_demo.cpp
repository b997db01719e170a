// Demonstration: a front-end's view of the device library. It loads Dravex at run time as the
// desktop and browser programs do, opens the simulated capture device, enrols one finger from
// three captures, then identifies a fresh capture of it and refuses a finger never enrolled.

#include <cstdio>
#include <cstdint>
#include <vector>

#include "fvplatform/clock.h"
#include "fvplatform/module.h"

namespace {

using OpenFn = int (*)(int, HWND);
using CloseFn = int (*)();
using GrabFn = int (*)(unsigned char*, unsigned*);
using StateFn = int (*)(int*);
using QualityFn = int (*)(const unsigned char*, int, int*);
using ExtractFn = int (*)(const unsigned char*, int, const unsigned char*, int,
                          const unsigned char*, int, unsigned char*, unsigned*);
using MatchFn = int (*)(const unsigned char*, int, const unsigned char*, float*);
using IndexFn = int (*)(const unsigned char*, int, const unsigned char*, int, int*, float*);
using ThresholdFn = int (*)(float*);
using SimResetFn = void (*)();
using SimPlugFn = int (*)(int);
using SimFingerFn = int (*)(int, int);
using SimSeedFn = int (*)(int, unsigned long long);

constexpr unsigned kBlobCapacity = 30000;
constexpr int kModelBytes = 3352;
constexpr std::uint64_t kFrameWaitMs = 10000;

template <class Fn>
bool bind(HMODULE module, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(GetProcAddress(module, name));
  if (fn == nullptr) std::printf("missing export %s\n", name);
  return fn != nullptr;
}

struct Library {
  OpenFn open;
  CloseFn close;
  GrabFn grab;
  StateFn state;
  QualityFn quality;
  ExtractFn extract;
  MatchFn match;
  IndexFn index;
  ThresholdFn threshold;

  bool bindAll(HMODULE m) {
    return bind(m, "fvdev_open", open) && bind(m, "fvdev_close", close) &&
           bind(m, "fvdev_grab", grab) && bind(m, "fvdev_get_state", state) &&
           bind(m, "fv_quality_ex", quality) && bind(m, "fv_extract_model", extract) &&
           bind(m, "fv_match", match) && bind(m, "fv_index", index) &&
           bind(m, "fv_get_default_threshold", threshold);
  }
};

struct Simulator {
  SimResetFn reset;
  SimPlugFn plug;
  SimFingerFn finger;
  SimSeedFn seed;

  bool bindAll(HMODULE m) {
    return bind(m, "fvsim_reset", reset) && bind(m, "fvsim_plug_type", plug) &&
           bind(m, "fvsim_set_finger", finger) && bind(m, "fvsim_set_finger_seed", seed);
  }
};

// Lays finger `seed` on the sensor and waits for the device's accepted frame, then lifts it.
std::vector<unsigned char> capture(const Library& dev, const Simulator& sim, unsigned long long seed) {
  sim.seed(0, seed);
  sim.finger(0, 1);
  std::vector<unsigned char> blob(kBlobCapacity);
  const std::uint64_t start = fvplat::ClockMs();
  unsigned length = 0;
  bool taken = false;
  while (!taken && fvplat::ClockMs() - start < kFrameWaitMs) {
    length = kBlobCapacity;
    taken = dev.grab(blob.data(), &length) == 1;
    if (!taken) fvplat::CurrentClock().SleepMs(10);
  }
  sim.finger(0, 0);
  int state = 3;
  while (state == 3 && fvplat::ClockMs() - start < kFrameWaitMs) {
    dev.state(&state);
    fvplat::CurrentClock().SleepMs(5);
  }
  if (!taken) return {};
  blob.resize(length);
  int verdict[4] = {};
  dev.quality(blob.data(), static_cast<int>(blob.size()), verdict);
  std::printf("  captured finger %llu: %u-byte image, quality verdict %d (%s)\n", seed, length,
              verdict[0], verdict[0] == 0 ? "good" : "poor");
  return blob;
}

}  // namespace

int main() {
  HMODULE dravex = LoadLibraryA("Dravex.dll");
  HMODULE simModule = LoadLibraryA("fvsimdevice.dll");
  Library dev{};
  Simulator sim{};
  if (dravex == nullptr || simModule == nullptr || !dev.bindAll(dravex) || !sim.bindAll(simModule)) {
    std::printf("could not load the device library or the simulated device\n");
    return 1;
  }
  sim.reset();
  sim.plug(1);
  if (dev.open(0, nullptr) != 1) {
    std::printf("the capture device did not open\n");
    return 1;
  }
  std::printf("capture device opened\n");

  constexpr unsigned long long kEnrolled = 4101;
  constexpr unsigned long long kStranger = 9377;
  std::printf("enrolling finger %llu from three captures\n", kEnrolled);
  std::vector<unsigned char> images[3];
  for (auto& image : images) image = capture(dev, sim, kEnrolled);
  std::vector<unsigned char> model(kModelBytes);
  unsigned modelLength = kModelBytes;
  const bool enrolled = !images[0].empty() &&
                        dev.extract(images[0].data(), static_cast<int>(images[0].size()),
                                    images[1].data(), static_cast<int>(images[1].size()),
                                    images[2].data(), static_cast<int>(images[2].size()),
                                    model.data(), &modelLength) == 1;
  std::printf("enrolment %s: %u-byte template\n", enrolled ? "succeeded" : "failed", modelLength);

  float threshold = 0;
  dev.threshold(&threshold);
  std::printf("match threshold %.2f\n", threshold);

  bool correct = enrolled;
  const struct { const char* who; unsigned long long seed; bool same; } probes[] = {
      {"the enrolled finger", kEnrolled, true}, {"a finger never enrolled", kStranger, false}};
  for (const auto& probe : probes) {
    std::printf("identifying %s (finger %llu)\n", probe.who, probe.seed);
    const std::vector<unsigned char> live = capture(dev, sim, probe.seed);
    float similarity = -1;
    int position = -1;
    const bool ran = !live.empty() && enrolled &&
                     dev.index(model.data(), 1, live.data(), static_cast<int>(live.size()),
                               &position, &similarity) == 1;
    const bool accepted = ran && similarity >= threshold;
    std::printf("  similarity %.3f: %s\n", similarity,
                accepted ? "identified as enrolled user 0" : "refused");
    correct = correct && ran && accepted == probe.same;
  }
  dev.close();
  std::printf("%s\n", correct ? "demonstration passed" : "demonstration FAILED");
  return correct ? 0 : 1;
}
