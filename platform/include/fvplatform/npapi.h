#pragma once
// The browser plug-in interface as the plug-in and its host see it: instance handles, windows,
// script objects and values, identifiers, and the two function tables. Laid out as the plug-in
// interface documents it (C layout, the Unix variant of the window record), so a browser built
// against the interface's own declarations could load a plug-in built against these. Both tables
// begin with their 16-bit size and 16-bit version; entries follow in the interface's order.

#include <cstdint>

extern "C" {

using NPError = std::int16_t;
using NPReason = std::int16_t;
using NPBool = unsigned char;
using NPMIMEType = char*;
using NPUTF8 = char;
using NPIdentifier = void*;

inline constexpr NPError NPERR_NO_ERROR = 0;
inline constexpr NPError NPERR_GENERIC_ERROR = 1;
inline constexpr NPError NPERR_INVALID_INSTANCE_ERROR = 2;
inline constexpr NPError NPERR_INVALID_FUNCTABLE_ERROR = 3;
inline constexpr NPError NPERR_MODULE_LOAD_FAILED_ERROR = 4;
inline constexpr NPError NPERR_OUT_OF_MEMORY_ERROR = 5;
inline constexpr NPError NPERR_INCOMPATIBLE_VERSION_ERROR = 8;
inline constexpr NPError NPERR_INVALID_PARAM = 9;

inline constexpr int NP_VERSION_MAJOR = 0;
inline constexpr int NP_VERSION_MINOR = 27;

// What the browser asks the plug-in (NPP_GetValue).
enum NPPVariable : int {
  NPPVpluginNameString = 1,
  NPPVpluginDescriptionString = 2,
  NPPVpluginWindowBool = 3,
  NPPVpluginNeedsXEmbed = 14,
  NPPVpluginScriptableNPObject = 15,
};
// What the plug-in asks the browser (NPN_GetValue).
enum NPNVariable : int {
  NPNVWindowNPObject = 15,
  NPNVPluginElementNPObject = 16,
};

struct NPP_t {
  void* pdata;  // the plug-in's
  void* ndata;  // the browser's
};
using NPP = NPP_t*;

struct NPRect {
  std::uint16_t top;
  std::uint16_t left;
  std::uint16_t bottom;
  std::uint16_t right;
};

enum NPWindowType : int { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

struct NPWindow {
  void* window;  // the plug-in window's handle
  std::int32_t x;
  std::int32_t y;
  std::uint32_t width;
  std::uint32_t height;
  NPRect clipRect;
  void* ws_info;
  NPWindowType type;
};

struct NPSavedData {
  std::int32_t len;
  void* buf;
};

struct NPStream {
  void* pdata;
  void* ndata;
  const char* url;
  std::uint32_t end;
  std::uint32_t lastmodified;
  void* notifyData;
  const char* headers;
};

struct NPPrint;

// Script values.
struct NPObject;

enum NPVariantType : int {
  NPVariantType_Void,
  NPVariantType_Null,
  NPVariantType_Bool,
  NPVariantType_Int32,
  NPVariantType_Double,
  NPVariantType_String,
  NPVariantType_Object,
};

struct NPString {
  const NPUTF8* UTF8Characters;
  std::uint32_t UTF8Length;
};

struct NPVariant {
  NPVariantType type;
  union {
    bool boolValue;
    std::int32_t intValue;
    double doubleValue;
    NPString stringValue;
    NPObject* objectValue;
  } value;
};

// Script objects: a class of operations and a reference count.
using NPAllocateFunctionPtr = NPObject* (*)(NPP npp, struct NPClass* aClass);
using NPDeallocateFunctionPtr = void (*)(NPObject* npobj);
using NPInvalidateFunctionPtr = void (*)(NPObject* npobj);
using NPHasMethodFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name);
using NPInvokeFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name, const NPVariant* args,
                                     std::uint32_t argCount, NPVariant* result);
using NPInvokeDefaultFunctionPtr = bool (*)(NPObject* npobj, const NPVariant* args,
                                            std::uint32_t argCount, NPVariant* result);
using NPHasPropertyFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name);
using NPGetPropertyFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name, NPVariant* result);
using NPSetPropertyFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name,
                                          const NPVariant* value);
using NPRemovePropertyFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name);
using NPEnumerationFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier** value,
                                          std::uint32_t* count);
using NPConstructFunctionPtr = bool (*)(NPObject* npobj, const NPVariant* args,
                                        std::uint32_t argCount, NPVariant* result);

inline constexpr std::uint32_t NP_CLASS_STRUCT_VERSION_CTOR = 3;

