// What a container asks of the control besides script: its property page through the
// Properties verb, the About box, its drawing, and its persistence through a stream and a
// property bag.

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "control_fixture.h"
#include "fvplatform/com_runtime.h"
#include "fvplatform/dialog.h"
#include "fvplatform/dialog_png.h"
#include "fvplatform/message_box.h"
#include "fvplatform/modal_dialog.h"
#include "fvplatform/ole_control.h"
#include "fvplatform/window.h"
#include "script_values.h"
#include "test_paths.h"

namespace {

using pellacortest::HostedControl;

const CLSID kPropPageClass = {
    0x484B22FE, 0xCA51, 0x4F6B, {0x9A, 0x78, 0xE6, 0x7D, 0xE3, 0x24, 0x40, 0x9B}};

// The person in front of every modal dialog the test shows: looks at it, then answers.
struct ModalScope {
  explicit ModalScope(fvplat::ModalDialogPolicy policy)
      : previous(fvplat::SetModalDialogPolicy(std::move(policy))) {}
  ~ModalScope() { fvplat::SetModalDialogPolicy(std::move(previous)); }
  fvplat::ModalDialogPolicy previous;
};

struct Seen {
  std::string text;
  fvplat::ControlKind kind;
  int id;
};

std::vector<Seen> ControlsOf(HWND window) {
  std::vector<Seen> seen;
  for (HWND child : fvplat::ChildWindows(window)) {
    fvplat::ControlState state;
    if (fvplat::ReadControl(child, &state)) seen.push_back({state.text, state.kind, state.id});
  }
  return seen;
}

// The child windows that are dialogs of their own (no controls), such as a frame's page.
std::vector<HWND> ChildDialogs(HWND window) {
  std::vector<HWND> dialogs;
  fvplat::ControlState state;
  for (HWND child : fvplat::ChildWindows(window)) {
    if (!fvplat::ReadControl(child, &state)) dialogs.push_back(child);
  }
  return dialogs;
}

template <class T>
T* Query(simbrowser::ComContainer& page, REFIID riid) {
  T* object = nullptr;
  EXPECT_EQ(page.QueryControl(riid, reinterpret_cast<void**>(&object)), S_OK);
  return object;
}

TEST_F(HostedControl, ThePropertiesVerbShowsTheOnePropertyPage) {
  ISpecifyPropertyPages* pages = Query<ISpecifyPropertyPages>(page_, IID_ISpecifyPropertyPages);
  ASSERT_NE(pages, nullptr);
  CAUUID list{};
  page_.RunOnUi([&] { EXPECT_EQ(pages->GetPages(&list), S_OK); });
  ASSERT_EQ(list.cElems, 1u);
  EXPECT_EQ(list.pElems[0], kPropPageClass);
  CoTaskMemFree(list.pElems);
  page_.RunOnUi([&] { pages->Release(); });

  int shown = 0;
  std::string caption;
  std::vector<Seen> frameControls, pageControls;
  HWND frame = nullptr, pageWindow = nullptr;
  ModalScope person([&](HWND dialog) {
    ++shown;
    frame = dialog;
    caption = fvplat::WindowText(dialog);
    frameControls = ControlsOf(dialog);
    const auto dialogs = ChildDialogs(dialog);
    if (dialogs.size() == 1) {
      pageWindow = dialogs[0];
      pageControls = ControlsOf(pageWindow);
      EXPECT_TRUE(IsWindowVisible(pageWindow));
    }
    EXPECT_TRUE(fvplat::WriteDialogPng(dialog, fvtest::BinaryDir() + "/pellacor-properties.png"));
    EXPECT_TRUE(fvplat::ClickButton(GetDlgItem(dialog, IDOK)));
    return IDCANCEL;  // the click decides
  });
  IOleObject* object = Query<IOleObject>(page_, IID_IOleObject);
  HRESULT hr = E_FAIL;
  page_.RunOnUi([&] {
    hr = object->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, 0, page_.PageWindow(), nullptr);
    object->Release();
  });
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(caption, "Pellacor Control 属性");
  ASSERT_EQ(pageControls.size(), 1u);
  EXPECT_EQ(pageControls[0].kind, fvplat::ControlKind::Static);
  EXPECT_EQ(pageControls[0].text,
            "TODO: 将用于操作 Pellacor Control 的属性的控件放置在此对话框上。");
  std::vector<std::string> frameTexts;
  for (const Seen& seen : frameControls) frameTexts.push_back(seen.text);
  EXPECT_EQ(frameTexts, (std::vector<std::string>{"常规", "应用", "取消", "确定"}));
  // The frame and its page are gone once the person has answered.
  EXPECT_FALSE(IsWindow(frame));
  EXPECT_FALSE(IsWindow(pageWindow));
}

