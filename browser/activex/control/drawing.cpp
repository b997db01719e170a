// The control's picture when a container draws it: the given rectangle filled white.

#include <algorithm>
#include <vector>

#include "control/pellacor_ctrl.h"
#include "fvplatform/window.h"

HRESULT CPellacorCtrl::XViewObject::Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC draw,
                                         const RECTL* bounds, const RECTL*, ContinueDrawing,
                                         ULONG_PTR) {
  if (draw == nullptr || bounds == nullptr) return E_INVALIDARG;
  int width = 0, height = 0;
  if (!fvplat::SurfaceSize(draw, &width, &height)) return E_INVALIDARG;
  // Only the part of the rectangle that lies on the surface is touched.
  const LONG left = std::clamp<LONG>(std::min(bounds->left, bounds->right), 0, width);
  const LONG right = std::clamp<LONG>(std::max(bounds->left, bounds->right), 0, width);
  const LONG top = std::clamp<LONG>(std::min(bounds->top, bounds->bottom), 0, height);
  const LONG bottom = std::clamp<LONG>(std::max(bounds->top, bounds->bottom), 0, height);
  if (right > left && bottom > top) {
    const std::vector<std::uint8_t> white(
        static_cast<std::size_t>(right - left) * (bottom - top) * 4, 0xFF);
    fvplat::CopyToSurface(draw, left, top, right - left, bottom - top, white.data());
  }
  return S_OK;
}

HRESULT CPellacorCtrl::XViewObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                                LOGPALETTE** colours) {
  if (colours == nullptr) return E_POINTER;
  *colours = nullptr;
  return S_FALSE;
}

HRESULT CPellacorCtrl::XViewObject::Freeze(DWORD, LONG, void*, DWORD* freeze) {
  if (freeze == nullptr) return E_POINTER;
  *freeze = 0;
  return E_NOTIMPL;
}

HRESULT CPellacorCtrl::XViewObject::Unfreeze(DWORD) {
  return E_NOTIMPL;
}

HRESULT CPellacorCtrl::XViewObject::SetAdvise(DWORD, DWORD, IAdviseSink*) {
  return E_NOTIMPL;
}

HRESULT CPellacorCtrl::XViewObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = 0;
  if (flags != nullptr) *flags = 0;
  if (sink != nullptr) *sink = nullptr;
  return E_NOTIMPL;
}
