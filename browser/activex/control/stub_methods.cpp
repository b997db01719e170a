// The face and fingerprint families exist only in the interface, and a few vein-side methods
// do nothing: each answers its fixed value. Also the version texts and the About box.

#include "control/pellacor_ctrl.h"
#include "dialogs/about_dlg.h"

// Dialog 1, modal, with the control's version.
void CPellacorCtrl::AboutBox() { CAboutDlg::DoModal(GetVersion()); }

std::int32_t CPellacorCtrl::ORVEK_Init_Face(const std::string&) { return -1; }
std::int32_t CPellacorCtrl::ORVEK_CloseCameraDev(std::int32_t) { return 0; }
std::int32_t CPellacorCtrl::ORVEK_StopModel_Face() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_StopRecog_Face() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_Init_FingerPr(const std::string&) { return 0; }
std::int32_t CPellacorCtrl::ORVEK_StopModel_FingerPr() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_StopRecog_FingerPr() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_SetFingerPrModelStatus(std::int32_t) { return 1; }
std::int32_t CPellacorCtrl::ORVEK_GetFingerPrModelStatus() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_SetFingerPrRecogStatus(std::int32_t) { return 1; }
std::int32_t CPellacorCtrl::ORVEK_GetFingerPrRecogStatus() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_CloseFPrintDev() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_StartModel_Face() { return 1; }
std::int32_t CPellacorCtrl::ORVEK_OpenCameraDev(std::int32_t) { return -1; }
std::int32_t CPellacorCtrl::ORVEK_StartRecog_Face(const std::string&, std::int32_t) { return 1; }
std::int32_t CPellacorCtrl::ORVEK_StartModel_FingerPr() { return 1; }
std::int32_t CPellacorCtrl::ORVEK_StartRecog_FingerPr(const std::string&) { return 1; }
std::int32_t CPellacorCtrl::ORVEK_OpenFPrintDev() { return 0; }
std::string CPellacorCtrl::ORVEK_TakePicture() { return {}; }
std::string CPellacorCtrl::ORVEK_TakePictureNIR() { return {}; }
void CPellacorCtrl::ORVEK_ShowMask(std::int32_t) {}
std::string CPellacorCtrl::ORVEK_ExtractFaceFeature(const std::string&) { return {}; }
std::string CPellacorCtrl::ORVEK_ExtractFaceFeatureNIR(const std::string&) { return {}; }
std::string CPellacorCtrl::ORVEK_ExtractFingerPFeature(const std::string&) { return {}; }
float CPellacorCtrl::ORVEK_FaceImageCompare(const std::string&, const std::string&, std::int32_t) {
  return 0.0f;
}
// Its arguments arrive decoded and are dropped.
float CPellacorCtrl::ORVEK_FaceFeatureCompare(const std::string&, const std::string&, std::int32_t) {
  return -1.0f;
}
std::int32_t CPellacorCtrl::UploadFileByKey(const std::string&) { return 0; }
std::string CPellacorCtrl::ReName(const std::string&, const std::string&) { return {}; }
std::string CPellacorCtrl::GetUploadInfoByKey(const std::string&) { return {}; }
std::int32_t CPellacorCtrl::StartPreView(const std::string&, const std::string&) { return 0; }
std::int32_t CPellacorCtrl::DeleteFileByKey(const std::string&) { return 0; }
float CPellacorCtrl::ORVEK_FingerFeatureCompare(const std::string&, const std::string&) { return -1.0f; }
float CPellacorCtrl::ORVEK_FingerImageCompare(const std::string&, const std::string&) { return -1.0f; }

std::string CPellacorCtrl::ORVEK_GetAlgorithmVersion_Face() { return "FACE20E"; }
std::string CPellacorCtrl::ORVEK_GetAlgorithmVersion_Vein() { return "FINGER10"; }
std::string CPellacorCtrl::ORVEK_GetAlgorithmVersion_FingerPtr() { return "FPRINT10"; }
std::string CPellacorCtrl::ORVEK_GetVersion() { return "1.0.0"; }
std::string CPellacorCtrl::GetVersion() { return "1.0.2"; }
