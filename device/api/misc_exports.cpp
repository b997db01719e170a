// Last error, edition and log level.

#include "api/last_error.h"
#include "common/log.h"
#include "dravex.h"

using namespace dravex;

int fv_Get_Error(int* code) {
  if (code == nullptr) return badArgument();
  *code = takeLastError();
  return 1;
}

int fv_Set_Error(int code) {
  setLastError(code);
  return 1;
}

int fv_Get_Edition(int* edition) {
  if (edition == nullptr) return badArgument();
  *edition = kDrxEdition;
  return 1;
}

int setDebugLevel(int level) {
  setDebugLevelValue(level);
  return 0;
}
