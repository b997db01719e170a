// Type libraries: the encoding made at compile time, reading it back through ITypeLib and
// ITypeInfo, damaged libraries, the resource of a module file, and registration.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "demo_type_library.h"
#include "fvplatform/com_registry.h"
#include "fvplatform/module.h"
#include "fvplatform/typeinfo.h"
#include "test_paths.h"

namespace {

namespace reg = fvplat::registry;

// Takes over one reference and releases it.
template <class T>
struct Held {
  T* p = nullptr;
  ~Held() {
    if (p != nullptr) p->Release();
  }
  T** out() { return &p; }
  T* operator->() const { return p; }
};

std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = fvtest::ScratchPath(name);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

HRESULT LoadBytes(const std::vector<std::uint8_t>& bytes, ITypeLib** library) {
  const std::string path = WriteFile("typelib", bytes);
  const HRESULT hr = LoadTypeLib(fvplat::Utf8ToUtf16(path).c_str(), library);
  std::filesystem::remove(path);
  return hr;
}

std::vector<std::uint8_t> DemoBytes() {
  return {demolib::kBytes.begin(), demolib::kBytes.end()};
}

std::string TestModule() {
  return std::string(FV_TESTMOD_DIR) + "/libfvtestmod.so";
}

std::string Text(BSTR text) {
  std::string out = fvplat::Utf8FromBstr(text);
  SysFreeString(text);
  return out;
}

// The encoding of a library with one interface of one method, worked out by hand from the
// layout the builder documents.
TEST(TypeLibraryEncoding, BytesFollowTheDocumentedLayout) {
  namespace tl = fvplat::typelib;
  static constexpr tl::Member members[] = {{7, "M", VT_EMPTY, {VT_UI1 | VT_BYREF}, {"p"}, 1}};
  static constexpr tl::DispatchInterface interfaces[] = {
      {{0x11223344, 0x5566, 0x7788, {0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00}},
       "I",
       0x1000,
       members}};
  static constexpr tl::Library library = {
      {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}},
      2,
      3,
      0x409,
      "L",
      interfaces,
      {}};
  constexpr auto bytes = tl::Encode<tl::EncodedSize(library)>(library);
  const std::vector<std::uint8_t> expected = {
      'F',  'V',  'T',  'L',  0x01, 0x00,                   // magic, format 1
      0x04, 0x03, 0x02, 0x01, 0x06, 0x05, 0x08, 0x07,       // libid
      9,    10,   11,   12,   13,   14,   15,   16,         //
      0x02, 0x00, 0x03, 0x00, 0x09, 0x04, 0x00, 0x00,       // 2.3, locale 0x409
      0x01, 0x00, 'L',                                      // name
      0x01, 0x00,                                           // one type
      0x04,                                                 // TKIND_DISPATCH
      0x44, 0x33, 0x22, 0x11, 0x66, 0x55, 0x88, 0x77,       // iid
      0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00,       //
      0x00, 0x10, 0x01, 0x00, 'I',                          // flags, name
      0x01, 0x00,                                           // one function
      0x07, 0x00, 0x00, 0x00, 0x18, 0x00, 0x01, 0x00, 'M',  // DISPID 7, VT_VOID, "M"
      0x01, 0x01, 0x00, 'p',  0x1A, 0x00, 0x11, 0x00,       // "p": VT_PTR to VT_UI1
      0x00, 0x00,                                           // implements nothing
  };
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), expected);
}

struct FunctionCase {
  UINT index;
  MEMBERID id;
  const char* name;
  VARTYPE result;
  std::vector<std::pair<const char*, VARTYPE>> parameters;  // VT_PTR stands for a byte pointer
};

