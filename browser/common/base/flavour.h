#pragma once
// The two builds of the browser workflow, the control and the plug-in, share one code base;
// the front-end fixes which one a process runs once, before anything else of the workflow.

namespace fvbrowser {

enum class Flavour { kControl, kPlugin };

// The first call fixes the flavour; a later call with another one is refused (false).
bool setFlavour(Flavour flavour);
// The control's until a front-end chose.
Flavour flavour();
inline bool isPlugin() {
  return flavour() == Flavour::kPlugin;
}

}  // namespace fvbrowser
