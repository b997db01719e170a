#pragma once
// A stand-in for the capture-device library, built as libDravex.so in a folder of its own, that
// the browser workflow binds by name like the real one. Tests script every answer through
// handlers and read back the ordered list of calls.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#define FAKEDRX_API __attribute__((visibility("default")))

namespace fakedrx {

using Bytes = std::vector<std::uint8_t>;

struct Handlers {
  std::function<int(int index)> open;                           // default 1
  std::function<int()> count;                                   // default 1
  std::function<int()> fingerState;                             // default 0
  std::function<bool(Bytes& frame)> grab;                       // default: no frame
  std::function<int(const Bytes& blob, int& quality)> quality;  // default 1, verdict 0
  // The template of up to three blobs; default 1 and a template of the first blob's first byte.
  std::function<int(const Bytes& b1, const Bytes& b2, const Bytes& b3, Bytes& model)> extract;
  std::function<int(const Bytes& blob, const Bytes& model, float& score)> match;  // default 1, 0.8
  std::function<int(const std::vector<Bytes>& models, const Bytes& blob, int& position,
                    float& score)>
      index;  // default 1, position 0, 0.9
};

// Replaces every handler (missing ones answer their defaults) and clears the calls.
FAKEDRX_API void install(Handlers handlers);
FAKEDRX_API void reset();
// Calls in order, as "open(0)", "led(1,0)", "grab", "quality", "extract(n1,n2,n3)",
// "match", "index(n)", "state", "count", "backlight_off", "close".
FAKEDRX_API std::vector<std::string> calls();
FAKEDRX_API void clearCalls();

}  // namespace fakedrx
