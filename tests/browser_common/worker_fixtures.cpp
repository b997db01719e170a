#include "worker_fixtures.h"

#include <cstdlib>
#include <ostream>

#include "binding/device_library.h"
#include "bounded_wait.h"
#include "fvcommon/json_text.h"
#include "fvplatform/folders.h"
#include "fvplatform/locale.h"
#include "fvplatform/module.h"
#include "fvplatform/sound.h"
#include "settings/finger_settings.h"

namespace fvbtest {
namespace {

struct Row {
  int number;
  const char* chinese;
  const char* english;
};
const Row kRows[] = {
#include "prompt_rows.inc"
};

}  // namespace

std::string English(int number) {
  for (const Row& row : kRows) {
    if (row.number == number) return row.english;
  }
  return "";
}

std::string Prompt(int id, int number) {
  return "{\"RETURNID\":" + std::to_string(id) + ",\"RETURNVALUE\":\"\",\"RETURNDESC\":\"" +
         English(number) + "\"}";
}

std::string Quoted(const std::string& text) {
  return fvcommon::jsonQuoted(text);
}

std::ostream& operator<<(std::ostream& out, const Recorded& r) {
  return out << "{stage " << static_cast<int>(r.stage) << ", code " << r.code << ", " << r.text
             << "}";
}

int ScriptedOwner::fetchFrame(fvbrowser::FingerBusiness& worker, int& code, int limitMs,
                              fvbrowser::Bytes& frame, int& quality) {
  fvbrowser::DeviceLibrary& device = fvbrowser::boundDeviceLibrary();
  frame.clear();
  if (fvbrowser::isPlugin()) {
    code = 0;
    quality = -1;
    if (!deviceOpen) return code = 206;
    if (device.grab(frame) == 0) {
      frame.clear();
      Sleep(100);
      return code = 207;
    }
    if (!frame.empty()) device.quality(frame, quality);
    if (quality != 0) {
      Sleep(100);
      return code = 207;
    }
    return code = 1;
  }
  code = -1;
  if (!deviceOpen) return code = closedCode;
  const std::uint64_t start = fvplat::ClockMs();
  for (;;) {
    if (fvplat::ClockMs() - start > static_cast<std::uint64_t>(limitMs)) return code = 211;
    if (worker.isStopped()) return code = 209;
    if (device.grab(frame) != 0) return code = 0;
    frame.clear();
    Sleep(35);
  }
}

int ScriptedOwner::getFingerState() {
  return fvbrowser::boundDeviceLibrary().getState();
}

void ScriptedOwner::deliverReport(const fvbrowser::Report& report) {
  Page page;
  fvbrowser::FingerBusiness* worker = nullptr;
  {
    std::lock_guard<std::mutex> lock(lock_);
    reports_.push_back({report.stage, report.code, report.text});
    page = page_;
    worker = worker_;
  }
  if (page && worker) page(report, *worker);
}

void ScriptedOwner::setPage(Page page, fvbrowser::FingerBusiness* worker) {
  std::lock_guard<std::mutex> lock(lock_);
  page_ = std::move(page);
  worker_ = worker;
}

std::vector<Recorded> ScriptedOwner::reports() const {
  std::lock_guard<std::mutex> lock(lock_);
  return reports_;
}

fvbrowser::Bytes FrameOf(int finger, int placement) {
  return {'F',
          static_cast<std::uint8_t>('0' + finger),
          static_cast<std::uint8_t>('0' + placement % 10),
          'x',
          'y',
          'z'};
}

bool RunEnds(const fvbrowser::FingerBusiness& worker) {
  return fvtest::WaitUntil([&] { return !worker.isRunning(); });
}

void Person::place(int code) {
  std::lock_guard<std::mutex> l(lock);
  finger = code;
  on = true;
  ++placements;
}

void Person::lift() {
  std::lock_guard<std::mutex> l(lock);
  on = false;
}

void Person::installDevice() {
  fakedrx::Handlers h;
  h.fingerState = [this] {
    std::lock_guard<std::mutex> l(lock);
    return on ? 3 : 0;
  };
  h.grab = [this](fakedrx::Bytes& frame) {
    std::lock_guard<std::mutex> l(lock);
    if (!on || ++grabs % 2 == 0) return false;
    frame = emptyFrame ? fakedrx::Bytes() : FrameOf(finger, placements);
    return true;
  };
  h.quality = [this](const fakedrx::Bytes&, int& quality) {
    std::lock_guard<std::mutex> l(lock);
    quality = nextVerdict < verdicts.size() ? verdicts[nextVerdict++] : 0;
    return qualityCallFails ? 0 : 1;
  };
  // A template of the first image's finger digit.
  h.extract = [this](const fakedrx::Bytes& b1, const fakedrx::Bytes&, const fakedrx::Bytes&,
                     fakedrx::Bytes& model) {
    std::lock_guard<std::mutex> l(lock);
    if (b1.size() < 2 || extractFails) return 0;
    if (extractFailures > 0) {
      --extractFailures;
      return 0;
    }
    std::fill(model.begin(), model.end(), b1[1]);
    return 1;
  };
  h.match = [this](const fakedrx::Bytes&, const fakedrx::Bytes&, float& score) {
    std::lock_guard<std::mutex> l(lock);
    score = nextScore < scores.size() ? scores[nextScore++] : 0.8f;
    return 1;
  };
  h.index = [this](const std::vector<fakedrx::Bytes>& models, const fakedrx::Bytes&, int& position,
                   float& score) {
    std::lock_guard<std::mutex> l(lock);
    indexCount = static_cast<int>(models.size());
    if (indexResult == 0 || models.empty()) return 0;
    position = indexPosition;
    score = indexScore;
    return 1;
  };
  fakedrx::install(h);
}

void WorkerTest::SetUp() {
  setenv(fvplat::kModuleDirEnv, FAKE_DIR, 1);
  ASSERT_NE(fvbrowser::getDeviceLibrary(), nullptr);
  fvplat::SetSystemLcid(1033);
  fvbrowser::getSystemLanguage();
  fvbrowser::clearPromptTexts();
  fvbrowser::releaseFingerSettings();  // fresh defaults
  fvplat::SetSystemDirectory(system_.path().string());
  fvplat::SetSoundSink([this](std::string_view name, DWORD) {
    std::lock_guard<std::mutex> lock(soundLock_);
    sounds_.emplace_back(name);
  });
  person_.installDevice();
}

void WorkerTest::TearDown() {
  fvplat::SetSoundSink({});
  fvplat::SetSystemDirectory("");
  fvplat::SetSystemLcid(0);
  fakedrx::reset();
  fvbrowser::releaseFingerSettings();
}

std::vector<std::string> WorkerTest::ledCalls() const {
  std::vector<std::string> leds;
  for (const std::string& call : fakedrx::calls()) {
    if (call.rfind("led(", 0) == 0) leds.push_back(call);
  }
  return leds;
}

}  // namespace fvbtest
