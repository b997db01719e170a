#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fvplatform/com_runtime.h"
#include "fvplatform/connection_point.h"
#include "fvplatform/dispatch_table.h"
#include "fvplatform/oleauto.h"
#include "script_values.h"

namespace {

TEST(ComLayout, TypesHaveComsSizes) {
  EXPECT_EQ(sizeof(GUID), 16u);
  EXPECT_EQ(sizeof(HRESULT), 4u);
  EXPECT_EQ(offsetof(GUID, Data2), 4u);
  EXPECT_EQ(offsetof(GUID, Data4), 8u);
  EXPECT_EQ(offsetof(VARIANT, lVal), 8u);
  EXPECT_EQ(sizeof(VARIANT), 8u + 2 * sizeof(void*));
  EXPECT_EQ(sizeof(OLECHAR), 2u);
}

TEST(ComLayout, HresultsAreDocumentedValues) {
  EXPECT_EQ(static_cast<std::uint32_t>(CLASS_E_CLASSNOTAVAILABLE), 0x80040111u);
  EXPECT_EQ(static_cast<std::uint32_t>(E_POINTER), 0x80004003u);
  EXPECT_EQ(static_cast<std::uint32_t>(E_NOINTERFACE), 0x80004002u);
  EXPECT_EQ(static_cast<std::uint32_t>(E_FAIL), 0x80004005u);
  EXPECT_EQ(static_cast<std::uint32_t>(SELFREG_E_TYPELIB), 0x80040200u);
  EXPECT_EQ(static_cast<std::uint32_t>(SELFREG_E_CLASS), 0x80040201u);
  EXPECT_TRUE(FAILED(E_FAIL));
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
}

TEST(Guid, StringFormRoundTripsAndRejectsMalformedText) {
  const GUID id = {0xDC26F2AB, 0xC4EC, 0x441B, {0xBB, 0x40, 0xFC, 0xC5, 0x92, 0x06, 0x6E, 0x3A}};
  EXPECT_EQ(fvplat::GuidToString(id), "{DC26F2AB-C4EC-441B-BB40-FCC592066E3A}");
  EXPECT_EQ(fvplat::GuidFromString("{dc26f2ab-c4ec-441b-bb40-fcc592066e3a}"), id);
  for (const char* bad : {"DC26F2AB-C4EC-441B-BB40-FCC592066E3A", "{DC26F2AB-C4EC-441B-BB40-FCC592066E3}",
                          "{DC26F2ABXC4EC-441B-BB40-FCC592066E3A}", "{DC26F2AB-C4EC-441B-BB40-FCC592066EXA}", ""}) {
    EXPECT_FALSE(fvplat::GuidFromString(bad).has_value()) << bad;
  }
  OLECHAR text[39];
  EXPECT_EQ(StringFromGUID2(id, text, 38), 0);
  ASSERT_EQ(StringFromGUID2(id, text, 39), 39);
  CLSID back{};
  EXPECT_EQ(CLSIDFromString(text, &back), S_OK);
  EXPECT_EQ(back, id);
}

TEST(Bstr, LengthPrefixCountsBytesAndTextEndsInZero) {
  const std::string chinese = "开始指静脉认证";
  BSTR text = fvplat::BstrFromUtf8("ab" + chinese);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 9u);
  EXPECT_EQ(SysStringByteLen(text), 18u);
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<char*>(text) - 4, 4);
  EXPECT_EQ(prefix, 18u);
  EXPECT_EQ(text[9], 0);
  EXPECT_EQ(fvplat::Utf8FromBstr(text), "ab" + chinese);
  SysFreeString(text);

  // Embedded zeros are kept; null is the empty text.
  const OLECHAR withZero[] = {u'a', 0, u'b'};
  BSTR zero = SysAllocStringLen(withZero, 3);
  EXPECT_EQ(SysStringLen(zero), 3u);
  EXPECT_EQ(fvplat::Utf8FromBstr(zero), std::string("a\0b", 3));
  SysFreeString(zero);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(fvplat::Utf8FromBstr(nullptr), "");
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  SysFreeString(nullptr);
}

