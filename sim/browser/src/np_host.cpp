#include "sim_browser/np_host.h"

#include <dlfcn.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "fvplatform/messages.h"
#include "fvplatform/window.h"

namespace simbrowser {
namespace {

constexpr char kMimeType[] = "application/sorvik-plugin";
constexpr UINT kRunTask = WM_USER + 0x301;

// The one host of the process: the browser functions are plain C functions.
NpHost::Impl* g_host = nullptr;

}  // namespace

struct Page {
  NPP_t npp{};
  HWND window = nullptr;
  PageCallback callback = PageCallback::kFunction;
  NPObject* windowObject = nullptr;
  NPObject* function = nullptr;
  NPObject* scriptable = nullptr;
  bool alive = false;
  std::vector<UINT> messages;
  std::vector<PageCall> calls;
};

// The page's own objects: the window object and its "callbackfunction".
struct HostObject : NPObject {
  Page* page = nullptr;
};

class NpHost::Impl {
 public:
  Impl() {
    ui_ = std::thread([this] { UiLoop(); });
    std::unique_lock<std::mutex> guard(lock_);
    started_.wait(guard, [&] { return ready_; });
  }

  ~Impl() {
    RunOnUi([] { PostQuitMessage(0); });
    ui_.join();
  }

  void RunOnUi(const std::function<void()>& work) {
    if (OnUi()) {
      work();
      return;
    }
    SendMessageA(taskWindow_, kRunTask, 0, reinterpret_cast<LPARAM>(&work));
  }
  bool OnUi() const { return std::this_thread::get_id() == ui_.get_id(); }

  // Module.
  bool Open(const std::string& path) {
    module_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module_ == nullptr) return false;
    getEntryPoints_ = reinterpret_cast<GetEntryPointsFn>(dlsym(module_, "NP_GetEntryPoints"));
    initialize_ = reinterpret_cast<InitializeFn>(dlsym(module_, "NP_Initialize"));
    shutdown_ = reinterpret_cast<ShutdownFn>(dlsym(module_, "NP_Shutdown"));
    getMimeDescription_ =
        reinterpret_cast<GetMimeDescriptionFn>(dlsym(module_, "NP_GetMIMEDescription"));
    getValue_ = reinterpret_cast<GetValueFn>(dlsym(module_, "NP_GetValue"));
    return getEntryPoints_ != nullptr && initialize_ != nullptr && shutdown_ != nullptr;
  }

  int Load(const std::string& path, LoadWay way) {
    if (!Open(path)) return -1;
    if (way == LoadWay::kUnix && (getMimeDescription_ == nullptr || getValue_ == nullptr)) return -1;
    int result = 0;
    RunOnUi([&] {
      plugin_ = NPPluginFuncs{};
      plugin_.size = sizeof plugin_;
      if (way == LoadWay::kWindows) {
        result = getEntryPoints_(&plugin_);
        if (result != 0) return;
        FillBrowserTable();
        result = initialize_(&browser_, nullptr);
        return;
      }
      const char* mime = getMimeDescription_();
      mimeDescription_ = mime != nullptr ? mime : "";
      for (auto [variable, text] : {std::pair{NPPVpluginNameString, &pluginName_},
                                    std::pair{NPPVpluginDescriptionString, &pluginDescription_}}) {
        const char* answer = nullptr;
        result = getValue_(nullptr, variable, &answer);
        if (result != 0) return;
        *text = answer != nullptr ? answer : "";
      }
      FillBrowserTable();
      result = initialize_(&browser_, &plugin_);
    });
    return result;
  }

  int Shutdown() {
    if (module_ == nullptr) return 0;
    int result = 0;
    RunOnUi([&] {
      if (shutdown_ != nullptr) result = shutdown_();
    });
    dlclose(module_);
    module_ = nullptr;
    getEntryPoints_ = nullptr;
    initialize_ = nullptr;
    shutdown_ = nullptr;
    getMimeDescription_ = nullptr;
    getValue_ = nullptr;
    mimeDescription_.clear();
    pluginName_.clear();
    pluginDescription_.clear();
    plugin_ = NPPluginFuncs{};
    return result;
  }

