// ITypeLib and ITypeInfo over a library read from its bytes, and LoadTypeLib. The library's
// types are parts of it: their references are the library's, so a caller holding only a type
// keeps the whole library alive. Nothing changes after loading, so any thread may read.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <type_traits>

#include "fvplatform/com_runtime.h"
#include "fvplatform/module.h"
#include "fvplatform/type_library_builder.h"
#include "type_library_model.h"

namespace fvplat::typelib::detail {
namespace {

// The most bytes a type-library file may hold.
constexpr std::size_t kMaxLibraryBytes = 1 << 20;

char16_t Folded(char16_t ch) {
  return ch >= u'A' && ch <= u'Z' ? static_cast<char16_t>(ch - u'A' + u'a') : ch;
}

bool SameName(LPCOLESTR given, const std::u16string& name) {
  if (given == nullptr) return false;
  std::size_t i = 0;
  for (; given[i] != 0; ++i) {
    if (i >= name.size() || Folded(given[i]) != Folded(name[i])) return false;
  }
  return i == name.size();
}

void Put(BSTR* out, const std::u16string& text) {
  if (out != nullptr) *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
}

void Describe(const TypeRef& type, TYPEDESC& desc, TYPEDESC& pointee) {
  desc = TYPEDESC{};
  desc.vt = type.vt;
  if (type.vt == VT_PTR) {
    pointee = TYPEDESC{};
    pointee.vt = type.pointee;
    desc.lptdesc = &pointee;
  }
}

// One block per FUNCDESC handed out, so ReleaseFuncDesc frees it in one piece.
struct FuncDescBlock {
  FUNCDESC desc;
  ELEMDESC parameters[kMaxParameters];
  TYPEDESC pointees[kMaxParameters + 1];
};
static_assert(std::is_standard_layout_v<FuncDescBlock>);

class TypeLib;

class TypeInfo final : public ITypeInfo {
 public:
  TypeInfo(TypeLib& library, std::size_t index) : library_(library), index_(index) {}

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_ITypeInfo) return E_NOINTERFACE;
    *object = static_cast<ITypeInfo*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT GetTypeAttr(TYPEATTR** attributes) override;
  HRESULT GetTypeComp(ITypeComp** comp) override {
    if (comp != nullptr) *comp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetFuncDesc(UINT index, FUNCDESC** function) override;
  HRESULT GetVarDesc(UINT, VARDESC** variable) override {
    if (variable == nullptr) return E_INVALIDARG;
    *variable = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetNames(MEMBERID id, BSTR* names, UINT maxNames, UINT* count) override;
  HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* reference) override {
    if (reference == nullptr) return E_INVALIDARG;
    if (index >= type().implemented.size()) return TYPE_E_ELEMENTNOTFOUND;
    *reference = type().implemented[index].type;
    return S_OK;
  }
  HRESULT GetImplTypeFlags(UINT index, int* flags) override {
    if (flags == nullptr) return E_INVALIDARG;
    if (index >= type().implemented.size()) return TYPE_E_ELEMENTNOTFOUND;
    *flags = type().implemented[index].flags;
    return S_OK;
  }
  HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override;
  HRESULT Invoke(void* instance, MEMBERID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* argError) override;
  HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* docString, DWORD* helpContext,
                           BSTR* helpFile) override;
  HRESULT GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
    return TYPE_E_BADMODULEKIND;
  }
  HRESULT GetRefTypeInfo(HREFTYPE reference, ITypeInfo** info) override;
  HRESULT AddressOfMember(MEMBERID, INVOKEKIND, void** address) override {
    if (address != nullptr) *address = nullptr;
    return TYPE_E_BADMODULEKIND;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (type().kind != TKIND_COCLASS) return TYPE_E_BADMODULEKIND;
    return CoCreateInstance(type().guid, outer, CLSCTX_INPROC_SERVER, riid, object);
  }
  HRESULT GetMops(MEMBERID, BSTR* marshalling) override {
    if (marshalling == nullptr) return E_INVALIDARG;
    *marshalling = nullptr;
    return S_OK;
  }
  HRESULT GetContainingTypeLib(ITypeLib** library, UINT* index) override;
  void ReleaseTypeAttr(TYPEATTR* attributes) override { delete attributes; }
  void ReleaseFuncDesc(FUNCDESC* function) override {
    delete reinterpret_cast<FuncDescBlock*>(function);
  }
  void ReleaseVarDesc(VARDESC*) override {}

