// Upload settings, the recording environment check, the machine code and the recording
// methods. No capture graph is built on this platform, so the recording methods answer as
// they do without one.

#include <json/json.h>

#include <filesystem>

#include "control/pellacor_ctrl.h"
#include "fvcommon/json_read.h"
#include "fvplatform/media_devices.h"
#include "log/log_file.h"
#include "recording/machine_code.h"
#include "recording/recording_folder.h"

std::int32_t CPellacorCtrl::InitParam(const std::string& bParam) {
  const std::optional<Json::Value> parsed = fvcommon::readJson(bParam);
  if (!parsed || !parsed->isObject()) return 1;
  const Json::Value& root = *parsed;
  if (root["UploadUrl"].isString()) m_strUploadUrl = root["UploadUrl"].asString();
  if (root["Version"].isString()) m_strVersion = root["Version"].asString();
  if (root["UploadSectionSize"].isInt()) m_uploadSectionSize = root["UploadSectionSize"].asInt();
  if (root["MinMasterVolumeLevel"].isInt()) {
    m_minMasterVolume = static_cast<float>(root["MinMasterVolumeLevel"].asInt());
  }
  if (root["Xratio"].isInt()) m_xRatio = root["Xratio"].asInt();
  if (root["Yratio"].isInt()) m_yRatio = root["Yratio"].asInt();
  fvbrowser::logf("InitParam m_strUploadUrl:%s,m_strVersion:%s", m_strUploadUrl.c_str(),
                  m_strVersion.c_str());
  return 0;
}

HRESULT CPellacorCtrl::getMasterVolume(float& level) {
  float scalar = 0.0f;
  bool muted = false;
  const HRESULT hr = fvplat::CurrentMediaEnvironment().ReadMasterVolume(&scalar, &muted);
  if (FAILED(hr)) return hr;
  level = muted ? -1.0f : scalar;
  return hr;
}

std::int32_t CPellacorCtrl::CheckRunntingEnv(std::int32_t nType) {
  fvplat::MediaEnvironment& media = fvplat::CurrentMediaEnvironment();
  const HRESULT created = media.OpenDeviceEnumerator();
  if (FAILED(created)) return created;
  if (nType != 0 && nType != 1) return 1;
  const auto category =
      nType == 0 ? fvplat::CaptureCategory::AudioInput : fvplat::CaptureCategory::VideoInput;
  if (media.CaptureDeviceCount(category) <= 0) return 1;
  float level = 0.0f;
  if (SUCCEEDED(getMasterVolume(level)) && m_minMasterVolume > level * 100.0f) return 2;
  return 0;
}

std::string CPellacorCtrl::GetMachineCode() { return pellacor::MachineCode(); }

std::string CPellacorCtrl::StartCapture() {
  // The folder is made ready for a recording; without a capture graph none starts.
  std::error_code ignored;
  std::filesystem::create_directories(pellacor::RecordingFolder(), ignored);
  return {};
}

std::int32_t CPellacorCtrl::CompleteCapture() { return 1; }

std::int32_t CPellacorCtrl::CancelCapture() {
  const std::string recording = m_currentRecording;
  CompleteCapture();
  if (!recording.empty()) {
    std::error_code ignored;
    std::filesystem::remove(recording, ignored);
  }
  return 0;
}

std::int32_t CPellacorCtrl::EndPreView() {
  if (m_mediaControl != nullptr) {
    m_mediaControl->Release();
    m_mediaControl = nullptr;
  }
  if (!m_currentRecording.empty()) {
    std::error_code ignored;
    std::filesystem::remove(m_currentRecording, ignored);
    m_currentRecording.clear();
  }
  return 0;
}

std::int32_t CPellacorCtrl::GetRecordStatus() { return m_mediaControl != nullptr ? 1 : 0; }