  void FillBrowserTable() {
    browser_ = NPNetscapeFuncs{};
    browser_.size = sizeof browser_;
    browser_.version = NP_VERSION_MINOR;
    browser_.memalloc = &MemAlloc;
    browser_.memfree = &MemFree;
    browser_.getvalue = &GetValue;
    browser_.getstringidentifier = &GetStringIdentifier;
    browser_.createobject = &CreateObject;
    browser_.retainobject = &RetainObject;
    browser_.releaseobject = &ReleaseObject;
    browser_.invokeDefault = &InvokeDefaultCall;
    browser_.getproperty = &GetPropertyCall;
    browser_.releasevariantvalue = &ReleaseVariantValue;
  }

  // Pages.
  int NewPage(PageCallback callback) {
    int index = -1;
    RunOnUi([&] {
      auto page = std::make_unique<Page>();
      page->callback = callback;
      page->npp.ndata = page.get();
      fvplat::WindowSpec spec;
      spec.caption = "plugin";
      spec.width = 320;
      spec.height = 240;
      spec.proc = &NpHost::PageWindowProc;
      page->window = fvplat::CreatePlatformWindow(spec);
      {
        std::lock_guard<std::mutex> guard(pageLock_);
        windows_[page->window] = page.get();
      }
      page->windowObject = CreateObject(&page->npp, &windowClass_);
      page->function = CreateObject(&page->npp, &functionClass_);
      static_cast<HostObject*>(page->windowObject)->page = page.get();
      static_cast<HostObject*>(page->function)->page = page.get();
      char mime[sizeof kMimeType];
      std::memcpy(mime, kMimeType, sizeof kMimeType);
      const NPError made = plugin_.newp != nullptr
                               ? plugin_.newp(mime, &page->npp, 1, 0, nullptr, nullptr, nullptr)
                               : NPERR_GENERIC_ERROR;
      page->alive = made == NPERR_NO_ERROR;
      Page& added = *page;
      {
        std::lock_guard<std::mutex> guard(pageLock_);
        pages_.push_back(std::move(page));
        index = static_cast<int>(pages_.size() - 1);
      }
      if (!added.alive) {
        LetPageGo(added);
        index = -1;
        return;
      }
      NPWindow window{};
      window.window = added.window;
      window.width = 320;
      window.height = 240;
      window.type = NPWindowTypeWindow;
      if (plugin_.setwindow != nullptr) plugin_.setwindow(&added.npp, &window);
    });
    return index;
  }

  NPError DestroyPage(int index) {
    NPError result = NPERR_INVALID_INSTANCE_ERROR;
    RunOnUi([&] {
      Page* page = PageAt(index);
      if (page == nullptr || !page->alive) return;
      result = plugin_.destroy != nullptr ? plugin_.destroy(&page->npp, nullptr) : NPERR_NO_ERROR;
      page->alive = false;
      LetPageGo(*page);
    });
    return result;
  }

  // The page's references go, then its window.
  void LetPageGo(Page& page) {
    for (NPObject** object : {&page.scriptable, &page.function, &page.windowObject}) {
      if (*object != nullptr) ReleaseObject(*object);
      *object = nullptr;
    }
    if (page.window != nullptr) {
      DestroyWindow(page.window);
      std::lock_guard<std::mutex> guard(pageLock_);
      windows_.erase(page.window);
    }
  }

  void DestroyAllPages() {
    for (std::size_t i = 0; i < pages_.size(); ++i) DestroyPage(static_cast<int>(i));
  }

  Page* PageAt(int index) const {
    std::lock_guard<std::mutex> guard(pageLock_);
    if (index < 0 || static_cast<std::size_t>(index) >= pages_.size()) return nullptr;
    return pages_[static_cast<std::size_t>(index)].get();
  }

