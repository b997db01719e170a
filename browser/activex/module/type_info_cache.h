#pragma once
// The control's type information, from the registered type library: loaded once for a locale
// and handed out from then on, to every control of the module, until a caller asks for another
// locale.

#include "fvplatform/typeinfo.h"

namespace pellacor {

// The type information of _DPellacor for `locale`, with a reference for the caller; the
// failure of LoadRegTypeLib when the library is not registered or cannot be loaded.
HRESULT DispatchTypeInfo(LCID locale, ITypeInfo** info);

}  // namespace pellacor