TEST(TypeLibraryReading, ALoadedLibraryDescribesItsTypesAndMembers) {
  Held<ITypeLib> library;
  ASSERT_EQ(LoadBytes(DemoBytes(), library.out()), S_OK);
  TLIBATTR* libAttr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&libAttr), S_OK);
  EXPECT_EQ(libAttr->guid, demolib::kLibid);
  EXPECT_EQ(libAttr->lcid, 0x409u);
  EXPECT_EQ(libAttr->syskind, SYS_WIN32);
  EXPECT_EQ(libAttr->wMajorVerNum, 1);
  EXPECT_EQ(libAttr->wMinorVerNum, 0);
  library->ReleaseTLibAttr(libAttr);
  BSTR name = nullptr;
  ASSERT_EQ(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Text(name), "DemoLib");
  ASSERT_EQ(library->GetTypeInfoCount(), 3u);
  TYPEKIND kind{};
  EXPECT_EQ(library->GetTypeInfoType(2, &kind), S_OK);
  EXPECT_EQ(kind, TKIND_COCLASS);
  EXPECT_EQ(library->GetTypeInfoType(3, &kind), TYPE_E_ELEMENTNOTFOUND);

  Held<ITypeInfo> dispatch;
  ASSERT_EQ(library->GetTypeInfoOfGuid(demolib::kDispatch, dispatch.out()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->cFuncs, 3);
  EXPECT_EQ(attr->cVars, 0);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDISPATCHABLE);
  dispatch->ReleaseTypeAttr(attr);

  const FunctionCase cases[] = {
      {0, -552, "AboutBox", VT_VOID, {}},
      {1, 1, "Add", VT_I4, {{"a", VT_I4}, {"b", VT_I4}}},
      {2, 2, "Name", VT_BSTR, {{"bytes", VT_PTR}, {"scale", VT_R4}}},
  };
  for (const FunctionCase& c : cases) {
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(dispatch->GetFuncDesc(c.index, &desc), S_OK);
    EXPECT_EQ(desc->memid, c.id) << c.name;
    EXPECT_EQ(desc->funckind, FUNC_DISPATCH);
    EXPECT_EQ(desc->invkind, INVOKE_FUNC);
    EXPECT_EQ(desc->elemdescFunc.tdesc.vt, c.result) << c.name;
    ASSERT_EQ(desc->cParams, static_cast<std::int16_t>(c.parameters.size())) << c.name;
    BSTR names[4] = {};
    UINT count = 0;
    ASSERT_EQ(dispatch->GetNames(c.id, names, 4, &count), S_OK);
    ASSERT_EQ(count, 1 + c.parameters.size());
    EXPECT_EQ(Text(names[0]), c.name);
    for (std::size_t p = 0; p < c.parameters.size(); ++p) {
      EXPECT_EQ(Text(names[p + 1]), c.parameters[p].first);
      const TYPEDESC& type = desc->lprgelemdescParam[p].tdesc;
      EXPECT_EQ(type.vt, c.parameters[p].second) << c.name << " " << p;
      if (type.vt == VT_PTR) {
        EXPECT_EQ(type.lptdesc->vt, VT_UI1);
      }
    }
    dispatch->ReleaseFuncDesc(desc);
  }
  FUNCDESC* none = reinterpret_cast<FUNCDESC*>(1);
  EXPECT_EQ(dispatch->GetFuncDesc(3, &none), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(none, nullptr);

  // Names to DISPIDs, without regard to case; parameters by their place.
  std::u16string add = u"ADD", second = u"b", nope = u"c";
  LPOLESTR names[] = {add.data(), second.data(), nope.data()};
  MEMBERID ids[3] = {};
  EXPECT_EQ(dispatch->GetIDsOfNames(names, 2, ids), S_OK);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(dispatch->GetIDsOfNames(names, 3, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[2], MEMBERID_NIL);
  ASSERT_EQ(dispatch->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Text(name), "_DDemo");
  ASSERT_EQ(dispatch->GetDocumentation(2, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Text(name), "Name");

  Held<ITypeLib> containing;
  UINT index = 99;
  ASSERT_EQ(dispatch->GetContainingTypeLib(containing.out(), &index), S_OK);
  EXPECT_EQ(containing.p, library.p);
  EXPECT_EQ(index, 0u);
}

TEST(TypeLibraryReading, TheClassNamesItsDefaultInterfaceAndItsEventSource) {
  Held<ITypeLib> library;
  ASSERT_EQ(LoadBytes(DemoBytes(), library.out()), S_OK);
  Held<ITypeInfo> coclass;
  ASSERT_EQ(library->GetTypeInfoOfGuid(demolib::kClass, coclass.out()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FCANCREATE);
  EXPECT_EQ(attr->cImplTypes, 2);
  coclass->ReleaseTypeAttr(attr);
  const struct {
    int flags;
    const char* name;
  } expected[] = {{IMPLTYPEFLAG_FDEFAULT, "_DDemo"},
                  {IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE, "_DDemoEvents"}};
  for (UINT i = 0; i < 2; ++i) {
    int flags = 0;
    HREFTYPE reference = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
    EXPECT_EQ(flags, expected[i].flags);
    ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &reference), S_OK);
    Held<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(reference, implemented.out()), S_OK);
    BSTR name = nullptr;
    ASSERT_EQ(implemented->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Text(name), expected[i].name);
  }
  HREFTYPE reference = 0;
  EXPECT_EQ(coclass->GetRefTypeOfImplType(2, &reference), TYPE_E_ELEMENTNOTFOUND);

  // A name found anywhere in the library comes back in the library's spelling.
  std::u16string asked = u"ondone";
  BOOL found = FALSE;
  ASSERT_EQ(library->IsName(asked.data(), 0, &found), S_OK);
  EXPECT_TRUE(found);
  EXPECT_EQ(asked, u"OnDone");
  ITypeInfo* infos[2] = {};
  MEMBERID ids[2] = {};
  USHORT count = 2;
  std::u16string add = u"add";
  ASSERT_EQ(library->FindName(add.data(), 0, infos, ids, &count), S_OK);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(ids[0], 1);
  infos[0]->Release();
}

