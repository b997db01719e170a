#pragma once
// Type information: ITypeLib and ITypeInfo with the records they hand out, laid out as OLE
// automation documents them, and the functions that load a module's type library, register it
// in the class registry and find it there again. The library itself is in a binary form of our
// own (type_library_builder.h); what a caller sees is only these interfaces.

#include <cstdint>

#include "fvplatform/oleauto.h"

using MEMBERID = DISPID;
using HREFTYPE = DWORD;
using USHORT = std::uint16_t;

inline constexpr MEMBERID MEMBERID_NIL = -1;

enum TYPEKIND : std::int32_t {
  TKIND_ENUM = 0,
  TKIND_RECORD = 1,
  TKIND_MODULE = 2,
  TKIND_INTERFACE = 3,
  TKIND_DISPATCH = 4,
  TKIND_COCLASS = 5,
  TKIND_ALIAS = 6,
  TKIND_UNION = 7,
};

enum FUNCKIND : std::int32_t {
  FUNC_VIRTUAL = 0,
  FUNC_PUREVIRTUAL = 1,
  FUNC_NONVIRTUAL = 2,
  FUNC_STATIC = 3,
  FUNC_DISPATCH = 4,
};

enum INVOKEKIND : std::int32_t {
  INVOKE_FUNC = 1,
  INVOKE_PROPERTYGET = 2,
  INVOKE_PROPERTYPUT = 4,
  INVOKE_PROPERTYPUTREF = 8,
};

enum CALLCONV : std::int32_t {
  CC_CDECL = 1,
  CC_STDCALL = 4,
};

enum SYSKIND : std::int32_t {
  SYS_WIN16 = 0,
  SYS_WIN32 = 1,
  SYS_MAC = 2,
  SYS_WIN64 = 3,
};

inline constexpr WORD TYPEFLAG_FAPPOBJECT = 0x1;
inline constexpr WORD TYPEFLAG_FCANCREATE = 0x2;
inline constexpr WORD TYPEFLAG_FHIDDEN = 0x10;
inline constexpr WORD TYPEFLAG_FCONTROL = 0x20;
inline constexpr WORD TYPEFLAG_FDUAL = 0x40;
inline constexpr WORD TYPEFLAG_FNONEXTENSIBLE = 0x80;
inline constexpr WORD TYPEFLAG_FOLEAUTOMATION = 0x100;
inline constexpr WORD TYPEFLAG_FDISPATCHABLE = 0x1000;

inline constexpr int IMPLTYPEFLAG_FDEFAULT = 0x1;
inline constexpr int IMPLTYPEFLAG_FSOURCE = 0x2;
inline constexpr int IMPLTYPEFLAG_FRESTRICTED = 0x4;

inline constexpr USHORT PARAMFLAG_NONE = 0;
inline constexpr USHORT PARAMFLAG_FIN = 0x1;

inline constexpr VARTYPE VT_PTR = 26;

// OLE automation's type-information failures.
inline constexpr HRESULT TYPE_E_INVDATAREAD = MakeHresult(0x80028018u);
inline constexpr HRESULT TYPE_E_UNSUPFORMAT = MakeHresult(0x80028019u);
inline constexpr HRESULT TYPE_E_REGISTRYACCESS = MakeHresult(0x8002801Cu);
inline constexpr HRESULT TYPE_E_LIBNOTREGISTERED = MakeHresult(0x8002801Du);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = MakeHresult(0x8002802Bu);
inline constexpr HRESULT TYPE_E_BADMODULEKIND = MakeHresult(0x800288BDu);
inline constexpr HRESULT TYPE_E_CANTLOADLIBRARY = MakeHresult(0x80029C4Au);

struct ARRAYDESC;
struct PARAMDESCEX;
struct VARDESC;
struct ITypeComp;
struct ITypeLib;

struct TYPEDESC {
  union {
    TYPEDESC* lptdesc;  // VT_PTR: the type pointed to
    ARRAYDESC* lpadesc;
    HREFTYPE hreftype;
  };
  VARTYPE vt;
};

struct IDLDESC {
  ULONG_PTR dwReserved;
  USHORT wIDLFlags;
};

struct PARAMDESC {
  PARAMDESCEX* pparamdescex;
  USHORT wParamFlags;
};

struct ELEMDESC {
  TYPEDESC tdesc;
  union {
    IDLDESC idldesc;
    PARAMDESC paramdesc;
  };
};

struct TYPEATTR {
  GUID guid;
  LCID lcid;
  DWORD dwReserved;
  MEMBERID memidConstructor;
  MEMBERID memidDestructor;
  LPOLESTR lpstrSchema;
  ULONG cbSizeInstance;
  TYPEKIND typekind;
  WORD cFuncs;
  WORD cVars;
  WORD cImplTypes;
  WORD cbSizeVft;
  WORD cbAlignment;
  WORD wTypeFlags;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
  TYPEDESC tdescAlias;
  IDLDESC idldescType;
};