TEST_F(HostedControl, TheAboutBoxIsDialogOneShownModally) {
  std::string caption;
  std::vector<Seen> controls;
  std::vector<std::uint8_t> icon;
  HWND shown = nullptr;
  {
    ModalScope person([&](HWND dialog) {
      shown = dialog;
      caption = fvplat::WindowText(dialog);
      controls = ControlsOf(dialog);
      for (HWND child : fvplat::ChildWindows(dialog)) {
        fvplat::ControlState state;
        if (fvplat::ReadControl(child, &state) && state.kind == fvplat::ControlKind::Picture) {
          icon = fvplat::ReadSurface(child).bgra;
        }
      }
      EXPECT_TRUE(fvplat::WriteDialogPng(dialog, fvtest::BinaryDir() + "/pellacor-about.png"));
      EXPECT_TRUE(fvplat::ClickButton(GetDlgItem(dialog, IDOK)));
      return IDCANCEL;
    });
    EXPECT_EQ(page_.Call("AboutBox").hr, S_OK);
  }
  EXPECT_EQ(caption, "关于 Pellacor Control");
  ASSERT_EQ(controls.size(), 3u);
  EXPECT_EQ(controls[0].kind, fvplat::ControlKind::Picture);
  EXPECT_EQ(controls[1].kind, fvplat::ControlKind::Static);
  EXPECT_EQ(controls[1].text, "Pellacor Control，版本 1.0.2");
  EXPECT_EQ(controls[2].kind, fvplat::ControlKind::Button);
  EXPECT_EQ(controls[2].id, IDOK);
  EXPECT_EQ(controls[2].text, "确定");
  ASSERT_EQ(icon.size(), 32u * 32u * 4u);
  EXPECT_NE(std::count(icon.begin(), icon.end(), 0), static_cast<std::ptrdiff_t>(icon.size()));
  EXPECT_FALSE(IsWindow(shown));
  // Nobody there: the box closes at once and the call returns.
  EXPECT_EQ(page_.Call("AboutBox").hr, S_OK);
}

TEST_F(HostedControl, DrawingFillsTheGivenRectangleWhite) {
  IViewObject* view = Query<IViewObject>(page_, IID_IViewObject);
  ASSERT_NE(view, nullptr);
  HWND target = fvplat::CreateChildWindow(nullptr, 40, 30);
  HDC dc = GetDC(target);
  const struct {
    RECTL bounds;
    RECT white;  // the part that must turn white, inside the 40 x 30 surface
  } cases[] = {
      {{5, 4, 25, 20}, {5, 4, 25, 20}},
      {{30, 20, -10, -5}, {0, 0, 30, 20}},     // corners either way round
      {{35, 25, 100, 100}, {35, 25, 40, 30}},  // clipped to the surface
  };
  for (const auto& c : cases) {
    const std::vector<std::uint8_t> black(40 * 30 * 4, 0);
    fvplat::CopyToSurface(dc, 0, 0, 40, 30, black.data());
    HRESULT hr = E_FAIL;
    page_.RunOnUi([&] {
      hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &c.bounds, nullptr,
                      nullptr, 0);
    });
    EXPECT_EQ(hr, S_OK);
    const auto pixels = fvplat::ReadSurface(target).bgra;
    int wrong = 0;
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 40; ++x) {
        const bool inside =
            x >= c.white.left && x < c.white.right && y >= c.white.top && y < c.white.bottom;
        for (int k = 0; k < 3; ++k) wrong += pixels[(y * 40 + x) * 4 + k] != (inside ? 0xFF : 0);
      }
    }
    EXPECT_EQ(wrong, 0) << c.bounds.left << "," << c.bounds.top;
  }
  // Without a device context nothing is drawn.
  const RECTL all{0, 0, 40, 30};
  HRESULT hr = S_OK;
  page_.RunOnUi([&] {
    hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &all, nullptr,
                    nullptr, 0);
    view->Release();
  });
  EXPECT_EQ(hr, E_INVALIDARG);
  ReleaseDC(target, dc);
  DestroyWindow(target);
}

