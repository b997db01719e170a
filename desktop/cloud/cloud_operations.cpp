#include "cloud/cloud_operations.h"

#include "cloud/cloud_client.h"
#include "cloud/payload_cipher.h"

namespace torvane {
namespace {

// Sends `json` alone to `path`: true with the reply's object in `root`.
bool AskWithJson(const Json::Value& json, const char* path, Json::Value& root) {
  return parseReply(postJson(json, path).text, root);
}

}  // namespace

DeviceCheckReply checkDeviceId(int deviceNo, int branchId, int clubId) {
  Json::Value json;
  json["device_id"] = std::to_string(deviceNo);
  json["branch_id"] = branchId;
  json["club_id"] = clubId;
  DeviceCheckReply reply;
  Json::Value root;
  if ((reply.parsed = AskWithJson(json, "v1/fv/checkKqDeviceId", root))) {
    reply.result = replyInt(root, "result");
    reply.name = replyText(root, "name");
  }
  return reply;
}

AuthReply authFinger(int clubId, int branchId, const std::string& imagePath) {
  Json::Value json;
  json["club_id"] = clubId;
  json["branch_id"] = branchId;
  AuthReply reply;
  Json::Value root;
  const CloudReply raw = postIdentify(encryptPayload(styledJson(json)), imagePath, false);
  if ((reply.parsed = parseReply(raw.text, root))) reply.result = replyInt(root, "result");
  return reply;
}

EnrolReply enrolFinger(int fingerType, int personId, bool employee,
                       const std::array<std::string, 3>& imagePaths) {
  Json::Value json;
  json["finger_type"] = fingerType;
  json[employee ? "employee_id" : "member_id"] = personId;
  EnrolReply reply;
  const CloudReply raw = postEnrolment(encryptPayload(styledJson(json)), imagePaths, employee);
  if ((reply.serverFailed = raw.serverFailed())) return reply;
  Json::Value root;
  if ((reply.parsed = parseReply(raw.text, root))) reply.result = replyInt(root, "result");
  return reply;
}

SignInReply signIn(int clubId, int branchId, unsigned deviceId, const std::string& imagePath) {
  Json::Value json;
  json["club_id"] = clubId;
  json["branch_id"] = branchId;
  json["device_id"] = uintToString(deviceId);
  SignInReply reply;
  const CloudReply raw = postIdentify(encryptPayload(styledJson(json)), imagePath, true);
  Json::Value root;
  if (!(reply.parsed = parseReply(raw.text, root))) return reply;
  reply.text = decryptPayload(raw.text);
  reply.result = replyInt(root, "result");
  reply.signedIn = replyInt(root, "signed", 0);
  reply.inOut = replyInt(root, "inOut", 0);
  reply.quality = replyDouble(root, "quality");
  if (const Json::Value& info = root["memberInfo"]; info.isObject()) {
    reply.member.name = replyText(info, "name");
    reply.member.image = replyText(info, "image");
    reply.member.memberId = replyInt(info, "member_id", 0);
    reply.member.status = replyInt(info, "status", 0);
  }
  return reply;
}

UpdateReply checkUpdate() {
  Json::Value json;
  json["platform"] = kUpdatePlatform;
  json["version"] = kProgramVersion;
  UpdateReply reply;
  Json::Value root;
  if ((reply.parsed = AskWithJson(json, "v1/app/checkUpdate", root))) {
    reply.result = replyInt(root, "result");
    reply.downloadUrl = replyText(root, "dl_url");
  }
  return reply;
}

}  // namespace torvane
