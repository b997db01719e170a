// Device, enrolment and recognition methods, answering as with the device library unbound.

#include "control/pellacor_ctrl.h"

std::int32_t CPellacorCtrl::ORVEK_Init_Vein(const std::string&) { return 0; }
std::int32_t CPellacorCtrl::ORVEK_StopModel_Vein() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_StopRecog_Vein() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_SetVeinModelStatus(std::int32_t) { return 1; }
std::int32_t CPellacorCtrl::ORVEK_SetVeinRecogStatus(std::int32_t) { return 1; }
std::int32_t CPellacorCtrl::ORVEK_GetVeinModelStatus() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_GetVeinRecogStatus() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_CloseVeinDev() { return 0; }
std::int32_t CPellacorCtrl::ORVEK_StartModel_Vein() { return -1; }
std::int32_t CPellacorCtrl::ORVEK_StartRecog_Vein(const std::string&) { return -1; }
std::int32_t CPellacorCtrl::ORVEK_OpenVeinDev() { return 1; }
std::int32_t CPellacorCtrl::ORVEK_SetLed(std::int32_t, std::int32_t) { return 0; }
std::int32_t CPellacorCtrl::ORVEK_GetFingerState() { return 0; }