TEST(TypeLibraryReading, ATypeKeepsItsLibraryAlive) {
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadBytes(DemoBytes(), &library), S_OK);
  ITypeInfo* events = nullptr;
  ASSERT_EQ(library->GetTypeInfo(1, &events), S_OK);
  library->Release();
  BSTR name = nullptr;
  ASSERT_EQ(events->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Text(name), "_DDemoEvents");
  EXPECT_EQ(events->Release(), 0u);
}

TEST(TypeLibraryReading, DamagedLibrariesAreRefusedWithoutHarm) {
  const std::vector<std::uint8_t> good = DemoBytes();
  // Every shortened library, and one with a byte more.
  for (std::size_t size = 0; size < good.size(); ++size) {
    ITypeLib* library = nullptr;
    const HRESULT hr =
        LoadBytes({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size)}, &library);
    EXPECT_TRUE(hr == TYPE_E_INVDATAREAD || hr == TYPE_E_CANTLOADLIBRARY) << size;
    EXPECT_EQ(library, nullptr);
  }
  std::vector<std::uint8_t> longer = good;
  longer.push_back(0);
  ITypeLib* library = nullptr;
  EXPECT_EQ(LoadBytes(longer, &library), TYPE_E_INVDATAREAD);
  std::vector<std::uint8_t> format = good;
  format[4] = 2;
  EXPECT_EQ(LoadBytes(format, &library), TYPE_E_UNSUPFORMAT);
  // Each byte changed: loaded or refused, and whatever loads can be walked through.
  for (std::size_t at = 6; at < good.size(); ++at) {
    std::vector<std::uint8_t> changed = good;
    changed[at] ^= 0xFF;
    Held<ITypeLib> loaded;
    if (FAILED(LoadBytes(changed, loaded.out()))) continue;
    for (UINT i = 0; i < loaded->GetTypeInfoCount(); ++i) {
      Held<ITypeInfo> info;
      ASSERT_EQ(loaded->GetTypeInfo(i, info.out()), S_OK);
      TYPEATTR* attr = nullptr;
      ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
      for (UINT f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC* desc = nullptr;
        ASSERT_EQ(info->GetFuncDesc(f, &desc), S_OK);
        BSTR names[40] = {};
        UINT count = 0;
        info->GetNames(desc->memid, names, 40, &count);
        for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
        info->ReleaseFuncDesc(desc);
      }
      for (UINT k = 0; k < attr->cImplTypes; ++k) {
        HREFTYPE reference = 0;
        Held<ITypeInfo> implemented;
        ASSERT_EQ(info->GetRefTypeOfImplType(k, &reference), S_OK);
        EXPECT_EQ(info->GetRefTypeInfo(reference, implemented.out()), S_OK);
      }
      info->ReleaseTypeAttr(attr);
    }
  }
}

