#include "fake_dravex.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "fvplatform/win_types.h"

namespace fakedrx {
namespace {

constexpr int kModelBytes = 3352;

struct State {
  std::mutex lock;
  Handlers handlers;
  std::vector<std::string> calls;
};

State& state() {
  static State s;
  return s;
}

// Records the call and hands out a copy of the handlers, so that none runs under the lock.
Handlers Record(const std::string& call) {
  std::lock_guard<std::mutex> lock(state().lock);
  state().calls.push_back(call);
  return state().handlers;
}

Bytes Copy(const unsigned char* data, int length) {
  return data != nullptr && length > 0 ? Bytes(data, data + length) : Bytes();
}

}  // namespace

void install(Handlers handlers) {
  std::lock_guard<std::mutex> lock(state().lock);
  state().handlers = std::move(handlers);
  state().calls.clear();
}

void reset() {
  install({});
}

std::vector<std::string> calls() {
  std::lock_guard<std::mutex> lock(state().lock);
  return state().calls;
}

void clearCalls() {
  std::lock_guard<std::mutex> lock(state().lock);
  state().calls.clear();
}

}  // namespace fakedrx

using fakedrx::Bytes;
using fakedrx::Copy;
using fakedrx::kModelBytes;
using fakedrx::Record;

extern "C" {
FAKEDRX_API int fvdev_open(int index, HWND) {
  const auto h = Record("open(" + std::to_string(index) + ")");
  return h.open ? h.open(index) : 1;
}
FAKEDRX_API int fvdev_close() {
  Record("close");
  return 1;
}
FAKEDRX_API int fvdev_get_count(int* count) {
  const auto h = Record("count");
  if (count == nullptr) return 0;
  *count = h.count ? h.count() : 1;
  return 1;
}
FAKEDRX_API int isDevOpen() {
  Record("isopen");
  return 1;
}
FAKEDRX_API int fvdev_grab(unsigned char* buffer, unsigned* length) {
  const auto h = Record("grab");
  Bytes frame;
  if (!h.grab || !h.grab(frame) || buffer == nullptr || length == nullptr) return 0;
  if (frame.size() > *length) return 0;
  if (!frame.empty()) std::memcpy(buffer, frame.data(), frame.size());
  *length = static_cast<unsigned>(frame.size());
  return 1;
}
FAKEDRX_API int fvdev_get_state(int* value) {
  const auto h = Record("state");
  if (value == nullptr) return 0;
  *value = h.fingerState ? h.fingerState() : 0;
  return 1;
}
FAKEDRX_API int fvdev_set_led(int led, int on) {
  Record("led(" + std::to_string(led) + "," + std::to_string(on) + ")");
  return 1;
}
FAKEDRX_API int fv_extract_model(const unsigned char* b1, int n1, const unsigned char* b2, int n2,
                                 const unsigned char* b3, int n3, unsigned char* model,
                                 unsigned* modelLength) {
  const auto h = Record("extract(" + std::to_string(n1) + "," + std::to_string(n2) + "," +
                        std::to_string(n3) + ")");
  if (model == nullptr || modelLength == nullptr || *modelLength < kModelBytes) return 0;
  Bytes out(kModelBytes, 0);
  const Bytes i1 = Copy(b1, n1), i2 = Copy(b2, n2), i3 = Copy(b3, n3);
  int result = 1;
  if (h.extract) {
    result = h.extract(i1, i2, i3, out);
  } else {
    if (i1.empty()) return 0;
    std::fill(out.begin(), out.end(), i1[0]);
  }
  if (result != 0) std::memcpy(model, out.data(), kModelBytes);
  return result;
}
FAKEDRX_API int fv_match(const unsigned char* blob, int length, const unsigned char* model,
                         float* similarity) {
  const auto h = Record("match");
  if (model == nullptr || similarity == nullptr) return 0;
  if (!h.match) {
    *similarity = 0.8f;
    return 1;
  }
  return h.match(Copy(blob, length), Bytes(model, model + kModelBytes), *similarity);
}
FAKEDRX_API int fv_index(const unsigned char* models, int count, const unsigned char* blob,
                         int length, int* position, float* similarity) {
  const auto h = Record("index(" + std::to_string(count) + ")");
  if (position == nullptr || similarity == nullptr || count < 0) return 0;
  std::vector<Bytes> list;
  for (int i = 0; i < count; ++i)
    list.emplace_back(models + i * kModelBytes, models + (i + 1) * kModelBytes);
  if (!h.index) {
    *position = 0;
    *similarity = 0.9f;
    return 1;
  }
  return h.index(list, Copy(blob, length), *position, *similarity);
}
FAKEDRX_API int setDebugLevel(int) {
  return 0;
}
FAKEDRX_API int drawFingerVein(HDC, const unsigned char*, int, int, int, int, int, int, int, int,
                               int) {
  return 0;
}
FAKEDRX_API int fv_quality(const unsigned char* blob, int length, int* level, int* quality) {
  const auto h = Record("quality");
  if (quality == nullptr || level == nullptr) return 0;
  *level = 1;
  if (!h.quality) {
    *quality = 0;
    return 1;
  }
  return h.quality(Copy(blob, length), *quality);
}
FAKEDRX_API int fvdev_openBackLight() {
  return 1;
}
FAKEDRX_API int fvdev_closeBackLight() {
  Record("backlight_off");
  return 1;
}
FAKEDRX_API int fvdev_expose(int, int*) {
  return 1;
}
FAKEDRX_API int fvdev_getno(int*) {
  return 1;
}
FAKEDRX_API int fvdev_setno(int) {
  return 1;
}
FAKEDRX_API int fvdev_open_ex(int, HWND, void**) {
  return 0;
}
FAKEDRX_API int isDevOpen_ex(void*) {
  return 0;
}
FAKEDRX_API int fvdev_openBackLight_ex(void*) {
  return 0;
}
FAKEDRX_API int fvdev_closeBackLight_ex(void*) {
  return 0;
}
FAKEDRX_API int fvdev_grab_ex(void*, unsigned char*, unsigned*) {
  return 0;
}
FAKEDRX_API int fvdev_close_ex(void*) {
  return 0;
}
FAKEDRX_API int fvdev_expose_ex(void*, int, int*) {
  return 0;
}
FAKEDRX_API int fvdev_get_state_ex(void*, int*) {
  return 0;
}
FAKEDRX_API int fvdev_set_led_ex(void*, int, int) {
  return 0;
}
FAKEDRX_API int fvdev_setno_ex(void*, int) {
  return 0;
}
FAKEDRX_API int fvdev_getno_ex(void*, int*) {
  return 0;
}
FAKEDRX_API int fv_Get_Edition(int* edition) {
  if (edition) *edition = 2561;
  return 1;
}
FAKEDRX_API int fv_Get_Dev_Info(void*) {
  return 0;
}
FAKEDRX_API int fv_get_default_threshold(float* t) {
  if (t) *t = 0.6f;
  return 1;
}
FAKEDRX_API int fv_load_model(const char*, int*) {
  return 0;
}
FAKEDRX_API int fv_user_index(const unsigned char*, int, int*, int, float*, int) {
  return 0;
}
FAKEDRX_API int fv_user_add(const unsigned char*, int, const unsigned char*, int,
                            const unsigned char*, int, int*) {
  return 0;
}
FAKEDRX_API int fv_user_del(int) {
  return 0;
}
#ifndef FAKEDRX_LACK_LAST
FAKEDRX_API int fv_index_addUser(const char*, int*) {
  return 0;
}
#endif
}
