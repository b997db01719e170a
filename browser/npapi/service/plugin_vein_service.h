#pragma once
// The process-wide service behind the script methods: the device, the enrolment and the
// recognition worker, and the page objects that receive the workers' results. Its operations
// run on the browser's user-interface thread; the workers reach it through the owner contract
// (worker_owner.h) from their own threads.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fvplatform/npapi.h"
#include "service/plugin_device.h"
#include "worker/finger_model.h"
#include "worker/finger_recog.h"
#include "worker/worker_owner.h"

namespace npsorvik {

class ScriptablePluginObject;

class PluginVeinService final : public fvbrowser::WorkerOwner {
 public:
  // Made on first use.
  static PluginVeinService* instance();
  // The service if there is one; never makes it.
  static PluginVeinService* existing();
  // Closes the device, stops and waits for the workers (their reports dropped first, so none
  // waits on the browser's thread meanwhile), and frees the service.
  static void destroy();

  PluginVeinService();
  ~PluginVeinService() override;
  PluginVeinService(const PluginVeinService&) = delete;
  PluginVeinService& operator=(const PluginVeinService&) = delete;

  // Result receivers: the one registered last receives; one that goes hands over to the one
  // before it.
  void registerReceiver(ScriptablePluginObject* object);
  void unregisterReceiver(ScriptablePluginObject* object);
  void dropReceiversOf(NPP npp);
  bool isReceiver(const ScriptablePluginObject* object);

  // Script operations.
  int ORVEK_Init_Vein(const std::string& settings);
  int ORVEK_OpenVeinDev();
  int ORVEK_CloseVeinDev();
  int ORVEK_StartModel_Vein();
  int ORVEK_StartRecog_Vein(const std::string& features);
  int ORVEK_StopModel_Vein();
  int ORVEK_StopRecog_Vein();
  int ORVEK_ContinueDo(int decline);
  int setModelStatus(int status);
  int setRecogStatus(int status);
  int getModelStatus();
  int getRecogStatus();
  // 1 matched, 0 not; the outcome goes to the page either way.
  int ORVEK_VeinFeatureCompare(const std::string& image, const std::string& templates);
  int ORVEK_VeinImageCompare(const std::string& image1, const std::string& image2);
  int ORVEK_TakeVeinPicture();
  // System suspend and resume.
  void suspend();
  void resume();

  // The senders: (code, text) to the page of the current receiver, waiting until its
  // "callbackfunction" has returned. The stage is not passed on.
  void sendStartResult(int code, const std::string& text);
  void sendStateChangeResult(int code, const std::string& text);
  void sendStepResult(int code, const std::string& text);
  void sendStopResult(int code, const std::string& text);

  // The owner contract.
  int fetchFrame(fvbrowser::FingerBusiness& worker, int& code, int limitMs,
                 fvbrowser::Bytes& frame, int& quality) override;
  int getFingerState() override;
  void deliverReport(const fvbrowser::Report& report) override;

 private:
  void sendResult(int code, const std::string& text);
  void teardown();
  // Closes the device and stops the workers without waiting for them.
  void retire();
  // The workers' reports are dropped from now on, and they are asked to stop.
  void dropReports();
  void stopAndJoin();

  PluginDevice m_Device;
  std::unique_ptr<fvbrowser::FingerModel> m_pFingerModel;
  std::unique_ptr<fvbrowser::FingerRecog> m_pFingerRecog;
  std::atomic<bool> m_bOpen{false};
  bool m_bClosedBySuspend = false;
  std::uint64_t m_ModelStartTime = 0;
  std::uint64_t m_RecogStartTime = 0;

  std::mutex m_receiverLock;
  std::vector<ScriptablePluginObject*> m_receivers;  // oldest first
};

}  // namespace npsorvik
