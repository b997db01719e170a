#pragma once
// The 26 events of _DPellacorEvents, each with one text argument.

#include <array>
#include <string_view>

#include "fvplatform/com_types.h"

namespace pellacor {

struct EventName {
  DISPID id;
  std::string_view name;
};

inline constexpr std::array<EventName, 26> kEvents = {{
    {1, "OnFaceModelStart"},     {2, "OnFaceModelStateChange"},  {3, "OnFaceModelStep"},
    {4, "OnFaceModelStop"},      {5, "OnFaceRecogStart"},        {6, "OnFaceRecogStateChange"},
    {7, "OnFaceRecogStep"},      {8, "OnFaceRecogStop"},         {9, "OnVeinModelStart"},
    {10, "OnVeinModelStateChange"}, {11, "OnVeinModelStep"},     {12, "OnVeinModelStop"},
    {13, "OnVeinRecogStart"},    {14, "OnVeinRecogStateChange"}, {15, "OnVeinRecogStep"},
    {16, "OnVeinRecogStop"},     {17, "OnFPrintModelStart"},     {18, "OnFPrintModelStateChange"},
    {19, "OnFPrintModelStep"},   {20, "OnFPrintModelStop"},      {21, "OnFPrintRecogStart"},
    {22, "OnFPrintRecogStateChange"}, {23, "OnFPrintRecogStep"}, {24, "OnFPrintRecogStop"},
    {25, "OnVedioStep"},         {26, "OnTakePicture"},
}};

inline constexpr DISPID kOnVeinModelStart = 9;   // + stage 0..3
inline constexpr DISPID kOnVeinRecogStart = 13;  // + stage 0..3
inline constexpr DISPID kOnVedioStep = 25;
inline constexpr DISPID kOnTakePicture = 26;

}  // namespace pellacor
