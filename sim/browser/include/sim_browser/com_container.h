#pragma once
// A page in a browser, as the ActiveX control sees it: a container with a user-interface
// thread that creates a control by ProgID through the class registry, sites it (the client
// site leads to a top-level browser), activates it in a window of the page, calls its script
// methods through IDispatch and sinks its events. Every call into the control runs on the
// user-interface thread, as in a browser.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "fvplatform/oleauto.h"

namespace simbrowser {

struct FiredEvent {
  DISPID id;
  std::string text;
};

// One script argument or result.
using ScriptValue = std::variant<std::monostate, std::int32_t, float, std::string>;

struct CallResult {
  HRESULT hr = E_FAIL;
  ScriptValue value;
};

class ComContainer {
 public:
  ComContainer();
  // Tears the control down (as a page that goes away) and ends the user-interface thread.
  ~ComContainer();
  ComContainer(const ComContainer&) = delete;
  ComContainer& operator=(const ComContainer&) = delete;

  // Creates the control, sites it, activates it in the page's window and advises the event
  // sink. The first failing step's HRESULT.
  HRESULT Create(const std::string& progId);
  // Close, unsite and release the control, as a page that goes away.
  void Destroy();
  bool HasControl() const;

  // A script call by name: GetIDsOfNames, then Invoke with the arguments.
  CallResult Call(const std::string& method, const std::vector<ScriptValue>& arguments = {});
  // The result of a call that answers an integer (or -999999 when the call failed).
  std::int32_t CallInt(const std::string& method, const std::vector<ScriptValue>& arguments = {});
  std::string CallText(const std::string& method, const std::vector<ScriptValue>& arguments = {});
  // DISPID of a name, or DISPID_UNKNOWN.
  DISPID IdOfName(const std::string& method);

  // Runs `work` on the user-interface thread and waits for it.
  void RunOnUi(const std::function<void()>& work);
  // Queries the control for an interface on the user-interface thread; the caller releases it.
  HRESULT QueryControl(REFIID riid, void** object);

  std::vector<FiredEvent> Events() const;
  void ClearEvents();
  // Waits (real time, `limit` at most) until an event with `id` has been fired; true if so.
  bool WaitForEvent(DISPID id, std::chrono::milliseconds limit);
  // The number of times the control asked the site for the top-level browser.
  int BrowserRequests() const;
  // Whether the control's window proc runs on the user-interface thread (checked at each event).
  bool EventsOnUiThread() const;

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace simbrowser
