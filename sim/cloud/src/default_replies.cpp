// The plain default of the stand-in, enough for the demonstration: every device number is
// accepted, any finger enrols, and a sign-in is the member enrolled last.

#include <string_view>

#include "sim_cloud/cloud_stand_in.h"

namespace simcloud {
namespace {

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

int IntMember(const Json::Value& json, const char* key) {
  const Json::Value& value = json[key];
  return value.isInt() ? value.asInt() : 0;
}

Json::Value Result(int result) {
  Json::Value json;
  json["result"] = result;
  return json;
}

// "前台" and "会员", URL-encoded UTF-8 as the service sends names.
constexpr const char* kDeviceName = "%E5%89%8D%E5%8F%B0";
constexpr const char* kMemberName = "%E4%BC%9A%E5%91%98";

}  // namespace

ScriptedReply CloudStandIn::DefaultReply(const ReceivedRequest& request) {
  if (!request.wellFormed || request.appId != kExpectedAppId || !request.jsonParsed) {
    return ScriptedReply::Raw("refused: not a request of the desktop program", 400);
  }
  const std::string& path = request.path;
  if (EndsWith(path, "v1/fv/checkKqDeviceId")) {
    Json::Value json = Result(1);
    json["name"] = kDeviceName;
    return ScriptedReply::Enciphered(json);
  }
  if (EndsWith(path, "v1/fv/authKqFv")) return ScriptedReply::Enciphered(Result(0));
  if (EndsWith(path, "v1/fv/addKqFv") || EndsWith(path, "v1/fv/addEKqFv")) {
    if (EndsWith(path, "v1/fv/addKqFv")) {
      const std::lock_guard<std::mutex> hold(lock_);
      lastEnrolledMember_ = IntMember(request.json, "member_id");
    }
    return ScriptedReply::Enciphered(Result(1));
  }
  if (EndsWith(path, "v1/fv/signKqFv")) {
    int member = 0;
    {
      const std::lock_guard<std::mutex> hold(lock_);
      member = lastEnrolledMember_;
    }
    if (member == 0) return ScriptedReply::Enciphered(Result(2));
    Json::Value json = Result(1);
    json["signed"] = 1;
    json["inOut"] = 1;
    json["quality"] = 0.9;
    json["memberInfo"]["name"] = std::string(kMemberName) + std::to_string(member);
    json["memberInfo"]["image"] = "";
    json["memberInfo"]["member_id"] = member;
    json["memberInfo"]["status"] = 1;
    return ScriptedReply::Enciphered(json);
  }
  if (EndsWith(path, "v1/app/checkUpdate")) return ScriptedReply::Enciphered(Result(0));
  return ScriptedReply::Raw("no such path", 404);
}

}  // namespace simcloud
