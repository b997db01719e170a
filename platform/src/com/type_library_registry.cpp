// Type libraries in the class registry:
//   TypeLib\{libid}\major.minor = name, with FLAGS, HELPDIR and <locale>\win32 = file
//   Interface\{iid} = name, with ProxyStubClsid32 and TypeLib (= libid, "Version" = major.minor)
// Versions and locales are written in hexadecimal, as OLE writes them.

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fvplatform/com_interfaces.h"
#include "fvplatform/com_registry.h"
#include "fvplatform/typeinfo.h"

namespace {

namespace reg = fvplat::registry;

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

std::string Lower(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return text;
}

std::string LibraryKey(REFGUID libid) {
  return "TypeLib\\" + fvplat::GuidToString(libid);
}
std::string VersionText(WORD major, WORD minor) {
  return Hex(major) + "." + Hex(minor);
}

// The names of the keys right below `parent`, as spelled.
std::vector<std::string> SubkeysOf(const std::string& parent) {
  const std::string prefix = Lower(parent) + "\\";
  std::vector<std::string> names;
  for (const std::string& key : reg::ListKeys()) {
    const std::string lower = Lower(key);
    if (lower.size() <= prefix.size() || lower.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string rest = key.substr(prefix.size());
    if (rest.find('\\') == std::string::npos) names.push_back(rest);
  }
  return names;
}

std::optional<unsigned> ParseHex(const std::string& text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  unsigned value = 0;
  for (char ch : text) {
    const int digit = std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0'
                      : std::isxdigit(static_cast<unsigned char>(ch))
                          ? std::tolower(static_cast<unsigned char>(ch)) - 'a' + 10
                          : -1;
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return value;
}

// The registered version to load: the exact one, else the same major with the highest minor
// above the one asked for.
std::optional<std::string> ChooseVersion(const std::string& library, WORD major, WORD minor) {
  std::optional<unsigned> best;
  for (const std::string& name : SubkeysOf(library)) {
    const auto dot = name.find('.');
    if (dot == std::string::npos) continue;
    const auto m = ParseHex(name.substr(0, dot));
    const auto n = ParseHex(name.substr(dot + 1));
    if (!m || !n || *m != major || *n < minor) continue;
    if (*n == minor) return name;
    if (!best || *n > *best) best = *n;
  }
  if (!best) return std::nullopt;
  return VersionText(major, static_cast<WORD>(*best));
}

// The locales registered under a version: subkeys in hexadecimal that name a win32 file.
std::vector<std::pair<unsigned, std::string>> LocalesOf(const std::string& version) {
  std::vector<std::pair<unsigned, std::string>> locales;
  for (const std::string& name : SubkeysOf(version)) {
    const auto locale = ParseHex(name);
    if (!locale) continue;
    if (const auto file = reg::GetValue(version + "\\" + name + "\\win32")) {
      locales.emplace_back(*locale, *file);
    }
  }
  return locales;
}

}  // namespace

extern "C" {

HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID locale, ITypeLib** library) {
  if (library == nullptr) return E_INVALIDARG;
  *library = nullptr;
  const std::string libraryKey = LibraryKey(libid);
  const auto version = ChooseVersion(libraryKey, major, minor);
  if (!version) return TYPE_E_LIBNOTREGISTERED;
  const auto locales = LocalesOf(libraryKey + "\\" + *version);
  if (locales.empty()) return TYPE_E_LIBNOTREGISTERED;
  const auto fileFor = [&](unsigned wanted) -> const std::string* {
    for (const auto& entry : locales) {
      if (entry.first == wanted) return &entry.second;
    }
    return nullptr;
  };
  const std::string* file = nullptr;
  for (const unsigned wanted : {unsigned{locale}, locale & 0x3FFu, 0u}) {
    if (file == nullptr) file = fileFor(wanted);
  }
  if (file == nullptr) file = &locales.front().second;
  ITypeLib* loaded = nullptr;
  const HRESULT hr = LoadTypeLib(fvplat::Utf8ToUtf16(*file).c_str(), &loaded);
  if (FAILED(hr)) return hr;
  // A stale entry naming some other library's file is no registration of this one.
  TLIBATTR* attributes = nullptr;
  const bool same = SUCCEEDED(loaded->GetLibAttr(&attributes)) && attributes->guid == libid;
  loaded->ReleaseTLibAttr(attributes);
  if (!same) {
    loaded->Release();
    return TYPE_E_LIBNOTREGISTERED;
  }
  *library = loaded;
  return S_OK;
}

HRESULT RegisterTypeLib(ITypeLib* library, LPCOLESTR fullPath, LPCOLESTR helpDir) {
  if (library == nullptr || fullPath == nullptr) return E_INVALIDARG;
  TLIBATTR* attributes = nullptr;
  if (FAILED(library->GetLibAttr(&attributes))) return E_INVALIDARG;
  const TLIBATTR attr = *attributes;
  library->ReleaseTLibAttr(attributes);
  BSTR name = nullptr;
  library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
  const std::string libraryName = fvplat::Utf8FromBstr(name);
  SysFreeString(name);

  const std::string path = fvplat::Utf16ToUtf8(fullPath);
  const std::string help = helpDir != nullptr ? fvplat::Utf16ToUtf8(helpDir)
                                              : std::filesystem::path(path).parent_path().string();
  const std::string libid = fvplat::GuidToString(attr.guid);
  const std::string version = VersionText(attr.wMajorVerNum, attr.wMinorVerNum);
  const std::string key = LibraryKey(attr.guid) + "\\" + version;
  bool ok = reg::SetValue(key, "", libraryName) &&
            reg::SetValue(key + "\\FLAGS", "", std::to_string(attr.wLibFlags)) &&
            reg::SetValue(key + "\\HELPDIR", "", help) &&
            reg::SetValue(key + "\\" + Hex(attr.lcid) + "\\win32", "", path);
  for (UINT i = 0; ok && i < library->GetTypeInfoCount(); ++i) {
    TYPEKIND kind{};
    if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_DISPATCH) continue;
    ITypeInfo* info = nullptr;
    if (FAILED(library->GetTypeInfo(i, &info))) continue;
    TYPEATTR* typeAttr = nullptr;
    BSTR typeName = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&typeAttr)) &&
        SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &typeName, nullptr, nullptr, nullptr))) {
      const std::string interfaceKey = "Interface\\" + fvplat::GuidToString(typeAttr->guid);
      ok = reg::SetValue(interfaceKey, "", fvplat::Utf8FromBstr(typeName)) &&
           reg::SetValue(interfaceKey + "\\ProxyStubClsid32", "",
                         fvplat::GuidToString(CLSID_PSDispatch)) &&
           reg::SetValue(interfaceKey + "\\TypeLib", "", libid) &&
           reg::SetValue(interfaceKey + "\\TypeLib", "Version", version);
    }
    SysFreeString(typeName);
    if (typeAttr != nullptr) info->ReleaseTypeAttr(typeAttr);
    info->Release();
  }
  return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID locale, SYSKIND) {
  const std::string libraryKey = LibraryKey(libid);
  const std::string versionText = VersionText(major, minor);
  const std::string version = libraryKey + "\\" + versionText;
  if (!reg::KeyExists(version)) return TYPE_E_LIBNOTREGISTERED;
  const std::string id = fvplat::GuidToString(libid);
  bool ok = true;
  // Interface\{iid}\TypeLib naming this library and version.
  for (const std::string& iid : SubkeysOf("Interface")) {
    const std::string typeLibKey = "Interface\\" + iid + "\\TypeLib";
    const auto named = reg::GetValue(typeLibKey);
    if (!named || fvplat::GuidFromString(*named) != libid) continue;
    const auto namedVersion = reg::GetValue(typeLibKey, "Version");
    if (namedVersion && Lower(*namedVersion) != versionText) continue;
    ok = ok && reg::DeleteTree("Interface\\" + iid);
  }
  ok = ok && reg::DeleteTree(version + "\\" + Hex(locale));
  if (ok && LocalesOf(version).empty()) ok = reg::DeleteTree(version);
  if (ok && SubkeysOf(libraryKey).empty()) ok = reg::DeleteTree(libraryKey);
  return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

}  // extern "C"