  Page* PageOfWindow(HWND window) {
    std::lock_guard<std::mutex> guard(pageLock_);
    const auto found = windows_.find(window);
    return found == windows_.end() ? nullptr : found->second;
  }

  NPObject* Scriptable(int index) {
    NPObject* object = nullptr;
    RunOnUi([&] {
      Page* page = PageAt(index);
      if (page == nullptr || !page->alive) return;
      if (page->scriptable == nullptr && plugin_.getvalue != nullptr) {
        NPObject* made = nullptr;
        if (plugin_.getvalue(&page->npp, NPPVpluginScriptableNPObject, &made) == NPERR_NO_ERROR) {
          page->scriptable = made;
        }
      }
      object = page->scriptable;
    });
    return object;
  }

  // Script calls: the page's values in, the plug-in's result out and released.
  NpResult Call(int index, const std::function<bool(NPObject*, NPVariant*)>& call) {
    NpResult out;
    RunOnUi([&] {
      NPObject* object = Scriptable(index);
      if (object == nullptr) return;
      NPVariant result;
      result.type = NPVariantType_Void;
      out.ok = call(object, &result);
      out.value = ValueOf(result);
      ReleaseVariantValue(&result);
    });
    return out;
  }

  static std::vector<NPVariant> Variants(const std::vector<NpValue>& values) {
    std::vector<NPVariant> out(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      NPVariant& v = out[i];
      v.type = NPVariantType_Void;
      if (const auto* flag = std::get_if<bool>(&values[i])) {
        v.type = NPVariantType_Bool;
        v.value.boolValue = *flag;
      } else if (const auto* number = std::get_if<std::int32_t>(&values[i])) {
        v.type = NPVariantType_Int32;
        v.value.intValue = *number;
      } else if (const auto* real = std::get_if<double>(&values[i])) {
        v.type = NPVariantType_Double;
        v.value.doubleValue = *real;
      } else if (const auto* text = std::get_if<std::string>(&values[i])) {
        v.type = NPVariantType_String;
        v.value.stringValue.UTF8Characters = text->data();
        v.value.stringValue.UTF8Length = static_cast<std::uint32_t>(text->size());
      }
    }
    return out;
  }