// A stream in memory that hands out at most `chunk` bytes a read, as a stream may.
class MemoryStream final : public IStream {
 public:
  explicit MemoryStream(std::vector<std::uint8_t> bytes = {}, ULONG chunk = 1 << 20)
      : bytes_(std::move(bytes)), chunk_(chunk) {}
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (riid != IID_IUnknown && riid != IID_IStream && riid != IID_ISequentialStream) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IStream*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT Read(void* data, ULONG size, ULONG* read) override {
    const ULONG n = std::min<ULONG>({size, chunk_, static_cast<ULONG>(bytes_.size() - at_)});
    if (n > 0) std::memcpy(data, bytes_.data() + at_, n);
    at_ += n;
    if (read != nullptr) *read = n;
    return n < size ? S_FALSE : S_OK;
  }
  HRESULT Write(const void* data, ULONG size, ULONG* written) override {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
    if (written != nullptr) *written = size;
    return S_OK;
  }
  HRESULT Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return E_NOTIMPL; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT Clone(IStream**) override { return E_NOTIMPL; }

 private:
  std::vector<std::uint8_t> bytes_;
  ULONG chunk_;
  std::size_t at_ = 0;
};

class MemoryBag final : public IPropertyBag {
 public:
  ~MemoryBag() {
    for (auto& [name, value] : values) VariantClear(&value);
  }
  void Put(const std::u16string& name, const VARIANT& value) {
    VariantClear(&values[name]);
    VariantCopy(&values[name], &value);
  }
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (riid != IID_IUnknown && riid != IID_IPropertyBag) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IPropertyBag*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    const auto found = values.find(name);
    if (found == values.end()) return E_INVALIDARG;
    return VariantCopy(value, &found->second);
  }
  HRESULT Write(LPCOLESTR name, VARIANT* value) override {
    Put(name, *value);
    return S_OK;
  }
  std::map<std::u16string, VARIANT> values;
};

using fvtest::Int;

class PersistedControl : public HostedControl {
 protected:
  void SetUp() override {
    HostedControl::SetUp();
    stream_ = Query<IPersistStreamInit>(page_, IID_IPersistStreamInit);
    bag_ = Query<IPersistPropertyBag>(page_, IID_IPersistPropertyBag);
    object_ = Query<IOleObject>(page_, IID_IOleObject);
    ASSERT_NE(stream_, nullptr);
    ASSERT_NE(bag_, nullptr);
  }
  void TearDown() override {
    page_.RunOnUi([&] {
      stream_->Release();
      bag_->Release();
      object_->Release();
    });
  }
  SIZEL Extent() {
    SIZEL size{-1, -1};
    page_.RunOnUi([&] { object_->GetExtent(DVASPECT_CONTENT, &size); });
    return size;
  }
  void SetExtent(LONG cx, LONG cy) {
    SIZEL size{cx, cy};
    page_.RunOnUi([&] { object_->SetExtent(DVASPECT_CONTENT, &size); });
  }
  // Runs `work` on the user-interface thread and answers its result.
  template <class F>
  HRESULT OnUi(F&& work) {
    HRESULT hr = E_FAIL;
    page_.RunOnUi([&] { hr = work(); });
    return hr;
  }

  IPersistStreamInit* stream_ = nullptr;
  IPersistPropertyBag* bag_ = nullptr;
  IOleObject* object_ = nullptr;
};

// The version 0x10000, then the extent: 320 x 240 pixels are 8467 x 6350 hundredths of a
// millimetre (x 2540 / 96, rounded).
const std::vector<std::uint8_t> kNewState = {0x00, 0x00, 0x01, 0x00, 0x13, 0x21,
                                             0x00, 0x00, 0xCE, 0x18, 0x00, 0x00};

TEST_F(PersistedControl, AStreamHoldsTheVersionAndTheBaseProperties) {
  MemoryStream saved;
  EXPECT_EQ(OnUi([&] { return stream_->Save(&saved, TRUE); }), S_OK);
  EXPECT_EQ(saved.bytes(), kNewState);
  ULARGE_INTEGER size{};
  EXPECT_EQ(OnUi([&] { return stream_->GetSizeMax(&size); }), S_OK);
  EXPECT_EQ(size.QuadPart, 12u);
  CLSID clsid{};
  EXPECT_EQ(OnUi([&] { return stream_->GetClassID(&clsid); }), S_OK);
  EXPECT_EQ(fvplat::GuidToString(clsid), "{DC26F2AB-C4EC-441B-BB40-FCC592066E3A}");

  SetExtent(1000, 2000);
  EXPECT_EQ(OnUi([&] { return stream_->IsDirty(); }), S_OK);
  MemoryStream changed;
  EXPECT_EQ(OnUi([&] { return stream_->Save(&changed, TRUE); }), S_OK);
  EXPECT_EQ(OnUi([&] { return stream_->IsDirty(); }), S_FALSE);
  EXPECT_EQ(changed.bytes(), (std::vector<std::uint8_t>{0x00, 0x00, 0x01, 0x00, 0xE8, 0x03, 0x00,
                                                        0x00, 0xD0, 0x07, 0x00, 0x00}));

  // InitNew is the reset of a new control; a load, one byte a read, brings the state back.
  EXPECT_EQ(OnUi([&] { return stream_->InitNew(); }), S_OK);
  EXPECT_EQ(Extent().cx, 8467);
  MemoryStream trickle(changed.bytes(), 1);
  EXPECT_EQ(OnUi([&] { return stream_->Load(&trickle); }), S_OK);
  EXPECT_EQ(Extent().cx, 1000);
  EXPECT_EQ(Extent().cy, 2000);
}