TEST(TypeLibraryFiles, AModuleCarriesItsLibraryAsAResource) {
  const auto bytes = fvplat::ReadModuleResource(TestModule(), "TYPELIB", 1);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, DemoBytes());
  EXPECT_FALSE(fvplat::ReadModuleResource(TestModule(), "TYPELIB", 2).has_value());
  EXPECT_FALSE(
      fvplat::ReadModuleResource(TestModule(), "TYPELIB", 1, bytes->size() - 1).has_value());
  Held<ITypeLib> library;
  ASSERT_EQ(LoadTypeLib(fvplat::Utf8ToUtf16(TestModule()).c_str(), library.out()), S_OK);
  EXPECT_EQ(library->GetTypeInfoCount(), 3u);

  // No module, no library, or no file at all: nothing to load.
  const std::string text = WriteFile("not-a-module", {'h', 'e', 'l', 'l', 'o'});
  for (const std::string& path : {text, std::string("/dev/zero"), std::string("/no/such/file"),
                                  fvtest::ModuleDir() + "/libfvplatform.so"}) {
    ITypeLib* none = reinterpret_cast<ITypeLib*>(1);
    EXPECT_EQ(LoadTypeLib(fvplat::Utf8ToUtf16(path).c_str(), &none), TYPE_E_CANTLOADLIBRARY)
        << path;
    EXPECT_EQ(none, nullptr);
  }
  std::filesystem::remove(text);
}

class TypeLibraryRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = fvtest::ScratchPath("typelib-registry") + ".reg";
    ::setenv(reg::kRegistryFileEnv, path_.c_str(), 1);
    ASSERT_EQ(LoadTypeLib(fvplat::Utf8ToUtf16(TestModule()).c_str(), library_.out()), S_OK);
  }
  void TearDown() override {
    reg::SetWriteFault({});
    ::unsetenv(reg::kRegistryFileEnv);
    std::filesystem::remove(path_);
    std::filesystem::remove(path_ + ".lock");
  }
  HRESULT Register(const std::string& file) {
    return RegisterTypeLib(library_.p, fvplat::Utf8ToUtf16(file).c_str(), nullptr);
  }

  std::string path_;
  Held<ITypeLib> library_;
};

const char* const kLibKey = "TypeLib\\{66666666-7777-8888-9999-000000000001}";
const char* const kDispatchKey = "Interface\\{AAAAAAAA-BBBB-CCCC-DDDD-000000000002}";
const char* const kEventsKey = "Interface\\{AAAAAAAA-BBBB-CCCC-DDDD-000000000003}";

TEST_F(TypeLibraryRegistry, RegistrationWritesTheLibraryAndItsDispatchInterfaces) {
  ASSERT_EQ(Register(TestModule()), S_OK);
  const std::string version = std::string(kLibKey) + "\\1.0";
  const std::string folder = std::filesystem::path(TestModule()).parent_path().string();
  const std::vector<std::string> keys = {"TypeLib",
                                         kLibKey,
                                         version,
                                         version + "\\FLAGS",
                                         version + "\\HELPDIR",
                                         version + "\\409",
                                         version + "\\409\\win32",
                                         "Interface",
                                         kDispatchKey,
                                         std::string(kDispatchKey) + "\\ProxyStubClsid32",
                                         std::string(kDispatchKey) + "\\TypeLib",
                                         kEventsKey,
                                         std::string(kEventsKey) + "\\ProxyStubClsid32",
                                         std::string(kEventsKey) + "\\TypeLib"};
  EXPECT_EQ(reg::ListKeys(), keys);
  EXPECT_EQ(reg::GetValue(version), "DemoLib");
  EXPECT_EQ(reg::GetValue(version + "\\FLAGS"), "0");
  EXPECT_EQ(reg::GetValue(version + "\\HELPDIR"), folder);
  EXPECT_EQ(reg::GetValue(version + "\\409\\win32"), TestModule());
  EXPECT_EQ(reg::GetValue(kDispatchKey), "_DDemo");
  EXPECT_EQ(reg::GetValue(std::string(kEventsKey) + "\\ProxyStubClsid32"),
            "{00020420-0000-0000-C000-000000000046}");
  EXPECT_EQ(reg::GetValue(std::string(kEventsKey) + "\\TypeLib"),
            "{66666666-7777-8888-9999-000000000001}");
  EXPECT_EQ(reg::GetValue(std::string(kEventsKey) + "\\TypeLib", "Version"), "1.0");

  reg::SetWriteFault([](const std::string& key) { return key.rfind("TypeLib", 0) == 0; });
  EXPECT_EQ(Register("/elsewhere/libfvtestmod.so"), TYPE_E_REGISTRYACCESS);
}

