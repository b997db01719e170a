#include "sim_browser/com_container.h"

#include <atomic>
#include <deque>
#include <thread>

#include "fvplatform/com_runtime.h"

namespace simbrowser {
namespace {

// A COM object of the page whose reference count only reports; the container owns it.
template <class... Interfaces>
class PageObject : public Interfaces... {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }
  ULONG refs() const { return refs_; }

 private:
  std::atomic<ULONG> refs_{1};
};

class Browser final : public PageObject<IWebBrowser2> {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IWebBrowser2 || riid == IID_IWebBrowserApp) {
      *object = static_cast<IWebBrowser2*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
};

// The top-level browser's service provider: it hands out the browser.
class TopLevel final : public PageObject<IServiceProvider> {
 public:
  explicit TopLevel(Browser& browser) : browser_(browser) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IServiceProvider) {
      *object = static_cast<IServiceProvider*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT QueryService(REFGUID service, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (service != IID_IWebBrowserApp) return E_NOINTERFACE;
    return browser_.QueryInterface(riid, object);
  }

 private:
  Browser& browser_;
};

class Site final : public PageObject<IOleClientSite, IServiceProvider> {
 public:
  Site(TopLevel& top, std::atomic<int>& requests) : top_(top), requests_(requests) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
      *object = static_cast<IOleClientSite*>(this);
    } else if (riid == IID_IServiceProvider) {
      *object = static_cast<IServiceProvider*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return PageObject::AddRef(); }
  ULONG Release() override { return PageObject::Release(); }
  HRESULT SaveObject() override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetContainer(IOleContainer** container) override {
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT ShowObject() override { return S_OK; }
  HRESULT OnShowWindow(BOOL) override { return S_OK; }
  HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
  HRESULT QueryService(REFGUID service, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (service != SID_STopLevelBrowser) return E_NOINTERFACE;
    ++requests_;
    return top_.QueryInterface(riid, object);
  }

 private:
  TopLevel& top_;
  std::atomic<int>& requests_;
};

}  // namespace

class ComContainer::Impl {
 public:
  // The event sink: records each event with the thread it came on.
  class Sink final : public PageObject<IDispatch> {
   public:
    explicit Sink(Impl& page) : page_(page) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
      if (object == nullptr) return E_POINTER;
      if (riid == IID_IUnknown || riid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
      }
      *object = nullptr;
      return E_NOINTERFACE;
    }
    HRESULT GetTypeInfoCount(UINT* count) override {
      if (count != nullptr) *count = 0;
      return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                   UINT*) override {
      std::string text;
      if (params != nullptr && params->cArgs == 1 && params->rgvarg[0].vt == VT_BSTR) {
        text = fvplat::Utf8FromBstr(params->rgvarg[0].bstrVal);
      }
      page_.Record(id, std::move(text));
      return S_OK;
    }

