#include <json/writer.h>

#include "cloud/cloud_client.h"
#include "cloud/multipart_body.h"
#include "cloud/payload_cipher.h"

namespace torvane {

std::string styledJson(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "   ";
  return Json::writeString(builder, value) + "\n";
}

std::string uintToString(unsigned n) { return std::to_string(n); }

CloudReply postJson(const Json::Value& json, const std::string& path) {
  return postBody(path, buildRequestBody(encryptPayload(styledJson(json)), {}));
}

CloudReply postIdentify(const std::string& payload, const std::string& imagePath, bool signIn) {
  const std::string paths[] = {imagePath};
  return postBody(signIn ? "v1/fv/signKqFv" : "v1/fv/authKqFv", buildRequestBody(payload, paths));
}

CloudReply postEnrolment(const std::string& payload, const std::array<std::string, 3>& imagePaths,
                         bool employee) {
  return postBody(employee ? "v1/fv/addEKqFv" : "v1/fv/addKqFv",
                  buildRequestBody(payload, imagePaths));
}

}  // namespace torvane
