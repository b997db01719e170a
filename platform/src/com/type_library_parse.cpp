#include <cstring>

#include "fvplatform/type_library_builder.h"
#include "type_library_model.h"

namespace fvplat::typelib::detail {
namespace {

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool Byte(std::uint8_t& value) {
    if (at_ >= bytes_.size()) return false;
    value = bytes_[at_++];
    return true;
  }
  bool U16(std::uint16_t& value) {
    std::uint8_t low = 0, high = 0;
    if (!Byte(low) || !Byte(high)) return false;
    value = static_cast<std::uint16_t>(low | (high << 8));
    return true;
  }
  bool U32(std::uint32_t& value) {
    std::uint16_t low = 0, high = 0;
    if (!U16(low) || !U16(high)) return false;
    value = low | (static_cast<std::uint32_t>(high) << 16);
    return true;
  }
  bool Text(std::u16string& text) {
    std::uint16_t size = 0;
    if (!U16(size) || bytes_.size() - at_ < size) return false;
    const std::string_view utf8(reinterpret_cast<const char*>(bytes_.data() + at_), size);
    at_ += size;
    if (utf8.find('\0') != std::string_view::npos) return false;
    text = Utf8ToUtf16(utf8);
    return true;
  }
  bool Guid(GUID& guid) {
    if (!U32(guid.Data1) || !U16(guid.Data2) || !U16(guid.Data3)) return false;
    for (std::uint8_t& b : guid.Data4) {
      if (!Byte(b)) return false;
    }
    return true;
  }
  bool Type(TypeRef& type, bool isResult) {
    std::uint16_t vt = 0;
    if (!U16(vt)) return false;
    type.vt = vt;
    if (vt == VT_PTR) {
      std::uint16_t pointee = 0;
      if (!U16(pointee) || !Plain(pointee)) return false;
      type.pointee = pointee;
      return true;
    }
    return vt == VT_VOID ? isResult : Plain(vt);
  }
  bool AtEnd() const { return at_ == bytes_.size(); }
  // Whether `count` records of at least `size` bytes each can still follow.
  bool Room(std::size_t count, std::size_t size) const {
    return count <= (bytes_.size() - at_) / size;
  }

 private:
  // The kinds a dispatch member may take or give here.
  static bool Plain(std::uint16_t vt) {
    switch (vt) {
      case VT_I2:
      case VT_I4:
      case VT_R4:
      case VT_R8:
      case VT_BSTR:
      case VT_DISPATCH:
      case VT_BOOL:
      case VT_VARIANT:
      case VT_UNKNOWN:
      case VT_UI1:
      case VT_INT:
        return true;
      default:
        return false;
    }
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

bool ReadFunction(Reader& in, Function& function) {
  std::uint32_t id = 0;
  std::uint8_t count = 0;
  if (!in.U32(id) || !in.Type(function.result, true) || !in.Text(function.name) ||
      function.name.empty() || !in.Byte(count) || count > kMaxParameters) {
    return false;
  }
  function.id = static_cast<DISPID>(id);
  if (!in.Room(count, 4)) return false;
  function.parameters.resize(count);
  for (Parameter& parameter : function.parameters) {
    if (!in.Text(parameter.name) || parameter.name.empty() || !in.Type(parameter.type, false)) {
      return false;
    }
  }
  return true;
}

bool ReadType(Reader& in, Type& type) {
  std::uint8_t kind = 0;
  std::uint16_t functions = 0, implemented = 0;
  if (!in.Byte(kind) || (kind != TKIND_DISPATCH && kind != TKIND_COCLASS) || !in.Guid(type.guid) ||
      !in.U16(type.flags) || !in.Text(type.name) || type.name.empty() || !in.U16(functions)) {
    return false;
  }
  type.kind = static_cast<TYPEKIND>(kind);
  if (!in.Room(functions, 9)) return false;
  type.functions.resize(functions);
  for (Function& function : type.functions) {
    if (!ReadFunction(in, function)) return false;
  }
  if (!in.U16(implemented) || !in.Room(implemented, 4)) return false;
  type.implemented.resize(implemented);
  for (Implemented& entry : type.implemented) {
    std::uint16_t flags = 0;
    if (!in.U16(entry.type) || !in.U16(flags)) return false;
    entry.flags = flags;
  }
  // A coclass only implements, a dispatch interface only declares.
  return kind == TKIND_COCLASS ? type.functions.empty() : type.implemented.empty();
}

}  // namespace

HRESULT Parse(std::span<const std::uint8_t> bytes, Model& model) {
  Reader in(bytes);
  std::uint8_t magic[4] = {};
  for (std::uint8_t& b : magic) {
    if (!in.Byte(b)) return TYPE_E_INVDATAREAD;
  }
  if (std::memcmp(magic, kMagic.data(), sizeof magic) != 0) return TYPE_E_INVDATAREAD;
  std::uint16_t format = 0;
  if (!in.U16(format)) return TYPE_E_INVDATAREAD;
  if (format != kFormat) return TYPE_E_UNSUPFORMAT;
  std::uint16_t types = 0;
  if (!in.Guid(model.libid) || !in.U16(model.major) || !in.U16(model.minor) ||
      !in.U32(model.locale) || !in.Text(model.name) || model.name.empty() || !in.U16(types)) {
    return TYPE_E_INVDATAREAD;
  }
  if (!in.Room(types, 25)) return TYPE_E_INVDATAREAD;
  model.types.resize(types);
  for (Type& type : model.types) {
    if (!ReadType(in, type)) return TYPE_E_INVDATAREAD;
  }
  if (!in.AtEnd()) return TYPE_E_INVDATAREAD;
  for (const Type& type : model.types) {
    for (const Implemented& entry : type.implemented) {
      if (entry.type >= model.types.size() || model.types[entry.type].kind != TKIND_DISPATCH) {
        return TYPE_E_INVDATAREAD;
      }
    }
  }
  return S_OK;
}

}  // namespace fvplat::typelib::detail