 private:
  const Type& type() const;
  const Function* FindFunction(MEMBERID id) const {
    for (const Function& function : type().functions) {
      if (function.id == id) return &function;
    }
    return nullptr;
  }

  TypeLib& library_;
  std::size_t index_;
};

class TypeLib final : public ITypeLib {
 public:
  explicit TypeLib(Model model) : model_(std::move(model)) {
    for (std::size_t i = 0; i < model_.types.size(); ++i) {
      infos_.push_back(std::make_unique<TypeInfo>(*this, i));
    }
  }

  const Model& model() const { return model_; }
  TypeInfo& info(std::size_t index) { return *infos_[index]; }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_ITypeLib) return E_NOINTERFACE;
    *object = static_cast<ITypeLib*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  UINT GetTypeInfoCount() override { return static_cast<UINT>(model_.types.size()); }
  HRESULT GetTypeInfo(UINT index, ITypeInfo** info) override {
    if (info == nullptr) return E_INVALIDARG;
    *info = nullptr;
    if (index >= model_.types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *info = infos_[index].get();
    AddRef();
    return S_OK;
  }
  HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) override {
    if (kind == nullptr) return E_INVALIDARG;
    if (index >= model_.types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *kind = model_.types[index].kind;
    return S_OK;
  }
  HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) override {
    if (info == nullptr) return E_INVALIDARG;
    *info = nullptr;
    for (std::size_t i = 0; i < model_.types.size(); ++i) {
      if (model_.types[i].guid == guid) return GetTypeInfo(static_cast<UINT>(i), info);
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetLibAttr(TLIBATTR** attributes) override {
    if (attributes == nullptr) return E_INVALIDARG;
    *attributes = new (std::nothrow)
        TLIBATTR{model_.libid, model_.locale, SYS_WIN32, model_.major, model_.minor, 0};
    return *attributes == nullptr ? E_OUTOFMEMORY : S_OK;
  }
  HRESULT GetTypeComp(ITypeComp** comp) override {
    if (comp != nullptr) *comp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetDocumentation(int index, BSTR* name, BSTR* docString, DWORD* helpContext,
                           BSTR* helpFile) override {
    if (index < -1 || index >= static_cast<int>(model_.types.size())) return TYPE_E_ELEMENTNOTFOUND;
    Put(name, index == -1 ? model_.name : model_.types[static_cast<std::size_t>(index)].name);
    if (docString != nullptr) *docString = nullptr;
    if (helpContext != nullptr) *helpContext = 0;
    if (helpFile != nullptr) *helpFile = nullptr;
    return S_OK;
  }
  // Types, members and parameters; a name found is rewritten in the library's own spelling.
  HRESULT IsName(LPOLESTR name, ULONG, BOOL* found) override {
    if (name == nullptr || found == nullptr) return E_INVALIDARG;
    *found = FALSE;
    const std::u16string* match = nullptr;
    for (const Type& type : model_.types) {
      if (SameName(name, type.name)) match = &type.name;
      for (const Function& function : type.functions) {
        if (SameName(name, function.name)) match = &function.name;
        for (const Parameter& parameter : function.parameters) {
          if (SameName(name, parameter.name)) match = &parameter.name;
        }
      }
      if (match != nullptr) break;
    }
    if (match == nullptr) return S_OK;
    std::copy(match->begin(), match->end(), name);
    *found = TRUE;
    return S_OK;
  }
  // Up to *found types that hold a member of that name (or are so named, MEMBERID_NIL).
  HRESULT FindName(LPOLESTR name, ULONG, ITypeInfo** infos, MEMBERID* ids, USHORT* found) override {
    if (name == nullptr || infos == nullptr || ids == nullptr || found == nullptr)
      return E_INVALIDARG;
    const USHORT room = *found;
    USHORT count = 0;
    for (std::size_t i = 0; i < model_.types.size() && count < room; ++i) {
      const Type& type = model_.types[i];
      MEMBERID id = MEMBERID_NIL;
      bool hit = SameName(name, type.name);
      for (const Function& function : type.functions) {
        if (!hit && SameName(name, function.name)) {
          hit = true;
          id = function.id;
        }
      }
      if (!hit) continue;
      infos[count] = infos_[i].get();
      AddRef();
      ids[count] = id;
      ++count;
    }
    *found = count;
    return S_OK;
  }
  void ReleaseTLibAttr(TLIBATTR* attributes) override { delete attributes; }

 private:
  ~TypeLib() = default;

  std::atomic<ULONG> refs_{1};
  Model model_;
  std::vector<std::unique_ptr<TypeInfo>> infos_;
};

ULONG TypeInfo::AddRef() {
  return library_.AddRef();
}
ULONG TypeInfo::Release() {
  return library_.Release();
}
const Type& TypeInfo::type() const {
  return library_.model().types[index_];
}

HRESULT TypeInfo::GetTypeAttr(TYPEATTR** attributes) {
  if (attributes == nullptr) return E_INVALIDARG;
  auto* attr = new (std::nothrow) TYPEATTR{};
  if (attr == nullptr) return E_OUTOFMEMORY;
  const Type& t = type();
  attr->guid = t.guid;
  attr->lcid = library_.model().locale;
  attr->memidConstructor = MEMBERID_NIL;
  attr->memidDestructor = MEMBERID_NIL;
  attr->cbSizeInstance = sizeof(void*);
  attr->typekind = t.kind;
  attr->cFuncs = static_cast<WORD>(t.functions.size());
  attr->cImplTypes = static_cast<WORD>(t.implemented.size());
  // A dispatch interface's table is IDispatch's seven functions.
  attr->cbSizeVft = static_cast<WORD>(t.kind == TKIND_DISPATCH ? 7 * sizeof(void*) : 0);
  attr->cbAlignment = alignof(void*);
  attr->wTypeFlags = t.flags;
  attr->wMajorVerNum = library_.model().major;
  attr->wMinorVerNum = library_.model().minor;
  attr->tdescAlias.vt = VT_EMPTY;
  *attributes = attr;
  return S_OK;
}

HRESULT TypeInfo::GetFuncDesc(UINT index, FUNCDESC** function) {
  if (function == nullptr) return E_INVALIDARG;
  *function = nullptr;
  if (index >= type().functions.size()) return TYPE_E_ELEMENTNOTFOUND;
  const Function& f = type().functions[index];
  auto* block = new (std::nothrow) FuncDescBlock{};
  if (block == nullptr) return E_OUTOFMEMORY;
  FUNCDESC& desc = block->desc;
  desc.memid = f.id;
  desc.funckind = FUNC_DISPATCH;
  desc.invkind = INVOKE_FUNC;
  desc.callconv = CC_STDCALL;
  desc.cParams = static_cast<std::int16_t>(f.parameters.size());
  desc.lprgelemdescParam = f.parameters.empty() ? nullptr : block->parameters;
  for (std::size_t i = 0; i < f.parameters.size(); ++i) {
    Describe(f.parameters[i].type, block->parameters[i].tdesc, block->pointees[i]);
    block->parameters[i].paramdesc = PARAMDESC{nullptr, PARAMFLAG_NONE};
  }
  Describe(f.result, desc.elemdescFunc.tdesc, block->pointees[kMaxParameters]);
  desc.elemdescFunc.paramdesc = PARAMDESC{nullptr, PARAMFLAG_NONE};
  *function = &block->desc;
  return S_OK;
}

HRESULT TypeInfo::GetNames(MEMBERID id, BSTR* names, UINT maxNames, UINT* count) {
  if (names == nullptr || count == nullptr) return E_INVALIDARG;
  *count = 0;
  const Function* function = FindFunction(id);
  if (function == nullptr) return TYPE_E_ELEMENTNOTFOUND;
  if (maxNames == 0) return S_OK;
  Put(&names[0], function->name);
  UINT written = 1;
  for (const Parameter& parameter : function->parameters) {
    if (written >= maxNames) break;
    Put(&names[written++], parameter.name);
  }
  *count = written;
  return S_OK;
}

HRESULT TypeInfo::GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) {
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = MEMBERID_NIL;
  const Function* found = nullptr;
  for (const Function& function : type().functions) {
    if (SameName(names[0], function.name)) found = &function;
  }
  if (found == nullptr) return DISP_E_UNKNOWNNAME;
  ids[0] = found->id;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    for (std::size_t p = 0; p < found->parameters.size(); ++p) {
      if (SameName(names[i], found->parameters[p].name)) ids[i] = static_cast<MEMBERID>(p);
    }
    if (ids[i] == MEMBERID_NIL) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

// A dispatch interface's call goes to the object's own IDispatch.
HRESULT TypeInfo::Invoke(void* instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  if (instance == nullptr) return E_INVALIDARG;
  if (type().kind != TKIND_DISPATCH) return TYPE_E_BADMODULEKIND;
  if (FindFunction(id) == nullptr) return DISP_E_MEMBERNOTFOUND;
  return static_cast<IDispatch*>(instance)->Invoke(id, IID_NULL, library_.model().locale, flags,
                                                   params, result, exception, argError);
}

HRESULT TypeInfo::GetDocumentation(MEMBERID id, BSTR* name, BSTR* docString, DWORD* helpContext,
                                   BSTR* helpFile) {
  const std::u16string* text = &type().name;
  if (id != MEMBERID_NIL) {
    const Function* function = FindFunction(id);
    if (function == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    text = &function->name;
  }
  Put(name, *text);
  if (docString != nullptr) *docString = nullptr;
  if (helpContext != nullptr) *helpContext = 0;
  if (helpFile != nullptr) *helpFile = nullptr;
  return S_OK;
}

HRESULT TypeInfo::GetRefTypeInfo(HREFTYPE reference, ITypeInfo** info) {
  if (info == nullptr) return E_INVALIDARG;
  *info = nullptr;
  if (reference >= library_.model().types.size()) return TYPE_E_ELEMENTNOTFOUND;
  *info = &library_.info(reference);
  AddRef();
  return S_OK;
}

HRESULT TypeInfo::GetContainingTypeLib(ITypeLib** library, UINT* index) {
  if (library == nullptr) return E_INVALIDARG;
  *library = &library_;
  AddRef();
  if (index != nullptr) *index = static_cast<UINT>(index_);
  return S_OK;
}

// A type-library file of our form, read up to the limit.
std::optional<std::vector<std::uint8_t>> ReadLibraryFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::vector<std::uint8_t>> bytes;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::uint64_t>(info.st_size) <= kMaxLibraryBytes) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(info.st_size));
    std::size_t at = 0;
    while (at < data.size()) {
      const ssize_t got = ::read(fd, data.data() + at, data.size() - at);
      if (got <= 0) break;
      at += static_cast<std::size_t>(got);
    }
    if (at == data.size() && data.size() >= kMagic.size() &&
        std::equal(kMagic.begin(), kMagic.end(), data.begin())) {
      bytes = std::move(data);
    }
  }
  ::close(fd);
  return bytes;
}

}  // namespace
}  // namespace fvplat::typelib::detail

extern "C" HRESULT LoadTypeLib(LPCOLESTR file, ITypeLib** library) {
  using namespace fvplat::typelib::detail;
  if (library == nullptr) return E_INVALIDARG;
  *library = nullptr;
  if (file == nullptr) return E_INVALIDARG;
  const std::string path = fvplat::Utf16ToUtf8(file);
  auto bytes = fvplat::ReadModuleResource(path, "TYPELIB", 1, kMaxLibraryBytes);
  if (!bytes) bytes = ReadLibraryFile(path);
  if (!bytes) return TYPE_E_CANTLOADLIBRARY;
  Model model;
  const HRESULT hr = Parse(*bytes, model);
  if (FAILED(hr)) return hr;
  auto* loaded = new (std::nothrow) TypeLib(std::move(model));
  if (loaded == nullptr) return E_OUTOFMEMORY;
  *library = loaded;
  return S_OK;
}