  // Page calls.
  void Record(Page& page, PageCall call) {
    std::function<void(int, const PageCall&)> handler;
    int index = -1;
    {
      std::lock_guard<std::mutex> guard(pageLock_);
      page.calls.push_back(call);
      handler = handler_;
      for (std::size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i].get() == &page) index = static_cast<int>(i);
      }
    }
    callMade_.notify_all();
    if (handler) handler(index, call);
  }

  // Browser functions.
  static void Count() {
    if (g_host != nullptr && !g_host->OnUi()) ++g_host->offUi_;
  }

  static void* MemAlloc(std::uint32_t size) {
    Count();
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr && g_host != nullptr) {
      std::lock_guard<std::mutex> guard(g_host->objectLock_);
      g_host->memory_.insert(block);
    }
    return block;
  }

  static void MemFree(void* block) {
    Count();
    if (block == nullptr) return;
    if (g_host != nullptr) {
      std::lock_guard<std::mutex> guard(g_host->objectLock_);
      g_host->memory_.erase(block);
    }
    std::free(block);
  }

  static NPError GetValue(NPP npp, NPNVariable variable, void* value) {
    Count();
    if (npp == nullptr || value == nullptr) return NPERR_INVALID_PARAM;
    auto* page = static_cast<Page*>(npp->ndata);
    if (variable != NPNVWindowNPObject || page == nullptr || page->windowObject == nullptr) {
      return NPERR_GENERIC_ERROR;
    }
    *static_cast<NPObject**>(value) = RetainObject(page->windowObject);
    return NPERR_NO_ERROR;
  }

  static NPIdentifier GetStringIdentifier(const NPUTF8* name) {
    Count();
    if (name == nullptr || g_host == nullptr) return nullptr;
    return g_host->Identifier(name);
  }

  NPIdentifier Identifier(const std::string& name) {
    std::lock_guard<std::mutex> guard(objectLock_);
    auto& slot = identifiers_[name];
    if (!slot) slot = std::make_unique<std::string>(name);
    return slot.get();
  }
  static const std::string& NameOf(NPIdentifier id) { return *static_cast<std::string*>(id); }

  static NPObject* CreateObject(NPP npp, NPClass* aClass) {
    Count();
    if (aClass == nullptr) return nullptr;
    NPObject* object = aClass->allocate != nullptr
                           ? aClass->allocate(npp, aClass)
                           : static_cast<NPObject*>(std::calloc(1, sizeof(NPObject)));
    if (object == nullptr) return nullptr;
    object->_class = aClass;
    object->referenceCount = 1;
    if (g_host != nullptr) {
      std::lock_guard<std::mutex> guard(g_host->objectLock_);
      g_host->objects_.insert(object);
    }
    return object;
  }

  static NPObject* RetainObject(NPObject* object) {
    Count();
    if (object != nullptr) ++object->referenceCount;
    return object;
  }

  static void ReleaseObject(NPObject* object) {
    Count();
    if (object == nullptr || object->referenceCount == 0) return;
    if (--object->referenceCount > 0) return;
    if (g_host != nullptr) {
      std::lock_guard<std::mutex> guard(g_host->objectLock_);
      g_host->objects_.erase(object);
    }
    if (object->_class != nullptr && object->_class->deallocate != nullptr) {
      object->_class->deallocate(object);
    } else {
      std::free(object);
    }
  }

  static bool InvokeDefaultCall(NPP, NPObject* object, const NPVariant* args, std::uint32_t count,
                                NPVariant* result) {
    Count();
    if (object == nullptr || object->_class == nullptr || object->_class->invokeDefault == nullptr) {
      return false;
    }
    return object->_class->invokeDefault(object, args, count, result);
  }

  static bool GetPropertyCall(NPP, NPObject* object, NPIdentifier name, NPVariant* result) {
    Count();
    if (object == nullptr || object->_class == nullptr || object->_class->getProperty == nullptr) {
      return false;
    }
    return object->_class->getProperty(object, name, result);
  }

  static void ReleaseVariantValue(NPVariant* variant) {
    Count();
    if (variant == nullptr) return;
    if (variant->type == NPVariantType_String) {
      MemFree(const_cast<NPUTF8*>(variant->value.stringValue.UTF8Characters));
    } else if (variant->type == NPVariantType_Object) {
      ReleaseObject(variant->value.objectValue);
    }
    variant->type = NPVariantType_Void;
  }

  // The page's window object: "callbackfunction" as the page defined it.
  static NPObject* AllocateHostObject(NPP, NPClass*) { return new HostObject(); }
  static void DeallocateHostObject(NPObject* object) { delete static_cast<HostObject*>(object); }

  static bool WindowGetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
    Page* page = static_cast<HostObject*>(object)->page;
    result->type = NPVariantType_Void;
    if (page == nullptr || NameOf(name) != "callbackfunction") return true;
    switch (page->callback) {
      case PageCallback::kFunction:
        result->type = NPVariantType_Object;
        result->value.objectValue = RetainObject(page->function);
        break;
      case PageCallback::kText: {
        static const char kText[] = "not a function";
        auto* copy = static_cast<NPUTF8*>(MemAlloc(sizeof kText));
        std::memcpy(copy, kText, sizeof kText);
        result->type = NPVariantType_String;
        result->value.stringValue.UTF8Characters = copy;
        result->value.stringValue.UTF8Length = sizeof kText - 1;
        break;
      }
      case PageCallback::kMissing:
        break;
    }
    return true;
  }

  // The page's "callbackfunction": records (code, text) and answers a text of its own.
  static bool FunctionInvokeDefault(NPObject* object, const NPVariant* args, std::uint32_t count,
                                    NPVariant* result) {
    Page* page = static_cast<HostObject*>(object)->page;
    if (page == nullptr || g_host == nullptr) return false;
    PageCall call;
    call.argCount = static_cast<int>(count);
    call.onUiThread = g_host->OnUi();
    if (count >= 1 && args[0].type == NPVariantType_Int32) call.code = args[0].value.intValue;
    if (count >= 2 && args[1].type == NPVariantType_String) {
      call.text.assign(args[1].value.stringValue.UTF8Characters,
                       args[1].value.stringValue.UTF8Length);
    }
    g_host->Record(*page, std::move(call));
    static const char kAnswer[] = "handled";
    auto* copy = static_cast<NPUTF8*>(MemAlloc(sizeof kAnswer));
    std::memcpy(copy, kAnswer, sizeof kAnswer);
    result->type = NPVariantType_String;
    result->value.stringValue.UTF8Characters = copy;
    result->value.stringValue.UTF8Length = sizeof kAnswer - 1;
    return true;
  }

  static LRESULT TaskProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunTask) {
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  void UiLoop() {
    fvplat::WindowSpec spec;
    spec.caption = "browser";
    spec.proc = &Impl::TaskProc;
    spec.visible = false;
    taskWindow_ = fvplat::CreatePlatformWindow(spec);
    {
      std::lock_guard<std::mutex> guard(lock_);
      ready_ = true;
    }
    started_.notify_all();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    DestroyWindow(taskWindow_);
  }

  NPClass windowClass_ = {NP_CLASS_STRUCT_VERSION_CTOR,
                          &AllocateHostObject,
                          &DeallocateHostObject,
                          nullptr,
                          nullptr,
                          nullptr,
                          nullptr,
                          nullptr,
                          &WindowGetProperty,
                          nullptr,
                          nullptr,
                          nullptr,
                          nullptr};
  NPClass functionClass_ = {NP_CLASS_STRUCT_VERSION_CTOR,
                            &AllocateHostObject,
                            &DeallocateHostObject,
                            nullptr,
                            nullptr,
                            nullptr,
                            &FunctionInvokeDefault,
                            nullptr,
                            nullptr,
                            nullptr,
                            nullptr,
                            nullptr,
                            nullptr};

  void* module_ = nullptr;
  GetEntryPointsFn getEntryPoints_ = nullptr;
  InitializeFn initialize_ = nullptr;
  ShutdownFn shutdown_ = nullptr;
  GetMimeDescriptionFn getMimeDescription_ = nullptr;
  GetValueFn getValue_ = nullptr;
  std::string mimeDescription_;
  std::string pluginName_;
  std::string pluginDescription_;
  NPPluginFuncs plugin_{};
  NPNetscapeFuncs browser_{};

  mutable std::mutex pageLock_;
  std::condition_variable callMade_;
  std::vector<std::unique_ptr<Page>> pages_;
  std::map<HWND, Page*> windows_;
  std::function<void(int, const PageCall&)> handler_;
  std::vector<NpValue> pastArguments_;  // the test thread's

  mutable std::mutex objectLock_;
  std::set<NPObject*> objects_;
  std::set<void*> memory_;
  std::map<std::string, std::unique_ptr<std::string>> identifiers_;
  std::atomic<int> offUi_{0};

  HWND taskWindow_ = nullptr;
  std::mutex lock_;
  std::condition_variable started_;
  bool ready_ = false;
  std::thread ui_;
};

