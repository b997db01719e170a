#pragma once
// Dravex: the capture-device library's exported interface. Every export returns an int, 1 for
// success and 0 for failure unless noted; fv_Get_Error tells the reason of most failures.
// Images cross the interface as ImageBlobs (enciphered JPEG, a multiple of 16 bytes).

#include <cstdint>

#include "fvplatform/win_types.h"

#if defined(DRAVEX_BUILDING)
#define DRX_API __attribute__((visibility("default")))
#else
#define DRX_API
#endif

using FvDevHandle = void*;

#pragma pack(push, 1)
struct FvDevInfo {
  std::uint16_t marker0;  // 0x0200
  std::uint16_t marker1;  // 0x2015
  std::uint16_t marker2;  // 0x0123
  std::uint8_t deviceInfo[25];  // the device's information answer as it arrived
};
#pragma pack(pop)
static_assert(sizeof(FvDevInfo) == 31);

inline constexpr int kDrxModelBytes = 3352;
inline constexpr int kDrxFeatureBytes = 26904;
inline constexpr int kDrxEdition = 2561;
inline constexpr int kDrxNoError = 255;

extern "C" {
// Devices.
DRX_API int fvdev_get_count(int* count);
DRX_API int fvdev_open(int index, HWND preview);
DRX_API int fvdev_open_ex(int index, HWND preview, FvDevHandle* handle);
DRX_API int fvdev_close();
DRX_API int fvdev_close_ex(FvDevHandle handle);
DRX_API int isDevOpen();
DRX_API int isDevOpen_ex(FvDevHandle handle);
DRX_API int fvdev_get_state(int* state);
DRX_API int fvdev_get_state_ex(FvDevHandle handle, int* state);
DRX_API int fvdev_set_led(int led, int on);
DRX_API int fvdev_set_led_ex(FvDevHandle handle, int led, int on);
DRX_API int fvdev_set_led_bFlush(int level0, int level1);
DRX_API int fvdev_set_led_bFlush_ex(FvDevHandle handle, int level0, int level1)
    __asm__("_fvdev_set_led_bFlush_ex$12");
DRX_API int fvdev_set_buzzer(int a, int b);
DRX_API int fvdev_set_buzzer_ex(FvDevHandle handle, int a, int b);
DRX_API int fvdev_openBackLight();
DRX_API int fvdev_openBackLight_ex(FvDevHandle handle);
DRX_API int fvdev_closeBackLight();
DRX_API int fvdev_closeBackLight_ex(FvDevHandle handle);
DRX_API int fvdev_expose(int level, int* exposure);
DRX_API int fvdev_expose_ex(FvDevHandle handle, int level, int* exposure);
DRX_API int fvdev_setno(int number);
DRX_API int fvdev_setno_ex(FvDevHandle handle, int number);
DRX_API int fvdev_getno(int* number);
DRX_API int fvdev_getno_ex(FvDevHandle handle, int* number);
DRX_API int fvdev_SetdevNumber(const char* serial);
DRX_API int fvdev_setdevNumber_ex(FvDevHandle handle, const char* serial)
    __asm__("_fvdev_setdevNumber_ex$8");
DRX_API int fvdev_GetdevNumber(char* out);
DRX_API int fvdev_GetdevNumber_ex(FvDevHandle handle, char* out) __asm__("_fvdev_GetdevNumber_ex$8");
DRX_API int fvdev_setPD(int date);
DRX_API int fvdev_setPD_ex(FvDevHandle handle, int date) __asm__("_fvdev_setPD_ex$8");
DRX_API int fvdev_getPD(int* date);
DRX_API int fvdev_getPDdate_ex(FvDevHandle handle, int* date) __asm__("_fvdev_getPDdate_ex$8");
DRX_API int fvdev_setpara();

// Capture.
DRX_API int fvdev_grab(unsigned char* buffer, unsigned* length);
DRX_API int fvdev_grab_ex(FvDevHandle handle, unsigned char* buffer, unsigned* length);

// Images.
DRX_API int fv_quality(const unsigned char* blob, int length, int* level, int* quality);
DRX_API int fv_quality_ex(const unsigned char* blob, int length, int* out);
DRX_API int fv_isEncry(const unsigned char* blob, int length);
DRX_API int drawFingerVein(HDC dc, const unsigned char* blob, int length, int a, int b, int c,
                           int d, int left, int top, int right, int bottom);

// Templates and features.
DRX_API int fv_extract_model(const unsigned char* blob1, int length1, const unsigned char* blob2,
                             int length2, const unsigned char* blob3, int length3,
                             unsigned char* model, unsigned* modelLength);
DRX_API int fv_extrace_match_feature(const unsigned char* blob, int length, unsigned char* feature,
                                     unsigned* featureLength);

// Matching.
DRX_API int fv_match(const unsigned char* blob, int length, const unsigned char* model,
                     float* similarity);
DRX_API int fv_index(const unsigned char* models, int count, const unsigned char* blob, int length,
                     int* position, float* similarity);
DRX_API int fv_index_matchfeature(const unsigned char* models, int count,
                                  const unsigned char* feature, unsigned featureLength,
                                  int* position, float* similarity);
DRX_API int fv_get_default_threshold(float* threshold);

// The library's own template store.
DRX_API int fv_load_model(const char* root, int* count);
DRX_API int fv_user_index(const unsigned char* blob, int length, int* id, int unused, float* score,
                          int update);
DRX_API int fv_user_add(const unsigned char* blob1, int length1, const unsigned char* blob2,
                        int length2, const unsigned char* blob3, int length3, int* id);
DRX_API int fv_user_del(int id);
DRX_API int fv_index_addUser(const char* folder, int* total);

// Miscellaneous.
DRX_API int fv_Get_Error(int* code);
DRX_API int fv_Set_Error(int code) __asm__("_fv_Set_Error$4");
DRX_API int fv_Get_Edition(int* edition);
DRX_API int fv_Get_Dev_Info(FvDevInfo* out);
DRX_API int fv_Get_Dev_Info_ex(FvDevHandle handle, FvDevInfo* out);
DRX_API int setDebugLevel(int level);
}
