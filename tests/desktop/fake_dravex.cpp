// A stand-in device library with the desktop program's 38 names (one fewer when built with
// FAKE_LACKS_<name>). Every export counts its calls; a few answer what the test scripted.

#include <algorithm>
#include <cstring>
#include <vector>

#include "dravex.h"

namespace {

struct Script {
  int calls = 0;
  int grabResult = 0;
  std::vector<unsigned char> frame;
  unsigned grabLength = 0;  // what the grab reports; 0 = the frame's size
  unsigned grabCapacitySeen = 0;
  int getnoResult = 0;
  int getnoValue = -1;
  bool getnoWrites = false;
  int extractResult = 0;
  const unsigned char* extractData[3] = {};
  int extractLengths[3] = {};
  unsigned extractModelLengthSeen = 0;
};

Script g_script;

int Count() { return ++g_script.calls, 0; }

}  // namespace

extern "C" {

// The test's handle on the script.
__attribute__((visibility("default"))) void fake_reset() { g_script = Script{}; }
__attribute__((visibility("default"))) int fake_calls() { return g_script.calls; }
__attribute__((visibility("default"))) void fake_set_grab(int result, const unsigned char* frame,
                                                          unsigned size, unsigned reported) {
  g_script.grabResult = result;
  g_script.frame.assign(frame, frame + size);
  g_script.grabLength = reported;
}
__attribute__((visibility("default"))) unsigned fake_grab_capacity_seen() {
  return g_script.grabCapacitySeen;
}
__attribute__((visibility("default"))) void fake_set_getno(int result, int value, bool writes) {
  g_script.getnoResult = result;
  g_script.getnoValue = value;
  g_script.getnoWrites = writes;
}
__attribute__((visibility("default"))) void fake_set_extract(int result) {
  g_script.extractResult = result;
}
__attribute__((visibility("default"))) void fake_extract_seen(const unsigned char** data,
                                                              int* lengths, unsigned* modelLength) {
  for (int i = 0; i < 3; ++i) {
    data[i] = g_script.extractData[i];
    lengths[i] = g_script.extractLengths[i];
  }
  *modelLength = g_script.extractModelLengthSeen;
}

#ifndef FAKE_LACKS_fvdev_open
int fvdev_open(int, HWND) { return Count(); }
#endif
int fvdev_close() { return Count(); }
int fvdev_get_count(int*) { return Count(); }
int isDevOpen() { return Count(); }
int fvdev_grab(unsigned char* buffer, unsigned* length) {
  Count();
  g_script.grabCapacitySeen = *length;
  if (g_script.grabResult == 0) return 0;
  std::memcpy(buffer, g_script.frame.data(), std::min<std::size_t>(g_script.frame.size(), *length));
  *length = g_script.grabLength != 0 ? g_script.grabLength : static_cast<unsigned>(g_script.frame.size());
  return g_script.grabResult;
}
int fvdev_get_state(int*) { return Count(); }
int fvdev_set_led(int, int) { return Count(); }
int fv_extract_model(const unsigned char* blob1, int length1, const unsigned char* blob2,
                     int length2, const unsigned char* blob3, int length3, unsigned char* model,
                     unsigned* modelLength) {
  Count();
  const unsigned char* data[3] = {blob1, blob2, blob3};
  const int lengths[3] = {length1, length2, length3};
  for (int i = 0; i < 3; ++i) {
    g_script.extractData[i] = data[i];
    g_script.extractLengths[i] = lengths[i];
  }
  g_script.extractModelLengthSeen = *modelLength;
  std::memset(model, 0x5A, *modelLength);
  return g_script.extractResult;
}
int fv_match(const unsigned char*, int, const unsigned char*, float*) { return Count(); }
int fv_index(const unsigned char*, int, const unsigned char*, int, int*, float*) { return Count(); }
int setDebugLevel(int) { return Count(); }
int drawFingerVein(HDC, const unsigned char*, int, int, int, int, int, int, int, int, int) {
  return Count();
}
int fv_quality(const unsigned char*, int, int*, int*) { return Count(); }
#ifndef FAKE_LACKS_fv_quality_ex
int fv_quality_ex(const unsigned char*, int, int*) { return Count(); }
#endif
int fvdev_openBackLight() { return Count(); }
int fvdev_closeBackLight() { return Count(); }
int fvdev_expose(int, int*) { return Count(); }
int fvdev_getno(int* number) {
  Count();
  if (g_script.getnoWrites) *number = g_script.getnoValue;
  return g_script.getnoResult;
}
int fvdev_setno(int) { return Count(); }
int fvdev_open_ex(int, HWND, FvDevHandle*) { return Count(); }
int isDevOpen_ex(FvDevHandle) { return Count(); }
int fvdev_openBackLight_ex(FvDevHandle) { return Count(); }
int fvdev_closeBackLight_ex(FvDevHandle) { return Count(); }
int fvdev_grab_ex(FvDevHandle, unsigned char*, unsigned*) { return Count(); }
int fvdev_close_ex(FvDevHandle) { return Count(); }
int fvdev_expose_ex(FvDevHandle, int, int*) { return Count(); }
int fvdev_get_state_ex(FvDevHandle, int*) { return Count(); }
int fvdev_set_led_ex(FvDevHandle, int, int) { return Count(); }
int fvdev_setno_ex(FvDevHandle, int) { return Count(); }
int fvdev_getno_ex(FvDevHandle, int*) { return Count(); }
int fv_Get_Edition(int*) { return Count(); }
int fv_Get_Dev_Info(FvDevInfo*) { return Count(); }
int fv_get_default_threshold(float*) { return Count(); }
int fv_load_model(const char*, int*) { return Count(); }
int fv_user_index(const unsigned char*, int, int*, int, float*, int) { return Count(); }
int fv_user_add(const unsigned char*, int, const unsigned char*, int, const unsigned char*, int,
                int*) {
  return Count();
}
int fv_user_del(int) { return Count(); }
#ifndef FAKE_LACKS_fv_index_addUser
int fv_index_addUser(const char*, int*) { return Count(); }
#endif
}