TEST(Utf, SurrogatePairsAndBadBytes) {
  EXPECT_EQ(fvplat::Utf8ToUtf16("\xF0\x9F\x98\x80"), std::u16string(u"\xD83D\xDE00"));
  EXPECT_EQ(fvplat::Utf16ToUtf8(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(fvplat::Utf8ToUtf16("a\xFF" "b"), std::u16string(u"a\xFFFD" "b"));
  EXPECT_EQ(fvplat::Utf8ToUtf16("\xE5\xBC"), std::u16string(u"\xFFFD"));   // cut short
  EXPECT_EQ(fvplat::Utf8ToUtf16("\xC0\xAF"), std::u16string(u"\xFFFD"));   // overlong
  EXPECT_EQ(fvplat::Utf16ToUtf8(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD");
}

using fvtest::Int;
using fvtest::Text;

TEST(Variant, ChangeTypeCoversScriptValues) {
  struct Case {
    VARIANT from;
    VARTYPE to;
    HRESULT hr;
    std::int32_t asInt;
    const char* asText;
  };
  VARIANT real;
  VariantInit(&real);
  real.vt = VT_R8;
  real.dblVal = 2.6;
  VARIANT truth;
  VariantInit(&truth);
  truth.vt = VT_BOOL;
  truth.boolVal = VARIANT_TRUE;
  VARIANT empty;
  VariantInit(&empty);
  VARIANT null = empty;
  null.vt = VT_NULL;
  Case cases[] = {
      {Int(42), VT_I4, S_OK, 42, nullptr},
      {Int(-7), VT_BSTR, S_OK, 0, "-7"},
      {Text("13"), VT_I4, S_OK, 13, nullptr},
      {Text("x1"), VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
      {Text(""), VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
      {real, VT_I4, S_OK, 3, nullptr},
      {truth, VT_I4, S_OK, -1, nullptr},
      {empty, VT_I4, S_OK, 0, nullptr},
      {empty, VT_BSTR, S_OK, 0, ""},
      {null, VT_BSTR, S_OK, 0, ""},
      {null, VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    Case& c = cases[i];
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(VariantChangeType(&out, &c.from, 0, c.to), c.hr) << i;
    if (c.hr == S_OK && c.to == VT_I4) {
      EXPECT_EQ(out.lVal, c.asInt) << i;
    }
    if (c.hr == S_OK && c.to == VT_BSTR) {
      EXPECT_EQ(fvplat::Utf8FromBstr(out.bstrVal), c.asText) << i;
    }
    VariantClear(&out);
    VariantClear(&c.from);
  }
}

TEST(Variant, CopyDuplicatesTextAndClearFreesIt) {
  VARIANT a = Text("abc");
  VARIANT b;
  VariantInit(&b);
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_NE(a.bstrVal, b.bstrVal);
  VariantClear(&a);
  EXPECT_EQ(a.vt, VT_EMPTY);
  EXPECT_EQ(fvplat::Utf8FromBstr(b.bstrVal), "abc");
  VariantClear(&b);
}

// A small scriptable object to drive the table machinery.
struct Calculator {
  std::string last;
  std::int32_t Add(std::int32_t a, std::int32_t b) { return a - 0 + b * 10; }
  std::string Join(const std::string& a, std::int32_t n) { return a + ":" + std::to_string(n); }
  float Half(std::int32_t n) { return static_cast<float>(n) / 2; }
  void Keep(const std::string& text) { last = text; }
};

constexpr fvplat::com::DispEntry<Calculator> kTable[] = {
    fvplat::com::Member<&Calculator::Add>(1, "Add", {"a", "b"}),
    fvplat::com::Member<&Calculator::Join>(2, "Join", {"a", "n"}),
    fvplat::com::Member<&Calculator::Half>(3, "Half", {"n"}),
    fvplat::com::Member<&Calculator::Keep>(-552, "Keep", {"text"}),
};

TEST(DispatchTable, TypesComeFromTheMemberFunctions) {
  EXPECT_EQ(kTable[0].result, VT_I4);
  EXPECT_EQ(kTable[0].argumentCount, 2u);
  EXPECT_EQ(kTable[1].arguments[0], VT_BSTR);
  EXPECT_EQ(kTable[1].arguments[1], VT_I4);
  EXPECT_EQ(kTable[2].result, VT_R4);
  EXPECT_EQ(kTable[3].result, VT_EMPTY);
}

TEST(DispatchTable, NamesResolveWithoutRegardToCase) {
  std::u16string name = u"jOIN";
  LPOLESTR names[] = {name.data()};
  DISPID id = 0;
  EXPECT_EQ(fvplat::com::GetIDsOfNames<Calculator>(kTable, names, 1, &id), S_OK);
  EXPECT_EQ(id, 2);
  std::u16string other = u"Joi";
  names[0] = other.data();
  EXPECT_EQ(fvplat::com::GetIDsOfNames<Calculator>(kTable, names, 1, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST(DispatchTable, InvokeTakesArgumentsLastFirstAndChecksThem) {
  Calculator calc;
  VARIANT args[2] = {Int(2), Int(1)};  // Add(1, 2): rgvarg[0] is the last argument
  DISPPARAMS params{args, nullptr, 2, 0};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(fvplat::com::Invoke<Calculator>(kTable, calc, 1, DISPATCH_METHOD, &params, &result, nullptr), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 21);

  VARIANT joinArgs[2] = {Text("5"), Text("x")};  // Join("x", "5"): text coerced to int
  params = {joinArgs, nullptr, 2, 0};
  ASSERT_EQ(fvplat::com::Invoke<Calculator>(kTable, calc, 2, DISPATCH_METHOD, &params, &result, nullptr), S_OK);
  EXPECT_EQ(fvplat::Utf8FromBstr(result.bstrVal), "x:5");
  VariantClear(&result);

  VARIANT bad[2] = {Text("five"), Text("x")};
  params = {bad, nullptr, 2, 0};
  UINT argError = 99;
  EXPECT_EQ(fvplat::com::Invoke<Calculator>(kTable, calc, 2, DISPATCH_METHOD, &params, &result, &argError),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argError, 0u);
  params.cArgs = 1;
  EXPECT_EQ(fvplat::com::Invoke<Calculator>(kTable, calc, 2, DISPATCH_METHOD, &params, &result, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(fvplat::com::Invoke<Calculator>(kTable, calc, 9, DISPATCH_METHOD, &params, &result, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(fvplat::com::Invoke<Calculator>(kTable, calc, 3, DISPATCH_PROPERTYPUT, nullptr, &result, nullptr),
            DISP_E_MEMBERNOTFOUND);
  for (auto& v : bad) VariantClear(&v);
  for (auto& v : joinArgs) VariantClear(&v);

  VARIANT keep[1] = {Text("kept")};
  params = {keep, nullptr, 1, 0};
  ASSERT_EQ(fvplat::com::Invoke<Calculator>(kTable, calc, -552, DISPATCH_METHOD, &params, nullptr, nullptr), S_OK);
  EXPECT_EQ(calc.last, "kept");
  VariantClear(&keep[0]);
}

// A sink that records the events it gets and can unadvise itself from within one.
struct RecordingSink final : IDispatch {
  std::vector<std::pair<DISPID, std::string>> events;
  IConnectionPoint* point = nullptr;
  DWORD cookie = 0;
  bool leaveOnEvent = false;
  int refs = 1;

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    events.emplace_back(id, fvplat::Utf8FromBstr(params->rgvarg[0].bstrVal));
    if (leaveOnEvent) point->Unadvise(cookie);
    return S_OK;
  }
};

struct PointOwner final : IConnectionPointContainer {
  int refs = 1;
  HRESULT QueryInterface(REFIID, void** object) override { *object = nullptr; return E_NOINTERFACE; }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT FindConnectionPoint(REFIID, IConnectionPoint**) override { return E_NOTIMPL; }
};

TEST(ConnectionPoint, FiresToEverySinkAndSurvivesUnadviseInsideAnEvent) {
  const IID events = {0xA6A61AAB, 0x5295, 0x4764, {0x9A, 0x1D, 0xFE, 0x4D, 0x07, 0xCB, 0x23, 0x7A}};
  PointOwner owner;
  RecordingSink first, second;
  {
    fvplat::com::ConnectionPoint point(events, owner);
    first.point = &point;
    ASSERT_EQ(point.Advise(&first, &first.cookie), S_OK);
    ASSERT_EQ(point.Advise(&second, &second.cookie), S_OK);
    EXPECT_NE(first.cookie, second.cookie);
    EXPECT_EQ(first.refs, 2);
    first.leaveOnEvent = true;
    point.FireText(9, "开始");
    point.FireText(12, "done");
    EXPECT_EQ(first.events.size(), 1u);
    ASSERT_EQ(second.events.size(), 2u);
    EXPECT_EQ(second.events[0], std::make_pair(9, std::string("开始")));
    EXPECT_EQ(first.refs, 1);
    EXPECT_EQ(point.Unadvise(first.cookie), CONNECT_E_NOCONNECTION);

    PointOwner notASink;
    DWORD cookie = 7;
    EXPECT_EQ(point.Advise(&notASink, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    IConnectionPointContainer* container = nullptr;
    ASSERT_EQ(point.GetConnectionPointContainer(&container), S_OK);
    EXPECT_EQ(container, &owner);
    container->Release();
  }
  EXPECT_EQ(second.refs, 1);  // the point let go of its sinks
  EXPECT_EQ(owner.refs, 1);
}

}  // namespace