struct NPClass {
  std::uint32_t structVersion;
  NPAllocateFunctionPtr allocate;
  NPDeallocateFunctionPtr deallocate;
  NPInvalidateFunctionPtr invalidate;
  NPHasMethodFunctionPtr hasMethod;
  NPInvokeFunctionPtr invoke;
  NPInvokeDefaultFunctionPtr invokeDefault;
  NPHasPropertyFunctionPtr hasProperty;
  NPGetPropertyFunctionPtr getProperty;
  NPSetPropertyFunctionPtr setProperty;
  NPRemovePropertyFunctionPtr removeProperty;
  NPEnumerationFunctionPtr enumerate;
  NPConstructFunctionPtr construct;
};

struct NPObject {
  NPClass* _class;
  std::uint32_t referenceCount;
};

// The plug-in's table, filled by NP_GetEntryPoints.
struct NPPluginFuncs {
  std::uint16_t size;
  std::uint16_t version;
  NPError (*newp)(NPMIMEType pluginType, NPP instance, std::uint16_t mode, std::int16_t argc,
                  char* argn[], char* argv[], NPSavedData* saved);
  NPError (*destroy)(NPP instance, NPSavedData** save);
  NPError (*setwindow)(NPP instance, NPWindow* window);
  NPError (*newstream)(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                       std::uint16_t* stype);
  NPError (*destroystream)(NPP instance, NPStream* stream, NPReason reason);
  void (*asfile)(NPP instance, NPStream* stream, const char* fname);
  std::int32_t (*writeready)(NPP instance, NPStream* stream);
  std::int32_t (*write)(NPP instance, NPStream* stream, std::int32_t offset, std::int32_t len,
                        void* buffer);
  void (*print)(NPP instance, NPPrint* platformPrint);
  std::int16_t (*event)(NPP instance, void* event);
  void (*urlnotify)(NPP instance, const char* url, NPReason reason, void* notifyData);
  void* javaClass;
  NPError (*getvalue)(NPP instance, NPPVariable variable, void* value);
  NPError (*setvalue)(NPP instance, NPNVariable variable, void* value);
  void* gotfocus;
  void* lostfocus;
  void* urlredirectnotify;
  void* clearsitedata;
  void* getsiteswithdata;
  void* didComposite;
};

// The browser's table, handed to NP_Initialize. Entries the plug-in never calls keep a plain
// pointer type; only their place matters.
struct NPNetscapeFuncs {
  std::uint16_t size;
  std::uint16_t version;
  void* geturl;
  void* posturl;
  void* requestread;
  void* newstream;
  void* write;
  void* destroystream;
  void* status;
  void* uagent;
  void* (*memalloc)(std::uint32_t size);
  void (*memfree)(void* ptr);
  void* memflush;
  void* reloadplugins;
  void* getJavaEnv;
  void* getJavaPeer;
  void* geturlnotify;
  void* posturlnotify;
  NPError (*getvalue)(NPP instance, NPNVariable variable, void* value);
  void* setvalue;
  void* invalidaterect;
  void* invalidateregion;
  void* forceredraw;
  NPIdentifier (*getstringidentifier)(const NPUTF8* name);
  void* getstringidentifiers;
  void* getintidentifier;
  void* identifierisstring;
  void* utf8fromidentifier;
  void* intfromidentifier;
  NPObject* (*createobject)(NPP npp, NPClass* aClass);
  NPObject* (*retainobject)(NPObject* npobj);
  void (*releaseobject)(NPObject* npobj);
  void* invoke;
  bool (*invokeDefault)(NPP npp, NPObject* npobj, const NPVariant* args, std::uint32_t argCount,
                        NPVariant* result);
  void* evaluate;
  bool (*getproperty)(NPP npp, NPObject* npobj, NPIdentifier propertyName, NPVariant* result);
  void* setproperty;
  void* removeproperty;
  void* hasproperty;
  void* hasmethod;
  void (*releasevariantvalue)(NPVariant* variant);
  void* setexception;
  void* pushpopupsenabledstate;
  void* poppopupsenabledstate;
  void* enumerate;
  void* pluginthreadasynccall;
  void* construct;
};

}  // extern "C"

// The browser table's entries up to and including `releasevariantvalue`: the last one the
// plug-in calls.
inline constexpr std::uint16_t kNpBrowserTableMinSize = static_cast<std::uint16_t>(
    __builtin_offsetof(NPNetscapeFuncs, releasevariantvalue) + sizeof(void*));
// The plug-in table's entries up to and including `setvalue`: the last one the plug-in fills.
inline constexpr std::uint16_t kNpPluginTableMinSize =
    static_cast<std::uint16_t>(__builtin_offsetof(NPPluginFuncs, setvalue) + sizeof(void*));
