#pragma once
// The control's COM identities and registered names.

#include "fvplatform/com_types.h"

namespace pellacor {

inline constexpr CLSID CLSID_Pellacor = {
    0xDC26F2AB, 0xC4EC, 0x441B, {0xBB, 0x40, 0xFC, 0xC5, 0x92, 0x06, 0x6E, 0x3A}};
inline constexpr CLSID CLSID_PellacorPropPage = {
    0x484B22FE, 0xCA51, 0x4F6B, {0x9A, 0x78, 0xE6, 0x7D, 0xE3, 0x24, 0x40, 0x9B}};
inline constexpr GUID LIBID_PellacorLib = {
    0xFA47B57B, 0x35E7, 0x4DAF, {0xAD, 0xB6, 0xF9, 0xB9, 0x2A, 0xF9, 0xB8, 0x2C}};
inline constexpr IID DIID__DPellacor = {
    0xCB9CDB5B, 0xE4A8, 0x4898, {0x80, 0x72, 0xF5, 0xC0, 0x8F, 0x13, 0x4E, 0x1A}};
inline constexpr IID DIID__DPellacorEvents = {
    0xA6A61AAB, 0x5295, 0x4764, {0x9A, 0x1D, 0xFE, 0x4D, 0x07, 0xCB, 0x23, 0x7A}};

inline constexpr const char* kControlProgId = "PELLACOR.PellacorCtrl.1";
inline constexpr const char* kPropPageProgId = "PELLACOR.PellacorPropPage.1";
inline constexpr const char* kTypeLibName = "PellacorLib";
inline constexpr WORD kTypeLibMajor = 1;
inline constexpr WORD kTypeLibMinor = 0;
inline constexpr LCID kTypeLibLocale = 0x409;
// String resources 1 and 2.
inline constexpr const char* kControlTypeName = "Pellacor Control";
inline constexpr const char* kPropPageTypeName = "Pellacor Property Page";
inline constexpr int kToolboxBitmap = 1;
// OLEMISC_SETCLIENTSITEFIRST | ACTIVATEWHENVISIBLE | INSIDEOUT | CANTLINKINSIDE | RECOMPOSEONRESIZE
inline constexpr DWORD kMiscStatus = 0x20191;

}  // namespace pellacor
