#pragma once
// The 69 methods of _DPellacor: DISPID, script name, argument names and the member that
// answers. Argument and result types follow from each member's signature. The same table
// drives IDispatch and describes the methods in the module's type library.

#include <iterator>

#include "control/pellacor_ctrl.h"

namespace pellacor::methods {

using C = CPellacorCtrl;
using fvplat::com::Member;

inline constexpr fvplat::com::DispEntry<C> kTable[] = {
    Member<&C::AboutBox>(DISPID_ABOUTBOX, "AboutBox"),
    Member<&C::ORVEK_Init_Face>(1, "ORVEK_Init_Face", {"initPara"}),
    Member<&C::ORVEK_CloseCameraDev>(4, "ORVEK_CloseCameraDev", {"nLightType"}),
    Member<&C::ORVEK_StopModel_Face>(5, "ORVEK_StopModel_Face"),
    Member<&C::ORVEK_StopRecog_Face>(7, "ORVEK_StopRecog_Face"),
    Member<&C::ORVEK_Init_Vein>(8, "ORVEK_Init_Vein", {"initPara"}),
    Member<&C::ORVEK_StopModel_Vein>(10, "ORVEK_StopModel_Vein"),
    Member<&C::ORVEK_StopRecog_Vein>(12, "ORVEK_StopRecog_Vein"),
    Member<&C::ORVEK_SetVeinModelStatus>(13, "ORVEK_SetVeinModelStatus", {"nStatus"}),
    Member<&C::ORVEK_SetVeinRecogStatus>(14, "ORVEK_SetVeinRecogStatus", {"nStatus"}),
    Member<&C::ORVEK_GetVeinModelStatus>(15, "ORVEK_GetVeinModelStatus"),
    Member<&C::ORVEK_GetVeinRecogStatus>(16, "ORVEK_GetVeinRecogStatus"),
    Member<&C::ORVEK_CloseVeinDev>(18, "ORVEK_CloseVeinDev"),
    Member<&C::ORVEK_Init_FingerPr>(19, "ORVEK_Init_FingerPr", {"initPara"}),
    Member<&C::ORVEK_StopModel_FingerPr>(22, "ORVEK_StopModel_FingerPr"),
    Member<&C::ORVEK_StopRecog_FingerPr>(23, "ORVEK_StopRecog_FingerPr"),
    Member<&C::ORVEK_SetFingerPrModelStatus>(24, "ORVEK_SetFingerPrModelStatus", {"nStatus"}),
    Member<&C::ORVEK_GetFingerPrModelStatus>(25, "ORVEK_GetFingerPrModelStatus"),
    Member<&C::ORVEK_SetFingerPrRecogStatus>(26, "ORVEK_SetFingerPrRecogStatus", {"nStatus"}),
    Member<&C::ORVEK_GetFingerPrRecogStatus>(27, "ORVEK_GetFingerPrRecogStatus"),
    Member<&C::ORVEK_CloseFPrintDev>(29, "ORVEK_CloseFPrintDev"),
    Member<&C::ORVEK_StartModel_Face>(30, "ORVEK_StartModel_Face"),
    Member<&C::ORVEK_OpenCameraDev>(31, "ORVEK_OpenCameraDev", {"nLightType"}),
    Member<&C::ORVEK_StartRecog_Face>(32, "ORVEK_StartRecog_Face", {"jsonFeatures", "nType"}),
    Member<&C::ORVEK_StartModel_Vein>(33, "ORVEK_StartModel_Vein"),
    Member<&C::ORVEK_StartRecog_Vein>(34, "ORVEK_StartRecog_Vein", {"jsonFeatures"}),
    Member<&C::ORVEK_OpenVeinDev>(35, "ORVEK_OpenVeinDev"),
    Member<&C::ORVEK_StartModel_FingerPr>(36, "ORVEK_StartModel_FingerPr"),
    Member<&C::ORVEK_StartRecog_FingerPr>(37, "ORVEK_StartRecog_FingerPr", {"jsonFeatures"}),
    Member<&C::ORVEK_OpenFPrintDev>(38, "ORVEK_OpenFPrintDev"),
    Member<&C::ORVEK_GetAlgorithmVersion_Face>(39, "ORVEK_GetAlgorithmVersion_Face"),
    Member<&C::ORVEK_GetAlgorithmVersion_Vein>(40, "ORVEK_GetAlgorithmVersion_Vein"),
    Member<&C::ORVEK_GetAlgorithmVersion_FingerPtr>(41, "ORVEK_GetAlgorithmVersion_FingerPtr"),
    Member<&C::ORVEK_CutPicture>(42, "ORVEK_CutPicture", {"picData", "width", "height"}),
    Member<&C::ORVEK_CutPictureFromFile>(43, "ORVEK_CutPictureFromFile", {"path"}),
    Member<&C::ORVEK_TakePicture>(44, "ORVEK_TakePicture"),
    Member<&C::ORVEK_TakePictureNIR>(45, "ORVEK_TakePictureNIR"),
    Member<&C::ORVEK_GetVersion>(46, "ORVEK_GetVersion"),
    Member<&C::ORVEK_ShowMask>(47, "ORVEK_ShowMask", {"lShow"}),
    Member<&C::ORVEK_ExtractFaceFeature>(48, "ORVEK_ExtractFaceFeature", {"picData"}),
    Member<&C::ORVEK_ExtractFaceFeatureNIR>(49, "ORVEK_ExtractFaceFeatureNIR", {"picData"}),
    Member<&C::ORVEK_ExtractVeinFeature>(50, "ORVEK_ExtractVeinFeature", {"picData"}),
    Member<&C::ORVEK_ExtractFingerPFeature>(51, "ORVEK_ExtractFingerPFeature", {"picData"}),
    Member<&C::ORVEK_FaceImageCompare>(52, "ORVEK_FaceImageCompare",
                                       {"picData1", "picData2", "nFeatType"}),
    Member<&C::ORVEK_FaceFeatureCompare>(53, "ORVEK_FaceFeatureCompare",
                                         {"featData1", "featData2", "nFeatType"}),
    Member<&C::ORVEK_VeinFeatureCompare>(54, "ORVEK_VeinFeatureCompare", {"feature1", "feature2"}),
    Member<&C::InitParam>(55, "InitParam", {"bParam"}),
    Member<&C::CompleteCapture>(56, "CompleteCapture"),
    Member<&C::CancelCapture>(57, "CancelCapture"),
    Member<&C::CheckRunntingEnv>(58, "CheckRunntingEnv", {"nType"}),
    Member<&C::StartCapture>(59, "StartCapture"),
    Member<&C::UploadFileByKey>(60, "UploadFileByKey", {"bsKey"}),
    Member<&C::ReName>(61, "ReName", {"bsOriFileName", "bsKey"}),
    Member<&C::GetRecordStatus>(62, "GetRecordStatus"),
    Member<&C::GetUploadInfoByKey>(63, "GetUploadInfoByKey", {"bsKey"}),
    Member<&C::GetMachineCode>(64, "GetMachineCode"),
    Member<&C::EndPreView>(65, "EndPreView"),
    Member<&C::StartPreView>(66, "StartPreView", {"bsAudioDevice", "bsVideoDevice"}),
    Member<&C::GetVersion>(67, "GetVersion"),
    Member<&C::DeleteFileByKey>(68, "DeleteFileByKey", {"bsKey"}),
    Member<&C::UpLoadVedio>(69, "UpLoadVedio", {"strUpLoadUrl"}),
    Member<&C::UploadVedioFile>(70, "UploadVedioFile", {"strUpLoadUrl", "strFileName"}),
    Member<&C::ORVEK_FingerFeatureCompare>(71, "ORVEK_FingerFeatureCompare",
                                           {"featData1", "featData2"}),
    Member<&C::ORVEK_FingerImageCompare>(72, "ORVEK_FingerImageCompare", {"picData1", "picData2"}),
    Member<&C::ORVEK_VeinImageCompare>(73, "ORVEK_VeinImageCompare", {"picData1", "picData2"}),
    Member<&C::ORVEK_SetLed>(74, "ORVEK_SetLed", {"color", "bFlush"}),
    Member<&C::ORVEK_PictureQualityAsses>(75, "ORVEK_PictureQualityAsses", {"str"}),
    // The type library declares no result; the dispatch entry answers one, so script sees it.
    // The type library declares no result; the dispatch entry answers one, so script sees it.
    Member<&C::ORVEK_TakeVeinPicture>(76, "ORVEK_TakeVeinPicture").DeclaredWithoutResult(),
    Member<&C::ORVEK_GetFingerState>(77, "ORVEK_GetFingerState"),
};

static_assert(std::size(kTable) == 69, "_DPellacor has 69 methods");

}  // namespace pellacor::methods
