// Template, picture, recording and upload methods. Until they are built each answers what it
// answers without a device, a capture graph or a template: its failure or idle value.

#include "control/pellacor_ctrl.h"

void CPellacorCtrl::AboutBox() {}
std::string CPellacorCtrl::ORVEK_CutPicture(std::uint8_t*, std::int32_t, std::int32_t) { return "3"; }
std::string CPellacorCtrl::ORVEK_CutPictureFromFile(const std::string&) { return "3"; }
std::string CPellacorCtrl::ORVEK_ExtractVeinFeature(const std::string&) { return {}; }
std::int32_t CPellacorCtrl::ORVEK_VeinFeatureCompare(const std::string&, const std::string&) { return -1; }
std::int32_t CPellacorCtrl::InitParam(const std::string&) { return 1; }
std::int32_t CPellacorCtrl::CompleteCapture() { return 1; }
std::int32_t CPellacorCtrl::CancelCapture() { return 0; }
std::int32_t CPellacorCtrl::CheckRunntingEnv(std::int32_t) { return 1; }
std::string CPellacorCtrl::StartCapture() { return {}; }
std::int32_t CPellacorCtrl::GetRecordStatus() { return 0; }
std::string CPellacorCtrl::GetMachineCode() { return {}; }
std::int32_t CPellacorCtrl::EndPreView() { return 0; }
void CPellacorCtrl::UpLoadVedio(const std::string&) {}
void CPellacorCtrl::UploadVedioFile(const std::string&, const std::string&) {}
std::int32_t CPellacorCtrl::ORVEK_VeinImageCompare(const std::string&, const std::string&) { return -1; }
std::int32_t CPellacorCtrl::ORVEK_PictureQualityAsses(const std::string&) { return 0; }
std::int32_t CPellacorCtrl::ORVEK_TakeVeinPicture() { return -1; }
