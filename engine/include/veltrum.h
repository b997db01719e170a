#pragma once
// Veltrum: the finger-vein recognition engine's exported interface.
// Images are 320 x 240 8-bit grey, row by row; every call returns an int status (0 = success).

#if defined(VELTRUM_BUILDING)
#define VLT_API __attribute__((visibility("default")))
#else
#define VLT_API
#endif

extern "C" {
VLT_API int VLT_FV_Init(int mode);
VLT_API int VLT_FV_Release();
VLT_API int VLT_FV_Quality(const unsigned char* image, int height, int width, float* params);
VLT_API int VLT_FV_ExtractFeature(const unsigned char* image, int height, int width,
                                  unsigned char* feature);
VLT_API int VLT_FV_Enroll(const unsigned char* image1, const unsigned char* image2,
                          const unsigned char* image3, int height, int width, int* reserved,
                          unsigned char* model);
VLT_API int VLT_FV_Match(const unsigned char* image, int height, int width,
                         const unsigned char* model, float* similarity);
VLT_API int VLT_FV_MatchFeature(const unsigned char* model, const unsigned char* feature,
                                float* similarity);
VLT_API int VLT_FV_Index(const unsigned char* models, int* count, const unsigned char* image,
                         int* position, float* similarity);
VLT_API int VLT_FV_IndexFeature(const unsigned char* models, int* count,
                                const unsigned char* feature, int* position, float* similarity);
VLT_API int VLT_FV_Encode(const unsigned char* model, unsigned char* out, int* outLength);
VLT_API int VLT_FV_Decode(const unsigned char* data, int length, unsigned char* model);
VLT_API int VLT_Encrypt(unsigned char* out, const unsigned char* in, int length);
VLT_API int VLT_Decrypt(unsigned char* out, const unsigned char* in, int length);
}

// The one export with a C++ (type-encoded) name; its two measures come back by reference.
VLT_API int VLT_FV_QualityAssess(float& measure1, float& measure2, const unsigned char* image,
                                 int height, int width, float limit, float reserved);

// Sizes of the buffers that cross the interface.
inline constexpr int kVltImageWidth = 320;
inline constexpr int kVltImageHeight = 240;
inline constexpr int kVltModelBytes = 3352;
inline constexpr int kVltFeatureBytes = 26904;
inline constexpr int kVltSerialisedBytes = 3058;
