#pragma once
// The working operations behind the exports. Callers have made the export checks (initialised,
// pointers present, image 320 x 240); each returns an engine status.

#include <cstdint>

namespace veltrum {

int CheckImageQuality(const unsigned char* image, float* params);
int AssessQuality(float& measure1, const unsigned char* image, float& measure2, float limit);
int ExtractMatchFeature(const unsigned char* image, unsigned char* feature);
int EnrollModel(const unsigned char* image1, const unsigned char* image2,
                const unsigned char* image3, unsigned char* model);
int MatchImageToModel(const unsigned char* image, const unsigned char* model, int* raw);
int MatchFeatureToModel(std::int8_t& shiftRow, std::int8_t& shiftCol, const unsigned char* model,
                        const unsigned char* feature, int* raw);
int SearchModelsByImage(const unsigned char* models, const int* count, const unsigned char* image,
                        int* position, int* raw);
// `checked`: the export's checks of every template and of the feature, made on the way.
int SearchModelsByFeature(const unsigned char* models, const int* count,
                          const unsigned char* feature, int* position, int* raw,
                          bool checked = false);

}  // namespace veltrum
