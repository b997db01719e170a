// The control's type information as a container reads it, compared with the method and event
// tables written out here by hand: every DISPID, name, argument name and type, and result.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "control_fixture.h"
#include "fvplatform/com_registry.h"
#include "fvplatform/typeinfo.h"

namespace {

using pellacortest::HostedControl;

// Types: 'v' none, 'i' 32-bit integer, 'f' float, 's' text, 'p' pointer to bytes.
struct Declared {
  DISPID id;
  const char* name;
  char result;
  const char* arguments;  // "name:type name:type ..."
};

const Declared kMethods[] = {
    {-552, "AboutBox", 'v', ""},
    {1, "ORVEK_Init_Face", 'i', "initPara:s"},
    {4, "ORVEK_CloseCameraDev", 'i', "nLightType:i"},
    {5, "ORVEK_StopModel_Face", 'i', ""},
    {7, "ORVEK_StopRecog_Face", 'i', ""},
    {8, "ORVEK_Init_Vein", 'i', "initPara:s"},
    {10, "ORVEK_StopModel_Vein", 'i', ""},
    {12, "ORVEK_StopRecog_Vein", 'i', ""},
    {13, "ORVEK_SetVeinModelStatus", 'i', "nStatus:i"},
    {14, "ORVEK_SetVeinRecogStatus", 'i', "nStatus:i"},
    {15, "ORVEK_GetVeinModelStatus", 'i', ""},
    {16, "ORVEK_GetVeinRecogStatus", 'i', ""},
    {18, "ORVEK_CloseVeinDev", 'i', ""},
    {19, "ORVEK_Init_FingerPr", 'i', "initPara:s"},
    {22, "ORVEK_StopModel_FingerPr", 'i', ""},
    {23, "ORVEK_StopRecog_FingerPr", 'i', ""},
    {24, "ORVEK_SetFingerPrModelStatus", 'i', "nStatus:i"},
    {25, "ORVEK_GetFingerPrModelStatus", 'i', ""},
    {26, "ORVEK_SetFingerPrRecogStatus", 'i', "nStatus:i"},
    {27, "ORVEK_GetFingerPrRecogStatus", 'i', ""},
    {29, "ORVEK_CloseFPrintDev", 'i', ""},
    {30, "ORVEK_StartModel_Face", 'i', ""},
    {31, "ORVEK_OpenCameraDev", 'i', "nLightType:i"},
    {32, "ORVEK_StartRecog_Face", 'i', "jsonFeatures:s nType:i"},
    {33, "ORVEK_StartModel_Vein", 'i', ""},
    {34, "ORVEK_StartRecog_Vein", 'i', "jsonFeatures:s"},
    {35, "ORVEK_OpenVeinDev", 'i', ""},
    {36, "ORVEK_StartModel_FingerPr", 'i', ""},
    {37, "ORVEK_StartRecog_FingerPr", 'i', "jsonFeatures:s"},
    {38, "ORVEK_OpenFPrintDev", 'i', ""},
    {39, "ORVEK_GetAlgorithmVersion_Face", 's', ""},
    {40, "ORVEK_GetAlgorithmVersion_Vein", 's', ""},
    {41, "ORVEK_GetAlgorithmVersion_FingerPtr", 's', ""},
    {42, "ORVEK_CutPicture", 's', "picData:p width:i height:i"},
    {43, "ORVEK_CutPictureFromFile", 's', "path:s"},
    {44, "ORVEK_TakePicture", 's', ""},
    {45, "ORVEK_TakePictureNIR", 's', ""},
    {46, "ORVEK_GetVersion", 's', ""},
    {47, "ORVEK_ShowMask", 'v', "lShow:i"},
    {48, "ORVEK_ExtractFaceFeature", 's', "picData:s"},
    {49, "ORVEK_ExtractFaceFeatureNIR", 's', "picData:s"},
    {50, "ORVEK_ExtractVeinFeature", 's', "picData:s"},
    {51, "ORVEK_ExtractFingerPFeature", 's', "picData:s"},
    {52, "ORVEK_FaceImageCompare", 'f', "picData1:s picData2:s nFeatType:i"},
    {53, "ORVEK_FaceFeatureCompare", 'f', "featData1:s featData2:s nFeatType:i"},
    {54, "ORVEK_VeinFeatureCompare", 'i', "feature1:s feature2:s"},
    {55, "InitParam", 'i', "bParam:s"},
    {56, "CompleteCapture", 'i', ""},
    {57, "CancelCapture", 'i', ""},
    {58, "CheckRunntingEnv", 'i', "nType:i"},
    {59, "StartCapture", 's', ""},
    {60, "UploadFileByKey", 'i', "bsKey:s"},
    {61, "ReName", 's', "bsOriFileName:s bsKey:s"},
    {62, "GetRecordStatus", 'i', ""},
    {63, "GetUploadInfoByKey", 's', "bsKey:s"},
    {64, "GetMachineCode", 's', ""},
    {65, "EndPreView", 'i', ""},
    {66, "StartPreView", 'i', "bsAudioDevice:s bsVideoDevice:s"},
    {67, "GetVersion", 's', ""},
    {68, "DeleteFileByKey", 'i', "bsKey:s"},
    {69, "UpLoadVedio", 'v', "strUpLoadUrl:s"},
    {70, "UploadVedioFile", 'v', "strUpLoadUrl:s strFileName:s"},
    {71, "ORVEK_FingerFeatureCompare", 'f', "featData1:s featData2:s"},
    {72, "ORVEK_FingerImageCompare", 'f', "picData1:s picData2:s"},
    {73, "ORVEK_VeinImageCompare", 'i', "picData1:s picData2:s"},
    {74, "ORVEK_SetLed", 'i', "color:i bFlush:i"},
    {75, "ORVEK_PictureQualityAsses", 'i', "str:s"},
    {76, "ORVEK_TakeVeinPicture", 'v', ""},  // the dispatch entry answers an integer all the same
    {77, "ORVEK_GetFingerState", 'i', ""},
};

const char* const kEventNames[] = {
    "OnFaceModelStart",   "OnFaceModelStateChange",
    "OnFaceModelStep",    "OnFaceModelStop",
    "OnFaceRecogStart",   "OnFaceRecogStateChange",
    "OnFaceRecogStep",    "OnFaceRecogStop",
    "OnVeinModelStart",   "OnVeinModelStateChange",
    "OnVeinModelStep",    "OnVeinModelStop",
    "OnVeinRecogStart",   "OnVeinRecogStateChange",
    "OnVeinRecogStep",    "OnVeinRecogStop",
    "OnFPrintModelStart", "OnFPrintModelStateChange",
    "OnFPrintModelStep",  "OnFPrintModelStop",
    "OnFPrintRecogStart", "OnFPrintRecogStateChange",
    "OnFPrintRecogStep",  "OnFPrintRecogStop",
    "OnVedioStep",        "OnTakePicture",
};

// The events: DISPIDs 1 to 26 in order, each with one text, named "param" but for 26 "str".
std::vector<Declared> Events() {
  std::vector<Declared> events;
  for (int i = 0; i < 26; ++i)
    events.push_back({i + 1, kEventNames[i], 'v', i == 25 ? "str:s" : "param:s"});
  return events;
}

std::string Letter(const TYPEDESC& type) {
  switch (type.vt) {
    case VT_VOID:
      return "v";
    case VT_I4:
      return "i";
    case VT_R4:
      return "f";
    case VT_BSTR:
      return "s";
    case VT_PTR:
      return type.lptdesc != nullptr && type.lptdesc->vt == VT_UI1 ? "p" : "?ptr";
    default:
      return "?" + std::to_string(type.vt);
  }
}

std::string Text(BSTR text) {
  std::string out = fvplat::Utf8FromBstr(text);
  SysFreeString(text);
  return out;
}

// What a container reads about one member, in the notation of the tables above.
struct Read {
  std::string name;
  std::string result;
  std::string arguments;
};

std::map<DISPID, Read> Members(ITypeInfo* info) {
  std::map<DISPID, Read> members;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return members;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* desc = nullptr;
    if (FAILED(info->GetFuncDesc(i, &desc))) continue;
    BSTR names[8] = {};
    UINT count = 0;
    info->GetNames(desc->memid, names, 8, &count);
    Read read{count > 0 ? Text(names[0]) : "", Letter(desc->elemdescFunc.tdesc), ""};
    for (UINT p = 1; p < count; ++p) {
      if (p > 1) read.arguments += " ";
      read.arguments += Text(names[p]) + ":" + Letter(desc->lprgelemdescParam[p - 1].tdesc);
    }
    if (count != static_cast<UINT>(desc->cParams) + 1)
      read.arguments += " <names and parameters differ>";
    members[desc->memid] = read;
    info->ReleaseFuncDesc(desc);
  }
  info->ReleaseTypeAttr(attr);
  return members;
}