NpValue ValueOf(const NPVariant& variant) {
  switch (variant.type) {
    case NPVariantType_Bool:
      return variant.value.boolValue;
    case NPVariantType_Int32:
      return variant.value.intValue;
    case NPVariantType_Double:
      return variant.value.doubleValue;
    case NPVariantType_String:
      return std::string(variant.value.stringValue.UTF8Characters,
                         variant.value.stringValue.UTF8Length);
    default:
      return std::monostate{};
  }
}

NpHost::NpHost() : impl_(std::make_unique<Impl>()) { g_host = impl_.get(); }

NpHost::~NpHost() {
  impl_->DestroyAllPages();
  impl_->Shutdown();
  impl_.reset();
  g_host = nullptr;
}

bool NpHost::Open(const std::string& modulePath) { return impl_->Open(modulePath); }
int NpHost::Load(const std::string& modulePath, LoadWay way) { return impl_->Load(modulePath, way); }
int NpHost::Shutdown() { return impl_->Shutdown(); }
NpHost::GetEntryPointsFn NpHost::GetEntryPoints() const { return impl_->getEntryPoints_; }
NpHost::InitializeFn NpHost::Initialize() const { return impl_->initialize_; }
NpHost::ShutdownFn NpHost::ShutdownExport() const { return impl_->shutdown_; }
NpHost::GetMimeDescriptionFn NpHost::GetMimeDescription() const { return impl_->getMimeDescription_; }
NpHost::GetValueFn NpHost::GetValue() const { return impl_->getValue_; }
std::string NpHost::MimeDescription() const { return impl_->mimeDescription_; }
std::string NpHost::PluginName() const { return impl_->pluginName_; }
std::string NpHost::PluginDescription() const { return impl_->pluginDescription_; }
const NPPluginFuncs& NpHost::PluginTable() const { return impl_->plugin_; }

