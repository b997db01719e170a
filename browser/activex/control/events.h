#pragma once
// The 26 events of _DPellacorEvents, each with one text argument.

#include <array>
#include <string_view>

#include "fvplatform/type_library_builder.h"

namespace pellacor {

struct EventName {
  DISPID id;
  std::string_view name;
  std::string_view argument;
};

inline constexpr std::array<EventName, 26> kEvents = {{
    {1, "OnFaceModelStart", "param"},    {2, "OnFaceModelStateChange", "param"},
    {3, "OnFaceModelStep", "param"},     {4, "OnFaceModelStop", "param"},
    {5, "OnFaceRecogStart", "param"},    {6, "OnFaceRecogStateChange", "param"},
    {7, "OnFaceRecogStep", "param"},     {8, "OnFaceRecogStop", "param"},
    {9, "OnVeinModelStart", "param"},    {10, "OnVeinModelStateChange", "param"},
    {11, "OnVeinModelStep", "param"},    {12, "OnVeinModelStop", "param"},
    {13, "OnVeinRecogStart", "param"},   {14, "OnVeinRecogStateChange", "param"},
    {15, "OnVeinRecogStep", "param"},    {16, "OnVeinRecogStop", "param"},
    {17, "OnFPrintModelStart", "param"}, {18, "OnFPrintModelStateChange", "param"},
    {19, "OnFPrintModelStep", "param"},  {20, "OnFPrintModelStop", "param"},
    {21, "OnFPrintRecogStart", "param"}, {22, "OnFPrintRecogStateChange", "param"},
    {23, "OnFPrintRecogStep", "param"},  {24, "OnFPrintRecogStop", "param"},
    {25, "OnVedioStep", "param"},        {26, "OnTakePicture", "str"},
}};

inline constexpr DISPID kOnVeinModelStart = 9;   // + stage 0..3
inline constexpr DISPID kOnVeinRecogStart = 13;  // + stage 0..3
inline constexpr DISPID kOnVedioStep = 25;
inline constexpr DISPID kOnTakePicture = 26;

// The events as the type library declares them: no result, one text.
constexpr std::array<fvplat::typelib::Member, kEvents.size()> EventMembers() {
  std::array<fvplat::typelib::Member, kEvents.size()> members{};
  for (std::size_t i = 0; i < kEvents.size(); ++i) {
    members[i].id = kEvents[i].id;
    members[i].name = kEvents[i].name;
    members[i].result = VT_EMPTY;
    members[i].parameters[0] = VT_BSTR;
    members[i].parameterNames[0] = kEvents[i].argument;
    members[i].parameterCount = 1;
  }
  return members;
}

}  // namespace pellacor