void ExpectMembers(ITypeInfo* info, const std::vector<Declared>& declared) {
  const std::map<DISPID, Read> members = Members(info);
  EXPECT_EQ(members.size(), declared.size());
  for (const Declared& d : declared) {
    const auto found = members.find(d.id);
    ASSERT_NE(found, members.end()) << d.name;
    EXPECT_EQ(found->second.name, d.name) << d.id;
    EXPECT_EQ(found->second.result, std::string(1, d.result)) << d.name;
    EXPECT_EQ(found->second.arguments, d.arguments) << d.name;
  }
}

GUID Guid(const char* text) {
  return *fvplat::GuidFromString(text);
}

TEST_F(HostedControl, TypeInformationDescribesEveryMethodAndEvent) {
  IDispatch* control = nullptr;
  ASSERT_EQ(page_.QueryControl(IID_IDispatch, reinterpret_cast<void**>(&control)), S_OK);
  page_.RunOnUi([&] {
    UINT count = 0;
    EXPECT_EQ(control->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* none = nullptr;
    EXPECT_EQ(control->GetTypeInfo(1, LOCALE_USER_DEFAULT, &none), DISP_E_BADINDEX);
    ITypeInfo* dispatch = nullptr;
    ASSERT_EQ(control->GetTypeInfo(0, LOCALE_USER_DEFAULT, &dispatch), S_OK);

    TYPEATTR* attr = nullptr;
    ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, Guid("{CB9CDB5B-E4A8-4898-8072-F5C08F134E1A}"));
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(attr->cFuncs, 69);
    EXPECT_EQ(attr->cVars, 0);  // no properties
    dispatch->ReleaseTypeAttr(attr);
    ExpectMembers(dispatch, {std::begin(kMethods), std::end(kMethods)});

    // The library around it, and the class with its default interface and event source.
    ITypeLib* library = nullptr;
    ASSERT_EQ(dispatch->GetContainingTypeLib(&library, nullptr), S_OK);
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&libAttr), S_OK);
    EXPECT_EQ(libAttr->guid, Guid("{FA47B57B-35E7-4DAF-ADB6-F9B92AF9B82C}"));
    EXPECT_EQ(libAttr->wMajorVerNum, 1);
    EXPECT_EQ(libAttr->wMinorVerNum, 0);
    EXPECT_EQ(libAttr->lcid, 0x409u);
    library->ReleaseTLibAttr(libAttr);
    BSTR name = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Text(name), "PellacorLib");
    EXPECT_EQ(library->GetTypeInfoCount(), 3u);

    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(Guid("{DC26F2AB-C4EC-441B-BB40-FCC592066E3A}"), &coclass),
              S_OK);
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Text(name), "Pellacor");
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FCANCREATE);
    ASSERT_EQ(attr->cImplTypes, 2);
    coclass->ReleaseTypeAttr(attr);
    ITypeInfo* implemented[2] = {};
    const int expectedFlags[2] = {IMPLTYPEFLAG_FDEFAULT,
                                  IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE};
    const char* expectedNames[2] = {"_DPellacor", "_DPellacorEvents"};
    for (UINT i = 0; i < 2; ++i) {
      int flags = 0;
      HREFTYPE reference = 0;
      EXPECT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
      EXPECT_EQ(flags, expectedFlags[i]);
      ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &reference), S_OK);
      ASSERT_EQ(coclass->GetRefTypeInfo(reference, &implemented[i]), S_OK);
      ASSERT_EQ(implemented[i]->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr),
                S_OK);
      EXPECT_EQ(Text(name), expectedNames[i]);
    }
    EXPECT_EQ(implemented[0], dispatch);
    ASSERT_EQ(implemented[1]->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, Guid("{A6A61AAB-5295-4764-9A1D-FE4D07CB237A}"));
    EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(attr->cFuncs, 26);
    implemented[1]->ReleaseTypeAttr(attr);
    ExpectMembers(implemented[1], Events());

    for (ITypeInfo* info : implemented) info->Release();
    coclass->Release();
    library->Release();
    dispatch->Release();
    control->Release();
  });
}