TEST_F(TypeLibraryRegistry, TheRegisteredLibraryIsFoundByVersionAndLocale) {
  ASSERT_EQ(Register(TestModule()), S_OK);
  const struct {
    WORD major, minor;
    LCID locale;
    HRESULT expected;
  } cases[] = {
      {1, 0, 0x409, S_OK},
      {1, 0, 0x9, S_OK},
      {1, 0, 0, S_OK},
      {1, 0, 0x804, S_OK},  // the one locale it has serves every other
      {2, 0, 0x409, TYPE_E_LIBNOTREGISTERED},
      {1, 1, 0x409, TYPE_E_LIBNOTREGISTERED},
      {0, 0, 0x409, TYPE_E_LIBNOTREGISTERED},
  };
  for (const auto& c : cases) {
    Held<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(demolib::kLibid, c.major, c.minor, c.locale, library.out()),
              c.expected)
        << c.major << "." << c.minor << " " << std::hex << c.locale;
  }
  // A higher minor version of the same major serves a lower request; the file of the locale
  // asked for wins over the others.
  const std::string other = std::string(kLibKey) + "\\1.3";
  reg::SetValue(other + "\\0\\win32", "", "/no/such/neutral.so");
  reg::SetValue(other + "\\804\\win32", "", TestModule());
  Held<ITypeLib> library;
  EXPECT_EQ(LoadRegTypeLib(demolib::kLibid, 1, 0, 0x409, library.out()), S_OK);  // 1.0 exactly
  EXPECT_EQ(LoadRegTypeLib(demolib::kLibid, 1, 2, 0x804, nullptr), E_INVALIDARG);
  Held<ITypeLib> chinese;
  EXPECT_EQ(LoadRegTypeLib(demolib::kLibid, 1, 2, 0x804, chinese.out()), S_OK);
  Held<ITypeLib> neutral;
  EXPECT_EQ(LoadRegTypeLib(demolib::kLibid, 1, 2, 0x409, neutral.out()), TYPE_E_CANTLOADLIBRARY);
  // An entry naming a file of another library is no registration of this one.
  std::vector<std::uint8_t> another = DemoBytes();
  another[6] ^= 1;  // the first byte of the libid
  const std::string anotherFile = WriteFile("another-library", another);
  reg::SetValue(std::string(kLibKey) + "\\1.0\\409\\win32", "", anotherFile);
  Held<ITypeLib> stale;
  EXPECT_EQ(LoadRegTypeLib(demolib::kLibid, 1, 0, 0x409, stale.out()), TYPE_E_LIBNOTREGISTERED);
  std::filesystem::remove(anotherFile);
}

TEST_F(TypeLibraryRegistry, UnregistrationTakesOnlyWhatNamesTheLibrary) {
  reg::SetValue("Interface\\{OTHER}\\TypeLib", "", "{00000000-0000-0000-0000-000000000000}");
  ASSERT_EQ(Register(TestModule()), S_OK);
  ASSERT_EQ(UnRegisterTypeLib(demolib::kLibid, 1, 0, 0x409, SYS_WIN32), S_OK);
  EXPECT_FALSE(reg::KeyExists(kLibKey));
  EXPECT_FALSE(reg::KeyExists(kDispatchKey));
  EXPECT_FALSE(reg::KeyExists(kEventsKey));
  EXPECT_TRUE(reg::KeyExists("Interface\\{OTHER}"));
  EXPECT_EQ(UnRegisterTypeLib(demolib::kLibid, 1, 0, 0x409, SYS_WIN32), TYPE_E_LIBNOTREGISTERED);
  Held<ITypeLib> library;
  EXPECT_EQ(LoadRegTypeLib(demolib::kLibid, 1, 0, 0x409, library.out()), TYPE_E_LIBNOTREGISTERED);

  // A second locale keeps the version; taking the last one takes the library.
  ASSERT_EQ(Register(TestModule()), S_OK);
  const std::string version = std::string(kLibKey) + "\\1.0";
  reg::SetValue(version + "\\804\\win32", "", TestModule());
  ASSERT_EQ(UnRegisterTypeLib(demolib::kLibid, 1, 0, 0x409, SYS_WIN32), S_OK);
  EXPECT_TRUE(reg::KeyExists(version + "\\804"));
  EXPECT_FALSE(reg::KeyExists(version + "\\409"));
  ASSERT_EQ(UnRegisterTypeLib(demolib::kLibid, 1, 0, 0x804, SYS_WIN32), S_OK);
  EXPECT_FALSE(reg::KeyExists(kLibKey));
}

}  // namespace
