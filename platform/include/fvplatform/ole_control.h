#pragma once
// What a container asks of a control besides dispatch and events: its persistence (a stream or
// a property bag), its drawing into a device context, its property pages, and the property
// frame that shows them. Laid out as OLE documents them.

#include <cstdint>

#include "fvplatform/oleauto.h"

struct STATSTG;
struct DVTARGETDEVICE;

struct LARGE_INTEGER {
  std::int64_t QuadPart;
};
struct ULARGE_INTEGER {
  std::uint64_t QuadPart;
};

struct RECTL {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct CAUUID {
  ULONG cElems;
  GUID* pElems;  // CoTaskMemAlloc'ed; the caller frees it
};

inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;
inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr LONG OLEIVERB_PROPERTIES = -7;

struct ISequentialStream : IUnknown {
  virtual HRESULT Read(void* data, ULONG size, ULONG* read) = 0;
  virtual HRESULT Write(const void* data, ULONG size, ULONG* written) = 0;
};

struct IStream : ISequentialStream {
  virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER size) = 0;
  virtual HRESULT CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                         ULARGE_INTEGER* written) = 0;
  virtual HRESULT Commit(DWORD flags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) = 0;
  virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
  virtual HRESULT Clone(IStream** copy) = 0;
};

struct IErrorLog : IUnknown {
  virtual HRESULT AddError(LPCOLESTR property, EXCEPINFO* error) = 0;
};

struct IPropertyBag : IUnknown {
  // The caller sets value->vt to the type it wants (VT_EMPTY: any).
  virtual HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) = 0;
  virtual HRESULT Write(LPCOLESTR name, VARIANT* value) = 0;
};

struct IPersist : IUnknown {
  virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IPersistStreamInit : IPersist {
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(IStream* stream) = 0;
  virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
  virtual HRESULT GetSizeMax(ULARGE_INTEGER* size) = 0;
  virtual HRESULT InitNew() = 0;
};

struct IPersistPropertyBag : IPersist {
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(IPropertyBag* bag, IErrorLog* log) = 0;
  virtual HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) = 0;
};

using ContinueDrawing = BOOL (*)(ULONG_PTR);

struct IViewObject : IUnknown {
  virtual HRESULT Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                       HDC targetDevice, HDC draw, const RECTL* bounds, const RECTL* metafileBounds,
                       ContinueDrawing keepGoing, ULONG_PTR keepGoingArgument) = 0;
  virtual HRESULT GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                              HDC targetDevice, LOGPALETTE** colours) = 0;
  virtual HRESULT Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) = 0;
  virtual HRESULT Unfreeze(DWORD freeze) = 0;
  virtual HRESULT SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) = 0;
  virtual HRESULT GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) = 0;
};

struct ISpecifyPropertyPages : IUnknown {
  virtual HRESULT GetPages(CAUUID* pages) = 0;
};

inline constexpr IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPersistStreamInit = {
    0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};
inline constexpr IID IID_IPersistPropertyBag = {
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr IID IID_ISequentialStream = {
    0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPropertyBag = {
    0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr IID IID_IErrorLog = {
    0x3127CA40, 0x446E, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr IID IID_IViewObject = {0x0000010D, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ISpecifyPropertyPages = {
    0xB196B28B, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

extern "C" {
// A modal frame with one tab a page (each made through the class registry) for `objects`,
// and the buttons OK, Cancel and Apply. It runs under the modal-dialog policy (modal_dialog.h):
// OK or Apply applies each page. The failure of the first page that cannot be made or shown.
FVPLAT_API HRESULT OleCreatePropertyFrame(HWND owner, UINT x, UINT y, LPCOLESTR caption,
                                          ULONG objectCount, IUnknown** objects, ULONG pageCount,
                                          CLSID* pages, LCID locale, DWORD reserved,
                                          void* reserved2);
}