struct FUNCDESC {
  MEMBERID memid;
  SCODE* lprgscode;
  ELEMDESC* lprgelemdescParam;
  FUNCKIND funckind;
  INVOKEKIND invkind;
  CALLCONV callconv;
  std::int16_t cParams;
  std::int16_t cParamsOpt;
  std::int16_t oVft;
  std::int16_t cScodes;
  ELEMDESC elemdescFunc;
  WORD wFuncFlags;
};

struct TLIBATTR {
  GUID guid;
  LCID lcid;
  SYSKIND syskind;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
  WORD wLibFlags;
};

struct ITypeInfo : IUnknown {
  virtual HRESULT GetTypeAttr(TYPEATTR** attributes) = 0;
  virtual HRESULT GetTypeComp(ITypeComp** comp) = 0;
  virtual HRESULT GetFuncDesc(UINT index, FUNCDESC** function) = 0;
  virtual HRESULT GetVarDesc(UINT index, VARDESC** variable) = 0;
  virtual HRESULT GetNames(MEMBERID id, BSTR* names, UINT maxNames, UINT* count) = 0;
  virtual HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* reference) = 0;
  virtual HRESULT GetImplTypeFlags(UINT index, int* flags) = 0;
  virtual HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) = 0;
  virtual HRESULT Invoke(void* instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argError) = 0;
  virtual HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* docString, DWORD* helpContext,
                                   BSTR* helpFile) = 0;
  virtual HRESULT GetDllEntry(MEMBERID id, INVOKEKIND kind, BSTR* dllName, BSTR* name,
                              WORD* ordinal) = 0;
  virtual HRESULT GetRefTypeInfo(HREFTYPE reference, ITypeInfo** info) = 0;
  virtual HRESULT AddressOfMember(MEMBERID id, INVOKEKIND kind, void** address) = 0;
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
  virtual HRESULT GetMops(MEMBERID id, BSTR* marshalling) = 0;
  virtual HRESULT GetContainingTypeLib(ITypeLib** library, UINT* index) = 0;
  virtual void ReleaseTypeAttr(TYPEATTR* attributes) = 0;
  virtual void ReleaseFuncDesc(FUNCDESC* function) = 0;
  virtual void ReleaseVarDesc(VARDESC* variable) = 0;
};

struct ITypeLib : IUnknown {
  virtual UINT GetTypeInfoCount() = 0;
  virtual HRESULT GetTypeInfo(UINT index, ITypeInfo** info) = 0;
  virtual HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) = 0;
  virtual HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) = 0;
  virtual HRESULT GetLibAttr(TLIBATTR** attributes) = 0;
  virtual HRESULT GetTypeComp(ITypeComp** comp) = 0;
  // index -1 describes the library itself.
  virtual HRESULT GetDocumentation(int index, BSTR* name, BSTR* docString, DWORD* helpContext,
                                   BSTR* helpFile) = 0;
  virtual HRESULT IsName(LPOLESTR name, ULONG hash, BOOL* found) = 0;
  virtual HRESULT FindName(LPOLESTR name, ULONG hash, ITypeInfo** infos, MEMBERID* ids,
                           USHORT* found) = 0;
  virtual void ReleaseTLibAttr(TLIBATTR* attributes) = 0;
};

inline constexpr IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ITypeLib = {0x00020402, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

extern "C" {
// Loads the type library of a module (its "TYPELIB" resource 1) or of a type-library file.
// TYPE_E_CANTLOADLIBRARY when the file cannot be read or carries none, TYPE_E_INVDATAREAD when
// it is damaged, TYPE_E_UNSUPFORMAT for a form this build does not know.
FVPLAT_API HRESULT LoadTypeLib(LPCOLESTR file, ITypeLib** library);
// The library registered under `libid`: the exact version, else the same major version with the
// highest greater minor; its file for `locale`, else for the locale's primary language, else
// for the neutral locale, else for the one locale it is registered for.
// TYPE_E_LIBNOTREGISTERED when none fits.
FVPLAT_API HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID locale,
                                  ITypeLib** library);
// Writes the library's keys (TypeLib\{libid}\major.minor with its locale's file, FLAGS and
// HELPDIR) and each dispatch interface's keys under Interface. TYPE_E_REGISTRYACCESS when a
// write fails.
FVPLAT_API HRESULT RegisterTypeLib(ITypeLib* library, LPCOLESTR fullPath, LPCOLESTR helpDir);
// Removes that version's locale entry, the version key when no locale is left, the library key
// when no version is left, and the Interface keys that name the library.
// TYPE_E_LIBNOTREGISTERED when it is not registered, TYPE_E_REGISTRYACCESS when a write fails.
FVPLAT_API HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID locale,
                                     SYSKIND syskind);
}
