// The control as page script and the browser see it: creation by ProgID, its safety options,
// its 69 method names and the answers of its fixed methods.

#include <gtest/gtest.h>

#include "control_fixture.h"
#include "fvplatform/com_runtime.h"

namespace {

using pellacortest::HostedControl;
using pellacortest::RegisteredControl;

TEST_F(RegisteredControl, CreatedByProgIdAndSitedInTheBrowser) {
  simbrowser::ComContainer page;
  EXPECT_EQ(page.Create("No.Such.Control"), CO_E_CLASSSTRING);
  ASSERT_EQ(page.Create("pellacor.pellacorctrl.1"), S_OK);  // ProgIDs ignore case
  EXPECT_TRUE(page.HasControl());
  EXPECT_EQ(page.BrowserRequests(), 1);  // the site led the control to the top-level browser
  IOleObject* object = nullptr;
  ASSERT_EQ(page.QueryControl(IID_IOleObject, reinterpret_cast<void**>(&object)), S_OK);
  DWORD misc = 0;
  CLSID clsid{};
  page.RunOnUi([&] {
    object->GetMiscStatus(1, &misc);
    object->GetUserClassID(&clsid);
    object->Release();
  });
  EXPECT_EQ(misc, 0x20191u);
  EXPECT_EQ(fvplat::GuidToString(clsid), "{DC26F2AB-C4EC-441B-BB40-FCC592066E3A}");
  page.Destroy();
  EXPECT_FALSE(page.HasControl());
}

TEST_F(HostedControl, SafetyOptionsAcceptSafeMarksOnlyAndAlwaysReportBoth) {
  const IID notImplemented = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  struct SetCase {
    const IID* iid;
    DWORD mask;
    DWORD enabled;
    HRESULT expected;
  };
  const SetCase sets[] = {
      {&IID_IDispatch, 0, 0, S_OK},
      {&IID_IDispatch, 0, 7, S_OK},
      {&IID_IDispatch, 1, 1, S_OK},
      {&IID_IDispatch, 2, 3, S_OK},
      {&IID_IDispatch, 3, 3, S_OK},
      {&IID_IDispatch, 1, 2, E_FAIL},
      {&IID_IDispatch, 3, 1, E_FAIL},
      {&IID_IDispatch, 4, 7, E_FAIL},
      {&IID_IDispatch, 5, 5, E_FAIL},
      {&IID_IUnknown, 3, 3, S_OK},
      {&notImplemented, 0, 0, E_NOINTERFACE},
      {&notImplemented, 4, 0, E_NOINTERFACE},
  };
  IObjectSafety* safety = nullptr;
  ASSERT_EQ(page_.QueryControl(IID_IObjectSafety, reinterpret_cast<void**>(&safety)), S_OK);
  page_.RunOnUi([&] {
    for (const SetCase& c : sets) {
      EXPECT_EQ(safety->SetInterfaceSafetyOptions(*c.iid, c.mask, c.enabled), c.expected)
          << c.mask << " " << c.enabled;
    }
    for (const IID* iid : {&IID_IDispatch, &IID_IObjectSafety, &notImplemented}) {
      DWORD supported = 0, enabled = 0;
      const HRESULT hr = safety->GetInterfaceSafetyOptions(*iid, &supported, &enabled);
      EXPECT_EQ(hr, iid == &notImplemented ? E_NOINTERFACE : S_OK);
      EXPECT_EQ(supported, 3u);
      EXPECT_EQ(enabled, 3u);
    }
    DWORD enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
    // The interface part shares the control's identity.
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    safety->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
    IDispatch* dispatch = nullptr;
    safety->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
    EXPECT_EQ(a, b);
    a->Release();
    b->Release();
    dispatch->Release();
    safety->Release();
  });
}

struct Method {
  const char* name;
  DISPID id;
};

// Written out from the interface's method table.
const Method kMethods[] = {
    {"AboutBox", -552},
    {"ORVEK_Init_Face", 1},
    {"ORVEK_CloseCameraDev", 4},
    {"ORVEK_StopModel_Face", 5},
    {"ORVEK_StopRecog_Face", 7},
    {"ORVEK_Init_Vein", 8},
    {"ORVEK_StopModel_Vein", 10},
    {"ORVEK_StopRecog_Vein", 12},
    {"ORVEK_SetVeinModelStatus", 13},
    {"ORVEK_SetVeinRecogStatus", 14},
    {"ORVEK_GetVeinModelStatus", 15},
    {"ORVEK_GetVeinRecogStatus", 16},
    {"ORVEK_CloseVeinDev", 18},
    {"ORVEK_Init_FingerPr", 19},
    {"ORVEK_StopModel_FingerPr", 22},
    {"ORVEK_StopRecog_FingerPr", 23},
    {"ORVEK_SetFingerPrModelStatus", 24},
    {"ORVEK_GetFingerPrModelStatus", 25},
    {"ORVEK_SetFingerPrRecogStatus", 26},
    {"ORVEK_GetFingerPrRecogStatus", 27},
    {"ORVEK_CloseFPrintDev", 29},
    {"ORVEK_StartModel_Face", 30},
    {"ORVEK_OpenCameraDev", 31},
    {"ORVEK_StartRecog_Face", 32},
    {"ORVEK_StartModel_Vein", 33},
    {"ORVEK_StartRecog_Vein", 34},
    {"ORVEK_OpenVeinDev", 35},
    {"ORVEK_StartModel_FingerPr", 36},
    {"ORVEK_StartRecog_FingerPr", 37},
    {"ORVEK_OpenFPrintDev", 38},
    {"ORVEK_GetAlgorithmVersion_Face", 39},
    {"ORVEK_GetAlgorithmVersion_Vein", 40},
    {"ORVEK_GetAlgorithmVersion_FingerPtr", 41},
    {"ORVEK_CutPicture", 42},
    {"ORVEK_CutPictureFromFile", 43},
    {"ORVEK_TakePicture", 44},
    {"ORVEK_TakePictureNIR", 45},
    {"ORVEK_GetVersion", 46},
    {"ORVEK_ShowMask", 47},
    {"ORVEK_ExtractFaceFeature", 48},
    {"ORVEK_ExtractFaceFeatureNIR", 49},
    {"ORVEK_ExtractVeinFeature", 50},
    {"ORVEK_ExtractFingerPFeature", 51},
    {"ORVEK_FaceImageCompare", 52},
    {"ORVEK_FaceFeatureCompare", 53},
    {"ORVEK_VeinFeatureCompare", 54},
    {"InitParam", 55},
    {"CompleteCapture", 56},
    {"CancelCapture", 57},
    {"CheckRunntingEnv", 58},
    {"StartCapture", 59},
    {"UploadFileByKey", 60},
    {"ReName", 61},
    {"GetRecordStatus", 62},
    {"GetUploadInfoByKey", 63},
    {"GetMachineCode", 64},
    {"EndPreView", 65},
    {"StartPreView", 66},
    {"GetVersion", 67},
    {"DeleteFileByKey", 68},
    {"UpLoadVedio", 69},
    {"UploadVedioFile", 70},
    {"ORVEK_FingerFeatureCompare", 71},
    {"ORVEK_FingerImageCompare", 72},
    {"ORVEK_VeinImageCompare", 73},
    {"ORVEK_SetLed", 74},
    {"ORVEK_PictureQualityAsses", 75},
    {"ORVEK_TakeVeinPicture", 76},
    {"ORVEK_GetFingerState", 77},
};

TEST_F(HostedControl, All69NamesResolveToTheirDispids) {
  EXPECT_EQ(std::size(kMethods), 69u);
  for (const Method& m : kMethods) EXPECT_EQ(page_.IdOfName(m.name), m.id) << m.name;
  EXPECT_EQ(page_.IdOfName("orvek_getversion"), 46);
  for (const char* unknown : {"ORVEK_GetVersion2", "ORVEK_StopModelOrRecog", "OnVeinModelStart", ""}) {
    EXPECT_EQ(page_.IdOfName(unknown), DISPID_UNKNOWN) << unknown;
  }
}

TEST_F(HostedControl, VersionTextsAndStubsAnswerTheirFixedValues) {
  EXPECT_EQ(page_.CallText("ORVEK_GetAlgorithmVersion_Face"), "FACE20E");
  EXPECT_EQ(page_.CallText("ORVEK_GetAlgorithmVersion_Vein"), "FINGER10");
  EXPECT_EQ(page_.CallText("ORVEK_GetAlgorithmVersion_FingerPtr"), "FPRINT10");
  EXPECT_EQ(page_.CallText("ORVEK_GetVersion"), "1.0.0");
  EXPECT_EQ(page_.CallText("GetVersion"), "1.0.2");

  using V = std::vector<simbrowser::ScriptValue>;
  struct IntCase {
    const char* name;
    V args;
    std::int32_t expected;
  };
  const IntCase ints[] = {
      {"ORVEK_Init_Face", {std::string("{}")}, -1},
      {"ORVEK_CloseCameraDev", {1}, 0},
      {"ORVEK_StopModel_Face", {}, 0},
      {"ORVEK_StopRecog_Face", {}, 0},
      {"ORVEK_Init_FingerPr", {std::string("x")}, 0},
      {"ORVEK_StopModel_FingerPr", {}, 0},
      {"ORVEK_StopRecog_FingerPr", {}, 0},
      {"ORVEK_SetFingerPrModelStatus", {5}, 1},
      {"ORVEK_GetFingerPrModelStatus", {}, 0},
      {"ORVEK_SetFingerPrRecogStatus", {5}, 1},
      {"ORVEK_GetFingerPrRecogStatus", {}, 0},
      {"ORVEK_CloseFPrintDev", {}, 0},
      {"ORVEK_StartModel_Face", {}, 1},
      {"ORVEK_OpenCameraDev", {0}, -1},
      {"ORVEK_StartRecog_Face", {std::string("{}"), 2}, 1},
      {"ORVEK_StartModel_FingerPr", {}, 1},
      {"ORVEK_StartRecog_FingerPr", {std::string("{}")}, 1},
      {"ORVEK_OpenFPrintDev", {}, 0},
      {"UploadFileByKey", {std::string("k")}, 0},
      {"StartPreView", {std::string("a"), std::string("v")}, 0},
      {"DeleteFileByKey", {std::string("k")}, 0},
  };
  for (const IntCase& c : ints) EXPECT_EQ(page_.CallInt(c.name, c.args), c.expected) << c.name;

  struct FloatCase {
    const char* name;
    V args;
    float expected;
  };
  const FloatCase floats[] = {
      {"ORVEK_FaceImageCompare", {std::string("a"), std::string("b"), 1}, 0.0f},
      {"ORVEK_FaceFeatureCompare", {std::string("a"), std::string("b"), 1}, -1.0f},
      {"ORVEK_FingerFeatureCompare", {std::string("a"), std::string("b")}, -1.0f},
      {"ORVEK_FingerImageCompare", {std::string("a"), std::string("b")}, -1.0f},
  };
  for (const FloatCase& c : floats) {
    const auto result = page_.Call(c.name, c.args);
    ASSERT_EQ(result.hr, S_OK) << c.name;
    ASSERT_TRUE(std::holds_alternative<float>(result.value)) << c.name;
    EXPECT_EQ(std::get<float>(result.value), c.expected) << c.name;
  }
  for (const char* name : {"ORVEK_TakePicture", "ORVEK_TakePictureNIR"}) {
    EXPECT_EQ(page_.CallText(name), "") << name;
  }
  for (const char* name : {"ORVEK_ExtractFaceFeature", "ORVEK_ExtractFaceFeatureNIR",
                           "ORVEK_ExtractFingerPFeature", "GetUploadInfoByKey"}) {
    EXPECT_EQ(page_.CallText(name, {std::string("x")}), "") << name;
  }
  EXPECT_EQ(page_.CallText("ReName", {std::string("a"), std::string("b")}), "");
  const auto mask = page_.Call("ORVEK_ShowMask", {1});
  EXPECT_EQ(mask.hr, S_OK);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(mask.value));
}

