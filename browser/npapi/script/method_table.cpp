#include "script/method_table.h"

#include "log/log_file.h"
#include "script/script_values.h"
#include "service/plugin_vein_service.h"

namespace npsorvik {
namespace {

PluginVeinService& Service() { return *PluginVeinService::instance(); }

bool Int(NPVariant* result, std::int32_t value) {
  SetInt(result, value);
  return true;
}

// The compare operations answer 1 for a match; script sees 0 for it and -1 otherwise.
std::int32_t CompareAnswer(int matched) { return matched == 1 ? 0 : -1; }

const std::array<Method, kMethodCount> kMethods = {{
    {"ORVEK_Init_Vein", "t",
     [](const MethodArgs& a, NPVariant* r) { return Int(r, Service().ORVEK_Init_Vein(a.text[0])); }},
    {"ORVEK_OpenVeinDev", "",
     [](const MethodArgs&, NPVariant* r) { return Int(r, Service().ORVEK_OpenVeinDev()); }},
    {"ORVEK_CloseVeinDev", "",
     [](const MethodArgs&, NPVariant* r) {
       PluginVeinService* service = PluginVeinService::existing();
       return Int(r, service != nullptr ? service->ORVEK_CloseVeinDev() : 0);
     }},
    {"ORVEK_StartModel_Vein", "",
     [](const MethodArgs&, NPVariant* r) { return Int(r, Service().ORVEK_StartModel_Vein()); }},
    {"ORVEK_StopModel_Vein", "",
     [](const MethodArgs&, NPVariant* r) { return Int(r, Service().ORVEK_StopModel_Vein()); }},
    {"ORVEK_StartRecog_Vein", "t",
     [](const MethodArgs& a, NPVariant* r) {
       return Int(r, Service().ORVEK_StartRecog_Vein(a.text[0]));
     }},
    {"ORVEK_StopRecog_Vein", "",
     [](const MethodArgs&, NPVariant* r) { return Int(r, Service().ORVEK_StopRecog_Vein()); }},
    {"ORVEK_StopModelOrRecog", "", nullptr},
    {"ORVEK_ContinueDo", "i",
     [](const MethodArgs& a, NPVariant* r) { return Int(r, Service().ORVEK_ContinueDo(a.number[0])); }},
    {"ORVEK_GetAlgorithmVersion", "",
     [](const MethodArgs&, NPVariant* r) { return SetText(r, "FINGER10"); }},
    {"ORVEK_GetVersion", "",
     [](const MethodArgs&, NPVariant* r) {
       fvbrowser::logf("Get name-------------V014R031C0001B01");
       return SetText(r, "V014R031C0001B01");
     }},
    {"ORVEK_StoreOneRecod", "tit",
     [](const MethodArgs&, NPVariant* r) {
       SetVoid(r);
       return true;
     }},
    {"ORVEK_LoadOneRecod", "", [](const MethodArgs&, NPVariant* r) { return SetText(r, ""); }},
    {"ORVEK_RemoveOneRecod", "ti", [](const MethodArgs&, NPVariant* r) { return Int(r, 1); }},
    {"ORVEK_SetVeinModelStatus", "i",
     [](const MethodArgs& a, NPVariant* r) { return Int(r, Service().setModelStatus(a.number[0])); }},
    {"ORVEK_SetVeinRecogStatus", "i",
     [](const MethodArgs& a, NPVariant* r) { return Int(r, Service().setRecogStatus(a.number[0])); }},
    {"ORVEK_GetVeinModelStatus", "",
     [](const MethodArgs&, NPVariant* r) { return Int(r, Service().getModelStatus()); }},
    {"ORVEK_GetVeinRecogStatus", "",
     [](const MethodArgs&, NPVariant* r) { return Int(r, Service().getRecogStatus()); }},
    {"ORVEK_VeinFeatureCompare", "tt",
     [](const MethodArgs& a, NPVariant* r) {
       return Int(r, CompareAnswer(Service().ORVEK_VeinFeatureCompare(a.text[0], a.text[1])));
     }},
    {"ORVEK_VeinImageCompare", "tt",
     [](const MethodArgs& a, NPVariant* r) {
       return Int(r, CompareAnswer(Service().ORVEK_VeinImageCompare(a.text[0], a.text[1])));
     }},
    {"ORVEK_TakeVeinPicture", "",
     [](const MethodArgs&, NPVariant* r) { return Int(r, Service().ORVEK_TakeVeinPicture()); }},
}};

}  // namespace

const std::array<Method, kMethodCount>& Methods() { return kMethods; }

}  // namespace npsorvik
