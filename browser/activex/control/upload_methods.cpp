// Hand-over of a recorded file to the local upload service. Nothing is reported to script.

#include "control/pellacor_ctrl.h"
#include "log/log_file.h"
#include "recording/recording_folder.h"
#include "recording/upload_client.h"

void CPellacorCtrl::uploadToService(const std::string& url, const std::string& path) {
  // The system and the OEM code page are both UTF-8 here: the texts go as they are.
  const std::string text = url + "," + path;
  fvbrowser::logf("%s", text.c_str());
  const pellacor::UploadOutcome outcome = pellacor::SendToUploadService(text, pellacor::UploadServicePort());
  if (!outcome.connected) fvbrowser::logf("upload service not reachable");
  fvbrowser::logf("upload");
}

void CPellacorCtrl::UpLoadVedio(const std::string& strUpLoadUrl) {
  if (strUpLoadUrl.empty()) return;
  uploadToService(strUpLoadUrl, m_lastRecording);
}

void CPellacorCtrl::UploadVedioFile(const std::string& strUpLoadUrl,
                                    const std::string& strFileName) {
  if (strUpLoadUrl.empty() || strFileName.empty()) return;
  // A name that reaches out of the recording folder is refused.
  if (!pellacor::IsPlainFileName(strFileName)) {
    fvbrowser::logf("UploadVedioFile refused file name: %s", strFileName.c_str());
    return;
  }
  uploadToService(strUpLoadUrl, pellacor::RecordingFolder() + "/" + strFileName);
}
