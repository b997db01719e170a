#pragma once
// A device library a test scripts: each capture is a blob that names itself, and the quality
// measures and match scores are looked up by that name.

#include <cmath>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "fvplatform/clock.h"
#include "ports/device_access.h"

namespace torvane::testing {

inline Bytes blobNamed(const std::string& name) { return Bytes(name.begin(), name.end()); }
inline std::string nameOf(const Bytes& blob) { return std::string(blob.begin(), blob.end()); }

struct LedCall {
  int led;
  int on;
  std::uint64_t atMs;
  bool operator==(const LedCall&) const = default;
};

class FakeDevice final : public DeviceAccess {
 public:
  // Scripted state.
  bool bound = true;
  bool opened = true;
  bool openSucceeds = true;
  int number = 7;
  int state = 0;
  std::deque<std::string> captures;  // the next grabs, by name
  std::map<std::string, QualityMeasures> measures;
  std::map<std::string, bool> qualityFails;
  std::map<std::string, float> scores;  // by capture name
  QualityMeasures good{0, 0.0f, 0.5f, 0.2f};

  // What it saw.
  std::vector<LedCall> leds;
  int opens = 0;
  int grabs = 0;
  std::vector<std::array<Bytes, 3>> models;

  bool load() override { return bound; }
  bool isOpen() override { return bound && opened; }
  bool open(int, HWND) override {
    ++opens;
    if (bound && openSucceeds) opened = true;
    return bound && openSucceeds;
  }
  int readNumber() override { return bound ? number : -1; }
  int fingerState() override { return bound ? state : 0; }
  std::function<void()> onCapture;  // runs inside each grab, as another thread might meanwhile
  bool capture(Bytes& into) override {
    ++grabs;
    if (onCapture) onCapture();
    if (captures.empty()) return false;
    into = blobNamed(captures.front());
    captures.pop_front();
    return true;
  }
  bool quality(const Bytes& blob, QualityMeasures& q) override {
    auto m = measures.find(nameOf(blob));
    if (qualityFails[nameOf(blob)]) {
      q = good;  // measures the caller must not trust
      return false;
    }
    q = m == measures.end() ? good : m->second;
    return true;
  }
  bool match(const Bytes& blob, const Bytes&, float& score) override {
    auto s = scores.find(nameOf(blob));
    if (s == scores.end()) return false;
    score = s->second;
    return true;
  }
  bool buildModel(const std::array<Bytes, 3>& images, Bytes& model) override {
    models.push_back(images);
    model.assign(3352, 1);
    return true;
  }
  void setLed(int led, int on) override { leds.push_back({led, on, fvplat::ClockMs()}); }
  bool setNumber(int n) override {
    numbersWritten.push_back(n);
    if (!bound || !opened || !setNumberSucceeds) return false;
    number = n;
    return true;
  }
  bool setNumberSucceeds = true;
  std::vector<int> numbersWritten;
};

}  // namespace torvane::testing