TEST_F(HostedControl, ScriptArgumentsAreCheckedAndConverted) {
  EXPECT_EQ(page_.Call("ORVEK_CloseCameraDev", {}).hr, DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(page_.Call("ORVEK_CloseCameraDev", {std::string("abc")}).hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(page_.CallInt("ORVEK_CloseCameraDev", {std::string("3")}), 0);  // "3" is a number
  EXPECT_EQ(page_.CallInt("ORVEK_Init_Face", {7}), -1);  // a number is a text
}

// Names and calls are answered only for IID_NULL, the one interface id a script passes.
TEST_F(HostedControl, AnInterfaceIdOtherThanNullIsAnUnknownInterface) {
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(page_.QueryControl(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  page_.RunOnUi([&] {
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    UINT argError = 0;
    // "GetVersion" (67), which takes no argument.
    EXPECT_EQ(dispatch->Invoke(67, IID_IDispatch, 0, DISPATCH_METHOD, &none, &result, nullptr,
                               &argError),
              static_cast<HRESULT>(0x80020001));
    EXPECT_EQ(dispatch->Invoke(67, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, &argError),
              S_OK);
    VariantClear(&result);
    std::u16string name = u"GetVersion";
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id), static_cast<HRESULT>(0x80020001));
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 67);
    dispatch->Release();
  });
}

}  // namespace