NPNetscapeFuncs& NpHost::BrowserTable() {
  impl_->FillBrowserTable();
  return impl_->browser_;
}

int NpHost::NewPage(PageCallback callback) { return impl_->NewPage(callback); }
NPError NpHost::DestroyPage(int page) { return impl_->DestroyPage(page); }

NPP NpHost::Instance(int page) const {
  Page* p = impl_->PageAt(page);
  return p != nullptr ? &p->npp : nullptr;
}

HWND NpHost::PluginWindow(int page) const {
  Page* p = impl_->PageAt(page);
  return p != nullptr ? p->window : nullptr;
}

std::vector<UINT> NpHost::WindowMessages(int page) const {
  std::lock_guard<std::mutex> guard(impl_->pageLock_);
  Page* p = page >= 0 && static_cast<std::size_t>(page) < impl_->pages_.size()
                ? impl_->pages_[static_cast<std::size_t>(page)].get()
                : nullptr;
  return p != nullptr ? p->messages : std::vector<UINT>{};
}

LRESULT NpHost::PageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_host != nullptr) {
    if (Page* page = g_host->PageOfWindow(window)) {
      std::lock_guard<std::mutex> guard(g_host->pageLock_);
      page->messages.push_back(message);
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

NPObject* NpHost::Scriptable(int page) { return impl_->Scriptable(page); }

bool NpHost::HasMethod(int page, const std::string& method) {
  bool has = false;
  impl_->RunOnUi([&] {
    NPObject* object = impl_->Scriptable(page);
    if (object != nullptr && object->_class->hasMethod != nullptr) {
      has = object->_class->hasMethod(object, impl_->Identifier(method));
    }
  });
  return has;
}

NpResult NpHost::Invoke(int page, const std::string& method, const std::vector<NpValue>& args) {
  std::vector<NpValue> laidOut = args;
  laidOut.insert(laidOut.end(), impl_->pastArguments_.begin(), impl_->pastArguments_.end());
  return impl_->Call(page, [&](NPObject* object, NPVariant* result) {
    std::vector<NPVariant> values = Impl::Variants(laidOut);
    return object->_class->invoke != nullptr &&
           object->_class->invoke(object, impl_->Identifier(method),
                                  args.empty() ? nullptr : values.data(),
                                  static_cast<std::uint32_t>(args.size()), result);
  });
}

void NpHost::SetValuesPastArguments(std::vector<NpValue> values) {
  impl_->pastArguments_ = std::move(values);
}

NpResult NpHost::InvokeDefault(int page) {
  return impl_->Call(page, [&](NPObject* object, NPVariant* result) {
    return object->_class->invokeDefault != nullptr &&
           object->_class->invokeDefault(object, nullptr, 0, result);
  });
}

NpResult NpHost::GetProperty(int page, const std::string& name) {
  return impl_->Call(page, [&](NPObject* object, NPVariant* result) {
    return object->_class->getProperty != nullptr &&
           object->_class->getProperty(object, impl_->Identifier(name), result);
  });
}

bool NpHost::SetProperty(int page, const std::string& name, const NpValue& value) {
  return impl_->Call(page, [&](NPObject* object, NPVariant*) {
           std::vector<NPVariant> values = Impl::Variants({value});
           return object->_class->setProperty != nullptr &&
                  object->_class->setProperty(object, impl_->Identifier(name), values.data());
         })
      .ok;
}

bool NpHost::HasProperty(int page, const std::string& name) {
  return impl_->Call(page, [&](NPObject* object, NPVariant*) {
           return object->_class->hasProperty != nullptr &&
                  object->_class->hasProperty(object, impl_->Identifier(name));
         })
      .ok;
}

std::int32_t NpHost::CallInt(int page, const std::string& method, const std::vector<NpValue>& args) {
  const NpResult out = Invoke(page, method, args);
  const auto* value = std::get_if<std::int32_t>(&out.value);
  return out.ok && value != nullptr ? *value : -999999;
}

std::string NpHost::CallText(int page, const std::string& method, const std::vector<NpValue>& args) {
  const NpResult out = Invoke(page, method, args);
  const auto* value = std::get_if<std::string>(&out.value);
  return out.ok && value != nullptr ? *value : std::string("<call failed>");
}

void NpHost::OnPageCall(std::function<void(int page, const PageCall& call)> handler) {
  std::lock_guard<std::mutex> guard(impl_->pageLock_);
  impl_->handler_ = std::move(handler);
}

std::vector<PageCall> NpHost::PageCalls(int page) const {
  std::lock_guard<std::mutex> guard(impl_->pageLock_);
  if (page < 0 || static_cast<std::size_t>(page) >= impl_->pages_.size()) return {};
  return impl_->pages_[static_cast<std::size_t>(page)]->calls;
}

void NpHost::ClearPageCalls() {
  std::lock_guard<std::mutex> guard(impl_->pageLock_);
  for (auto& page : impl_->pages_) page->calls.clear();
}

bool NpHost::WaitForPageCall(int page, const std::function<bool(const PageCall&)>& match,
                             std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> guard(impl_->pageLock_);
  return impl_->callMade_.wait_for(guard, limit, [&] {
    if (page < 0 || static_cast<std::size_t>(page) >= impl_->pages_.size()) return false;
    for (const PageCall& call : impl_->pages_[static_cast<std::size_t>(page)]->calls) {
      if (match(call)) return true;
    }
    return false;
  });
}

void NpHost::RunOnUi(const std::function<void()>& work) { impl_->RunOnUi(work); }
bool NpHost::OnUiThread() const { return impl_->OnUi(); }

int NpHost::LiveObjects() const {
  std::lock_guard<std::mutex> guard(impl_->objectLock_);
  return static_cast<int>(impl_->objects_.size());
}

int NpHost::LivePluginObjects() const {
  std::lock_guard<std::mutex> guard(impl_->objectLock_);
  int count = 0;
  for (NPObject* object : impl_->objects_) {
    if (object->_class != &impl_->windowClass_ && object->_class != &impl_->functionClass_) ++count;
  }
  return count;
}

int NpHost::OutstandingMemory() const {
  std::lock_guard<std::mutex> guard(impl_->objectLock_);
  return static_cast<int>(impl_->memory_.size());
}

int NpHost::CallsOffUiThread() const { return impl_->offUi_.load(); }

}  // namespace simbrowser
