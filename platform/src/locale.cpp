#include "fvplatform/locale.h"

#include <atomic>
#include <cstdlib>
#include <string>

namespace fvplat {
namespace {

std::atomic<LCID> g_lcid{0};

LCID FromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    const std::string lang(value);
    if (lang.rfind("zh_TW", 0) == 0 || lang.rfind("zh_HK", 0) == 0) return 1028;
    if (lang.rfind("zh", 0) == 0) return 2052;
    return 1033;
  }
  return 1033;
}

}  // namespace

void SetSystemLcid(LCID lcid) {
  g_lcid.store(lcid);
}

}  // namespace fvplat

LCID GetSystemDefaultLCID() {
  const LCID lcid = fvplat::g_lcid.load();
  return lcid != 0 ? lcid : fvplat::FromEnvironment();
}