TEST_F(PersistedControl, AStreamOfAnotherVersionOrCutShortIsRefusedAndChangesNothing) {
  SetExtent(1000, 2000);
  const std::vector<std::vector<std::uint8_t>> refused = {
      {},
      {0x00, 0x00, 0x01},
      {0x00, 0x00, 0x01, 0x00},
      {0x00, 0x00, 0x01, 0x00, 0x13, 0x21, 0x00, 0x00, 0xCE, 0x18, 0x00},
      {0x00, 0x00, 0x02, 0x00, 0x13, 0x21, 0x00, 0x00, 0xCE, 0x18, 0x00, 0x00},  // 2.0
      {0x00, 0x00, 0x00, 0x00, 0x13, 0x21, 0x00, 0x00, 0xCE, 0x18, 0x00, 0x00},  // 0.0
      {0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xCE, 0x18, 0x00, 0x00},  // width -1
  };
  for (const auto& bytes : refused) {
    MemoryStream stream(bytes);
    EXPECT_EQ(OnUi([&] { return stream_->Load(&stream); }), E_FAIL) << bytes.size();
    EXPECT_EQ(Extent().cx, 1000);
    EXPECT_EQ(Extent().cy, 2000);
  }
  EXPECT_EQ(OnUi([&] { return stream_->Load(nullptr); }), E_POINTER);
}

TEST_F(PersistedControl, APropertyBagHoldsTheSameAndRefusesTheSameWay) {
  MemoryBag saved;
  EXPECT_EQ(OnUi([&] { return bag_->Save(&saved, TRUE, TRUE); }), S_OK);
  ASSERT_EQ(saved.values.size(), 3u);
  EXPECT_EQ(saved.values[u"_Version"].vt, VT_I4);
  EXPECT_EQ(saved.values[u"_Version"].lVal, 0x10000);
  EXPECT_EQ(saved.values[u"_ExtentX"].lVal, 8467);
  EXPECT_EQ(saved.values[u"_ExtentY"].lVal, 6350);

  // A page's parameters arrive as texts; absent ones keep the defaults.
  MemoryBag page;
  VARIANT text = fvtest::Text("65536");
  page.Put(u"_Version", text);
  VariantClear(&text);
  page.Put(u"_ExtentX", Int(500));
  EXPECT_EQ(OnUi([&] { return bag_->Load(&page, nullptr); }), S_OK);
  EXPECT_EQ(Extent().cx, 500);
  EXPECT_EQ(Extent().cy, 6350);
  MemoryBag empty;
  EXPECT_EQ(OnUi([&] { return bag_->Load(&empty, nullptr); }), S_OK);
  EXPECT_EQ(Extent().cx, 8467);

  SetExtent(1000, 2000);
  MemoryBag otherVersion;
  otherVersion.Put(u"_Version", Int(0x20000));
  MemoryBag notANumber;
  text = fvtest::Text("wide");
  notANumber.Put(u"_ExtentX", text);
  VariantClear(&text);
  for (MemoryBag* bad : {&otherVersion, &notANumber}) {
    EXPECT_EQ(OnUi([&] { return bag_->Load(bad, nullptr); }), E_FAIL);
    EXPECT_EQ(Extent().cx, 1000);
  }
  EXPECT_EQ(OnUi([&] { return bag_->InitNew(); }), S_OK);
  EXPECT_EQ(Extent().cx, 8467);
  EXPECT_EQ(Extent().cy, 6350);
}

TEST_F(HostedControl, TheUserTypeIsTheControlsName) {
  IOleObject* object = Query<IOleObject>(page_, IID_IOleObject);
  LPOLESTR name = nullptr;
  page_.RunOnUi([&] {
    EXPECT_EQ(object->GetUserType(1, &name), S_OK);
    object->Release();
  });
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(fvplat::Utf16ToUtf8(name), "Pellacor Control");
  CoTaskMemFree(name);
}

}  // namespace
