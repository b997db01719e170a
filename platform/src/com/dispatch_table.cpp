#include "fvplatform/dispatch_table.h"

namespace fvplat::com {

bool NameMatches(LPCOLESTR name, std::string_view tableName) {
  std::size_t i = 0;
  for (; name[i] != 0; ++i) {
    if (i >= tableName.size()) return false;
    char16_t a = name[i];
    char16_t b = static_cast<unsigned char>(tableName[i]);
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a - u'A' + u'a');
    if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b - u'A' + u'a');
    if (a != b) return false;
  }
  return i == tableName.size();
}

HRESULT CoerceArgument(const VARIANT& given, VARTYPE type, VARIANT& coerced) {
  VariantInit(&coerced);
  if ((type & VT_BYREF) != 0) {
    // A byte pointer arrives as bytes by reference; anything else is refused.
    if (given.vt != type) return DISP_E_TYPEMISMATCH;
    coerced = given;
    return S_OK;
  }
  return VariantChangeType(&coerced, &given, 0, type);
}

}  // namespace fvplat::com
