#pragma once
// The control's property page: one page, "常规", with nothing to edit, only the note that the
// page has no controls yet.

#include <atomic>

#include "fvplatform/com_interfaces.h"

class CPellacorPropPage final : public IPropertyPage {
 public:
  static constexpr int kTemplateId = 200;
  static constexpr const char* kCaption = "常规";
  static constexpr const char* kNote = "TODO: 将用于操作 Pellacor Control 的属性的控件放置在此对话框上。";

  CPellacorPropPage();
  ~CPellacorPropPage();
  CPellacorPropPage(const CPellacorPropPage&) = delete;
  CPellacorPropPage& operator=(const CPellacorPropPage&) = delete;

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT SetPageSite(IPropertyPageSite* site) override;
  // Makes the page's window (250 x 62 dialog units, a child of `parent` at the rectangle's
  // corner) with its note.
  HRESULT Activate(HWND parent, const RECT* rect, BOOL modal) override;
  HRESULT Deactivate() override;
  HRESULT GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT Show(UINT command) override;
  HRESULT Move(const RECT* rect) override;
  // Never dirty: there are no fields, and applying has nothing to write.
  HRESULT IsPageDirty() override;
  HRESULT Apply() override;
  HRESULT Help(LPCOLESTR helpDir) override;
  HRESULT TranslateAccelerator(MSG* message) override;

 private:
  std::atomic<ULONG> m_refs{1};
  IPropertyPageSite* m_site = nullptr;
  HWND m_hWnd = nullptr;
};
