#pragma once
// The grid cells a model keeps: A-samples (cell vectors) and B-samples (code rows).

#include <array>
#include <cstdint>

namespace veltrum {

inline constexpr int kGridRows = 15;
inline constexpr int kGridCols = 22;
inline constexpr int kGridCells = kGridRows * kGridCols;

inline constexpr std::array<std::int8_t, 8> SampleRowsA = {0, 2, 4, 6, 8, 10, 12, 14};
inline constexpr std::array<std::int8_t, 18> SampleColsA = {0,  1,  2,  3,  5,  6,  7,  9,  10,
                                                            11, 12, 14, 15, 16, 18, 19, 20, 21};
inline constexpr std::array<std::int8_t, 7> SampleRowsB = {1, 3, 5, 7, 9, 11, 13};
inline constexpr std::array<std::int8_t, 14> SampleColsB = {1,  2,  4,  5,  7,  8,  10,
                                                            11, 13, 14, 16, 17, 19, 20};

struct GridCell {
  int row;
  int col;
  int index() const { return row * kGridCols + col; }
};

// A-sample k = 0..143 and B-sample k = 0..97.
constexpr GridCell SampleCellA(int k) { return {SampleRowsA[k / 18], SampleColsA[k % 18]}; }
constexpr GridCell SampleCellB(int k) { return {SampleRowsB[k / 14], SampleColsB[k % 14]}; }

}  // namespace veltrum
