#pragma once
// The six cloud operations: each builds its JSON, sends it, deciphers and reads the reply.
// `parsed` is false for no answer, a transfer error, a status other than 200 or a reply that is
// not an enciphered JSON object; a member missing or of another type reads as its default.

#include <array>
#include <string>

#include <json/value.h>

namespace torvane {

// Deciphers `reply` and parses it: true for a JSON object.
bool parseReply(const std::string& reply, Json::Value& root);
// A member as an int (a whole-number double counts), a number, a text; `fallback` otherwise.
int replyInt(const Json::Value& object, const char* key, int fallback = -1);
double replyDouble(const Json::Value& object, const char* key, double fallback = 0.0);
std::string replyText(const Json::Value& object, const char* key);

struct DeviceCheckReply {
  bool parsed = false;
  int result = -1;   // 1: the number is accepted
  std::string name;  // URL-encoded UTF-8 device name
};
// "v1/fv/checkKqDeviceId".
DeviceCheckReply checkDeviceId(int deviceNo, int branchId, int clubId);

struct AuthReply {
  bool parsed = false;
  int result = -1;  // 1: this finger is already enrolled
};
// "v1/fv/authKqFv" with the first enrolment capture.
AuthReply authFinger(int clubId, int branchId, const std::string& imagePath);

struct EnrolReply {
  bool serverFailed = false;  // the service reported its own failure
  bool parsed = false;
  int result = -1;  // 1: enrolled; 4: this person already has this finger
};
// "v1/fv/addEKqFv" (employee) or "v1/fv/addKqFv" with the three captures.
EnrolReply enrolFinger(int fingerType, int personId, bool employee,
                       const std::array<std::string, 3>& imagePaths);

struct MemberInfo {
  std::string name;
  std::string image;
  int memberId = 0;
  int status = 0;  // 4: on leave; 5: frozen
};

struct SignInReply {
  bool parsed = false;
  int result = -1;  // 0 or 1: a known member; 2: not enrolled here; 3; 4: device not authorised
  int signedIn = 0;  // "signed": 1 = signed in or out
  int inOut = 0;     // 3: a sign-out
  double quality = 0.0;
  MemberInfo member;
  std::string text;  // the deciphered reply
};
// "v1/fv/signKqFv" with the sign-in capture.
SignInReply signIn(int clubId, int branchId, unsigned deviceId, const std::string& imagePath);

struct UpdateReply {
  bool parsed = false;
  int result = -1;  // 1: an update exists
  std::string downloadUrl;
};
// "v1/app/checkUpdate" for this program's platform and version.
UpdateReply checkUpdate();

inline constexpr int kUpdatePlatform = 3;
inline constexpr const char* kProgramVersion = "1.1.0";

}  // namespace torvane