   private:
    Impl& page_;
  };

  Impl() : top_(browser_), site_(top_, browserRequests_), sink_(*this) {
    ui_ = std::thread([this] { UiLoop(); });
  }

  ~Impl() {
    RunOnUi([this] { DestroyOnUi(); });
    {
      std::lock_guard<std::mutex> guard(lock_);
      stopping_ = true;
    }
    wake_.notify_all();
    ui_.join();
  }

  void RunOnUi(const std::function<void()>& work) {
    if (std::this_thread::get_id() == ui_.get_id()) {
      work();
      return;
    }
    bool done = false;
    std::unique_lock<std::mutex> guard(lock_);
    tasks_.push_back([&] {
      work();
      std::lock_guard<std::mutex> inner(lock_);
      done = true;
      finished_.notify_all();
    });
    wake_.notify_all();
    finished_.wait(guard, [&] { return done; });
  }

  HRESULT CreateOnUi(const std::string& progId) {
    DestroyOnUi();
    CLSID clsid{};
    const std::u16string name = fvplat::Utf8ToUtf16(progId);
    HRESULT hr = CLSIDFromProgID(name.c_str(), &clsid);
    if (FAILED(hr)) return hr;
    IOleObject* object = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                          reinterpret_cast<void**>(&object));
    if (FAILED(hr)) return hr;
    if (object == nullptr) return E_UNEXPECTED;
    object_ = object;
    hr = object_->SetClientSite(&site_);
    if (FAILED(hr)) return hr;
    hr = object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_));
    if (FAILED(hr)) return hr;
    IConnectionPointContainer* points = nullptr;
    hr = object_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points));
    if (FAILED(hr)) return hr;
    hr = points->FindConnectionPoint(eventInterface_, &point_);
    points->Release();
    if (SUCCEEDED(hr) && point_ != nullptr) hr = point_->Advise(&sink_, &cookie_);
    if (FAILED(hr)) return hr;
    const RECT place{0, 0, 320, 240};
    return object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site_, 0, pageWindow_, &place);
  }

  void DestroyOnUi() {
    if (point_ != nullptr) {
      point_->Unadvise(cookie_);
      point_->Release();
      point_ = nullptr;
    }
    if (dispatch_ != nullptr) {
      dispatch_->Release();
      dispatch_ = nullptr;
    }
    if (object_ != nullptr) {
      object_->Close(OLECLOSE_NOSAVE);
      object_->SetClientSite(nullptr);
      object_->Release();
      object_ = nullptr;
    }
  }

  CallResult CallOnUi(const std::string& method, const std::vector<ScriptValue>& arguments) {
    CallResult out;
    if (dispatch_ == nullptr) return out;
    const DISPID id = IdOnUi(method);
    if (id == DISPID_UNKNOWN) {
      out.hr = DISP_E_UNKNOWNNAME;
      return out;
    }
    std::vector<VARIANT> args(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      VARIANT& v = args[arguments.size() - 1 - i];  // last argument first
      VariantInit(&v);
      if (const auto* number = std::get_if<std::int32_t>(&arguments[i])) {
        v.vt = VT_I4;
        v.lVal = *number;
      } else if (const auto* real = std::get_if<float>(&arguments[i])) {
        v.vt = VT_R4;
        v.fltVal = *real;
      } else if (const auto* text = std::get_if<std::string>(&arguments[i])) {
        v.vt = VT_BSTR;
        v.bstrVal = fvplat::BstrFromUtf8(*text);
      }
    }
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr,
                      static_cast<UINT>(args.size()), 0};
    VARIANT result;
    VariantInit(&result);
    out.hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                               &result, nullptr, nullptr);
    switch (result.vt) {
      case VT_I4: out.value = result.lVal; break;
      case VT_R4: out.value = result.fltVal; break;
      case VT_BSTR: out.value = fvplat::Utf8FromBstr(result.bstrVal); break;
      default: break;
    }
    VariantClear(&result);
    for (VARIANT& v : args) VariantClear(&v);
    return out;
  }

  DISPID IdOnUi(const std::string& method) {
    if (dispatch_ == nullptr) return DISPID_UNKNOWN;
    std::u16string name = fvplat::Utf8ToUtf16(method);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
      return DISPID_UNKNOWN;
    }
    return id;
  }

  void Record(DISPID id, std::string text) {
    std::lock_guard<std::mutex> guard(eventLock_);
    if (std::this_thread::get_id() != ui_.get_id()) offUiThread_ = true;
    events_.push_back({id, std::move(text)});
    eventFired_.notify_all();
  }

  std::vector<FiredEvent> Events() const {
    std::lock_guard<std::mutex> guard(eventLock_);
    return events_;
  }
  void ClearEvents() {
    std::lock_guard<std::mutex> guard(eventLock_);
    events_.clear();
  }
  bool WaitForEvent(DISPID id, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> guard(eventLock_);
    return eventFired_.wait_for(guard, limit, [&] {
      for (const auto& event : events_) {
        if (event.id == id) return true;
      }
      return false;
    });
  }

  bool hasControl() const { return object_ != nullptr; }
  IOleObject* object() const { return object_; }
  int browserRequests() const { return browserRequests_; }
  bool eventsOnUiThread() const {
    std::lock_guard<std::mutex> guard(eventLock_);
    return !offUiThread_;
  }

 private:
  void UiLoop() {
    CoInitialize(nullptr);
    std::unique_lock<std::mutex> guard(lock_);
    while (true) {
      wake_.wait(guard, [&] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty() && stopping_) break;
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      guard.unlock();
      task();
      guard.lock();
    }
    guard.unlock();
    CoUninitialize();
  }

  // _DPellacorEvents is what a page's script sinks; the container knows it from the page.
  const IID eventInterface_ = {0xA6A61AAB, 0x5295, 0x4764,
                               {0x9A, 0x1D, 0xFE, 0x4D, 0x07, 0xCB, 0x23, 0x7A}};
  Browser browser_;
  TopLevel top_;
  std::atomic<int> browserRequests_{0};
  Site site_;
  Sink sink_;
  IOleObject* object_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
  HWND pageWindow_ = nullptr;

  std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::thread ui_;

  mutable std::mutex eventLock_;
  std::condition_variable eventFired_;
  std::vector<FiredEvent> events_;
  bool offUiThread_ = false;
};

