#include "ports/library_cloud.h"

#include "cloud/cloud_client.h"
#include "cloud/payload_cipher.h"
#include "worker/replies.h"

namespace torvane {

std::string LibraryCloud::encrypt(const std::string& json) { return encryptPayload(json); }

std::string LibraryCloud::decrypt(const std::string& reply) { return decryptPayload(reply); }

std::string LibraryCloud::postJson(const std::string& json, const std::string& path) {
  // The dialog's JSON texts are its own, so they always parse back.
  std::optional<Json::Value> value = parseObject(json);
  return value ? torvane::postJson(*value, path).text : std::string();
}

std::string LibraryCloud::postIdentify(const std::string& payload, const std::string& imagePath, int flag) {
  return torvane::postIdentify(payload, imagePath, flag == 1).text;
}

std::string LibraryCloud::postEnrolment(const std::string& payload,
                                        const std::array<std::string, 3>& imagePaths, bool employee) {
  CloudReply reply = torvane::postEnrolment(payload, imagePaths, employee);
  return reply.serverFailed() ? std::string("500 Internal Server Error") : reply.text;
}

}  // namespace torvane
