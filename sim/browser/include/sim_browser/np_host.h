#pragma once
// A browser that hosts an NPAPI plug-in: it loads the module, hands it the browser's function
// table, embeds instances in pages (each with a plug-in window of its own), scripts the
// instances' objects and gives each page a window object whose "callbackfunction" records what
// it is called with. Every call into the plug-in runs on the user-interface thread, which
// pumps messages between calls, as in a browser. The host keeps count of the script objects and
// the memory it handed out, so a test sees what the plug-in left behind.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "fvplatform/npapi.h"
#include "fvplatform/win_types.h"

namespace simbrowser {

// A script value: undefined, a boolean, an integer, a number, a text.
using NpValue = std::variant<std::monostate, bool, std::int32_t, double, std::string>;

struct NpResult {
  bool ok = false;  // false: the call threw in script
  NpValue value;
};

// One call of a page's "callbackfunction".
struct PageCall {
  int code = 0;
  std::string text;
  bool onUiThread = false;
  int argCount = 0;
};

// What a page's "callbackfunction" is.
enum class PageCallback { kFunction, kMissing, kText };

// How the browser loads the module: a Windows browser takes the instance calls with
// NP_GetEntryPoints, then calls NP_Initialize with its own table alone (the plug-in table
// argument null); a Unix browser first asks NP_GetMIMEDescription and NP_GetValue for the name
// and description, then hands both tables to NP_Initialize.
enum class LoadWay { kWindows, kUnix };

class NpHost {
 public:
  using GetEntryPointsFn = NPError (*)(NPPluginFuncs*);
  using InitializeFn = NPError (*)(NPNetscapeFuncs*, NPPluginFuncs*);
  using ShutdownFn = NPError (*)();
  using GetMimeDescriptionFn = const char* (*)();
  using GetValueFn = NPError (*)(void*, NPPVariable, void*);

  NpHost();
  // Destroys the pages left, shuts the plug-in down and ends the user-interface thread.
  ~NpHost();
  NpHost(const NpHost&) = delete;
  NpHost& operator=(const NpHost&) = delete;

  // dlopen and the three exports, without calling them; false when one is missing. The Unix
  // exports are looked up too and are null when the module lacks them.
  bool Open(const std::string& modulePath);
  // Open, then the calls of `way` with full tables: the first non-zero result, or -1 when the
  // module cannot be opened or lacks an export of `way`.
  int Load(const std::string& modulePath, LoadWay way = LoadWay::kWindows);
  // NP_Shutdown and dlclose; its result (0 when nothing was loaded).
  int Shutdown();

  GetEntryPointsFn GetEntryPoints() const;
  InitializeFn Initialize() const;
  ShutdownFn ShutdownExport() const;
  GetMimeDescriptionFn GetMimeDescription() const;
  GetValueFn GetValue() const;
  // What a Unix load read from the module (empty after a Windows load).
  std::string MimeDescription() const;
  std::string PluginName() const;
  std::string PluginDescription() const;
  // The tables as the host filled and passed them.
  const NPPluginFuncs& PluginTable() const;
  NPNetscapeFuncs& BrowserTable();

  // A page embedding the plug-in: its window, NPP_New and NPP_SetWindow. The page's number, or
  // -1 when NPP_New failed.
  int NewPage(PageCallback callback = PageCallback::kFunction);
  // NPP_Destroy, then the host lets the page's objects and window go; NPP_Destroy's result.
  NPError DestroyPage(int page);
  NPP Instance(int page) const;
  HWND PluginWindow(int page) const;
  // Messages that the window's own procedure saw (the browser's, before the plug-in's).
  std::vector<UINT> WindowMessages(int page) const;
  static LRESULT PageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The page's object of the instance, taken once with NPP_GetValue and kept by the page.
  NPObject* Scriptable(int page);
  bool HasMethod(int page, const std::string& method);
  NpResult Invoke(int page, const std::string& method, const std::vector<NpValue>& args = {});
  // Values that follow the arguments of every Invoke in memory without being counted: what a
  // plug-in finds there when it reads past the values it was given.
  void SetValuesPastArguments(std::vector<NpValue> values);
  NpResult InvokeDefault(int page);
  NpResult GetProperty(int page, const std::string& name);
  bool SetProperty(int page, const std::string& name, const NpValue& value);
  bool HasProperty(int page, const std::string& name);
  // The integer a call answers, or -999999 when it threw or answered something else.
  std::int32_t CallInt(int page, const std::string& method, const std::vector<NpValue>& args = {});
  std::string CallText(int page, const std::string& method, const std::vector<NpValue>& args = {});

  // Runs on the user-interface thread inside each page's "callbackfunction", after it was recorded.
  void OnPageCall(std::function<void(int page, const PageCall& call)> handler);
  std::vector<PageCall> PageCalls(int page) const;
  void ClearPageCalls();
  // Waits (real time, at most `limit`) for a call of the page that `match` accepts.
  bool WaitForPageCall(int page, const std::function<bool(const PageCall&)>& match,
                       std::chrono::milliseconds limit);

  // Runs `work` on the user-interface thread and waits for it (directly when already there).
  void RunOnUi(const std::function<void()>& work);
  bool OnUiThread() const;

  // Script objects made through NPN_CreateObject and not yet freed (the host's own included).
  int LiveObjects() const;
  // Of them, the plug-in's.
  int LivePluginObjects() const;
  // Blocks from NPN_MemAlloc not yet given back.
  int OutstandingMemory() const;
  // Browser functions that the plug-in called off the user-interface thread.
  int CallsOffUiThread() const;

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The NpValue of a variant and a variant of an NpValue (texts from NPN_MemAlloc of `host`).
NpValue ValueOf(const NPVariant& variant);

}  // namespace simbrowser