ComContainer::ComContainer() : impl_(std::make_unique<Impl>()) {}
ComContainer::~ComContainer() = default;

HRESULT ComContainer::Create(const std::string& progId) {
  HRESULT hr = E_FAIL;
  impl_->RunOnUi([&] { hr = impl_->CreateOnUi(progId); });
  return hr;
}

void ComContainer::Destroy() {
  impl_->RunOnUi([&] { impl_->DestroyOnUi(); });
}

bool ComContainer::HasControl() const { return impl_->hasControl(); }

CallResult ComContainer::Call(const std::string& method, const std::vector<ScriptValue>& arguments) {
  CallResult out;
  impl_->RunOnUi([&] { out = impl_->CallOnUi(method, arguments); });
  return out;
}

std::int32_t ComContainer::CallInt(const std::string& method, const std::vector<ScriptValue>& arguments) {
  const CallResult out = Call(method, arguments);
  const auto* value = std::get_if<std::int32_t>(&out.value);
  return SUCCEEDED(out.hr) && value != nullptr ? *value : -999999;
}

std::string ComContainer::CallText(const std::string& method, const std::vector<ScriptValue>& arguments) {
  const CallResult out = Call(method, arguments);
  const auto* value = std::get_if<std::string>(&out.value);
  return SUCCEEDED(out.hr) && value != nullptr ? *value : std::string("<call failed>");
}

DISPID ComContainer::IdOfName(const std::string& method) {
  DISPID id = DISPID_UNKNOWN;
  impl_->RunOnUi([&] { id = impl_->IdOnUi(method); });
  return id;
}

void ComContainer::RunOnUi(const std::function<void()>& work) { impl_->RunOnUi(work); }

HRESULT ComContainer::QueryControl(REFIID riid, void** object) {
  HRESULT hr = E_FAIL;
  impl_->RunOnUi([&] {
    hr = impl_->object() == nullptr ? E_FAIL : impl_->object()->QueryInterface(riid, object);
  });
  return hr;
}

std::vector<FiredEvent> ComContainer::Events() const { return impl_->Events(); }
void ComContainer::ClearEvents() { impl_->ClearEvents(); }
bool ComContainer::WaitForEvent(DISPID id, std::chrono::milliseconds limit) {
  return impl_->WaitForEvent(id, limit);
}
int ComContainer::BrowserRequests() const { return impl_->browserRequests(); }
bool ComContainer::EventsOnUiThread() const { return impl_->eventsOnUiThread(); }

}  // namespace simbrowser