// The type information is loaded from the registered library once for a locale and shared by
// every control; another locale loads it afresh from the registry.
TEST_F(HostedControl, TypeInformationComesFromTheRegistryThroughOneCache) {
  simbrowser::ComContainer second;
  ASSERT_EQ(second.Create("PELLACOR.PellacorCtrl.1"), S_OK);
  const auto typeInfo = [](simbrowser::ComContainer& page, LCID locale, ITypeInfo** info) {
    IDispatch* control = nullptr;
    HRESULT hr = page.QueryControl(IID_IDispatch, reinterpret_cast<void**>(&control));
    page.RunOnUi([&] {
      hr = control->GetTypeInfo(0, locale, info);
      control->Release();
    });
    return hr;
  };
  constexpr LCID kLocale = 0x0C04, kOther = 0x1004;  // locales no other test asks for
  ITypeInfo* first = nullptr;
  ITypeInfo* shared = nullptr;
  ASSERT_EQ(typeInfo(page_, kLocale, &first), S_OK);
  ASSERT_EQ(typeInfo(second, kLocale, &shared), S_OK);
  EXPECT_EQ(first, shared);
  shared->Release();

  fvplat::registry::DeleteTree("TypeLib\\{FA47B57B-35E7-4DAF-ADB6-F9B92AF9B82C}");
  ITypeInfo* cached = nullptr;
  EXPECT_EQ(typeInfo(second, kLocale, &cached), S_OK);
  EXPECT_EQ(cached, first);
  ITypeInfo* other = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(typeInfo(second, kOther, &other), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(other, nullptr);
  if (cached != nullptr) cached->Release();
  first->Release();
}

}  // namespace
