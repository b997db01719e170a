// The property frame: a modal dialog holding an object's property pages, the first page shown
// under its tab, with OK, Cancel and Apply below. Its texts are the system's, in Chinese.

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "fvplatform/com_runtime.h"
#include "fvplatform/dialog.h"
#include "fvplatform/message_box.h"
#include "fvplatform/modal_dialog.h"
#include "fvplatform/ole_control.h"

namespace {

constexpr int kMargin = 10;
constexpr int kTabHeight = 22;
constexpr int kButtonWidth = 75, kButtonHeight = 23, kButtonGap = 8;
constexpr int kApplyId = 0x3021;

// The frame as the pages see it: it only answers its locale.
class PageSite final : public IPropertyPageSite {
 public:
  explicit PageSite(LCID locale) : locale_(locale) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IPropertyPageSite) return E_NOINTERFACE;
    *object = static_cast<IPropertyPageSite*>(this);
    AddRef();
    return S_OK;
  }
  // The frame owns the site and outlives every page's hold on it.
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }
  HRESULT OnStatusChange(DWORD) override { return S_OK; }
  HRESULT GetLocaleID(LCID* locale) override {
    if (locale == nullptr) return E_POINTER;
    *locale = locale_;
    return S_OK;
  }
  HRESULT GetPageContainer(IUnknown** container) override {
    if (container != nullptr) *container = nullptr;
    return E_NOTIMPL;
  }
  HRESULT TranslateAccelerator(MSG*) override { return S_FALSE; }

 private:
  LCID locale_;
  std::atomic<ULONG> refs_{1};
};

struct Frame {
  std::vector<IPropertyPage*> pages;

  void ApplyAll() const {
    for (IPropertyPage* page : pages) page->Apply();
  }
  void Release() {
    for (IPropertyPage* page : pages) {
      page->Deactivate();
      page->SetObjects(0, nullptr);
      page->SetPageSite(nullptr);
      page->Release();
    }
    pages.clear();
  }
};

LRESULT FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* frame = reinterpret_cast<Frame*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (frame != nullptr && message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case IDOK:
      case IDCANCEL:
        EndDialog(window, LOWORD(wParam));
        return 0;
      case kApplyId:
        frame->ApplyAll();
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND AddControl(HWND frame, int id, fvplat::ControlKind kind, const std::string& text, int x, int y,
                int width, int height) {
  fvplat::ControlSpec spec;
  spec.id = id;
  spec.kind = kind;
  spec.text = text;
  spec.x = x;
  spec.y = y;
  spec.width = width;
  spec.height = height;
  spec.centred = kind != fvplat::ControlKind::Static;
  HWND control = fvplat::CreateControl(frame, spec);
  fvplat::SetControlFont(control, fvplat::Font{"MS Shell Dlg", 9});
  return control;
}

}  // namespace

extern "C" HRESULT OleCreatePropertyFrame(HWND, UINT, UINT, LPCOLESTR caption, ULONG objectCount,
                                          IUnknown** objects, ULONG pageCount, CLSID* pages,
                                          LCID locale, DWORD, void*) {
  if ((objectCount > 0 && objects == nullptr) || (pageCount > 0 && pages == nullptr))
    return E_POINTER;
  Frame frame;
  PageSite site(locale);
  std::vector<std::string> titles;
  SIZEL area{0, 0};
  for (ULONG i = 0; i < pageCount; ++i) {
    IPropertyPage* page = nullptr;
    HRESULT hr = CoCreateInstance(pages[i], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                  reinterpret_cast<void**>(&page));
    PROPPAGEINFO info{};
    if (SUCCEEDED(hr)) {
      frame.pages.push_back(page);
      hr = page->GetPageInfo(&info);
    }
    if (FAILED(hr)) {
      frame.Release();
      return hr;
    }
    titles.push_back(info.pszTitle != nullptr ? fvplat::Utf16ToUtf8(info.pszTitle) : std::string());
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
    area.cx = std::max(area.cx, info.size.cx);
    area.cy = std::max(area.cy, info.size.cy);
    page->SetPageSite(&site);
    page->SetObjects(objectCount, objects);
  }

  const int buttonsY = kMargin + kTabHeight + area.cy + kMargin;
  fvplat::WindowSpec spec;
  spec.caption = (caption != nullptr ? fvplat::Utf16ToUtf8(caption) : std::string()) + " 属性";
  spec.width =
      std::max<int>(area.cx + 2 * kMargin, 3 * kButtonWidth + 2 * kButtonGap + 2 * kMargin);
  spec.height = buttonsY + kButtonHeight + kMargin;
  spec.proc = &FrameProc;
  HWND window = fvplat::CreatePlatformWindow(spec);
  if (window == nullptr) {
    frame.Release();
    return E_OUTOFMEMORY;
  }
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&frame));
  for (std::size_t i = 0; i < titles.size(); ++i) {
    AddControl(window, 0, fvplat::ControlKind::Static, titles[i],
               kMargin + static_cast<int>(i) * 80, kMargin, 80, kTabHeight);
  }
  int x = spec.width - kMargin - kButtonWidth;
  AddControl(window, kApplyId, fvplat::ControlKind::Button, "应用", x, buttonsY, kButtonWidth,
             kButtonHeight);
  x -= kButtonWidth + kButtonGap;
  AddControl(window, IDCANCEL, fvplat::ControlKind::Button, "取消", x, buttonsY, kButtonWidth,
             kButtonHeight);
  x -= kButtonWidth + kButtonGap;
  AddControl(window, IDOK, fvplat::ControlKind::Button, "确定", x, buttonsY, kButtonWidth,
             kButtonHeight);

  HRESULT hr = S_OK;
  if (!frame.pages.empty()) {
    const RECT place{kMargin, kMargin + kTabHeight, kMargin + area.cx,
                     kMargin + kTabHeight + area.cy};
    hr = frame.pages.front()->Activate(window, &place, TRUE);
    if (SUCCEEDED(hr)) hr = frame.pages.front()->Show(SW_SHOW);
  }
  if (SUCCEEDED(hr) && fvplat::RunModalDialog(window) == IDOK) frame.ApplyAll();
  frame.Release();
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
  return hr;
}
