#pragma once
// Cloud replies read defensively: a reply is used only when it parses as a JSON object, and a
// member of the wrong type reads as absent, so no reply can throw inside the worker.

#include <json/json.h>

#include <optional>
#include <string>

#include "cloud/cloud_client.h"  // styledJson, the form payloads are sent in

namespace torvane {

std::optional<Json::Value> parseObject(const std::string& text);
// The member as an int when it is an integral number in range.
std::optional<int> intMember(const Json::Value& object, const char* key);
std::optional<double> doubleMember(const Json::Value& object, const char* key);
// "" when absent or not a string.
std::string stringMember(const Json::Value& object, const char* key);
// A null value when absent or not an object.
const Json::Value& objectMember(const Json::Value& object, const char* key);

}  // namespace torvane
