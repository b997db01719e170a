#include <json/reader.h>

#include <memory>
#include <string_view>

#include "payload_oracle.h"
#include "sim_cloud/cloud_stand_in.h"

namespace simcloud {
namespace {

constexpr std::string_view kBoundaryLine = "----cc20180430";

std::string Attribute(std::string_view header, std::string_view key) {
  const std::string marker = std::string(key) + "=\"";
  const auto at = header.find(marker);
  if (at == std::string_view::npos) return {};
  const auto start = at + marker.size();
  const auto end = header.find('"', start);
  return end == std::string_view::npos ? std::string() : std::string(header.substr(start, end - start));
}

int Number(const std::string& text) {
  if (text.empty() || text.size() > 9) return -1;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return -1;
  }
  return std::stoi(text);
}

// Parts between delimiter lines; false when the body is not laid out as a form.
bool SplitParts(std::string_view body, std::vector<ReceivedPart>& parts) {
  std::size_t at = 0;
  for (;;) {
    if (body.substr(at, kBoundaryLine.size()) != kBoundaryLine) return false;
    at += kBoundaryLine.size();
    if (body.substr(at) == "--") return true;
    if (body.substr(at, 2) != "\r\n") return false;
    at += 2;
    const auto headersEnd = body.find("\r\n\r\n", at);
    if (headersEnd == std::string_view::npos) return false;
    const std::string_view headers = body.substr(at, headersEnd - at);
    const auto contentStart = headersEnd + 4;
    const auto contentEnd = body.find(std::string("\r\n") + std::string(kBoundaryLine), contentStart);
    if (contentEnd == std::string_view::npos) return false;
    ReceivedPart part;
    const auto lineEnd = headers.find("\r\n");
    const std::string_view disposition = headers.substr(0, lineEnd);
    if (disposition.substr(0, 30) != "Content-Disposition:form-data;") return false;
    part.name = Attribute(disposition, "name");
    part.filename = Attribute(disposition, "filename");
    if (lineEnd != std::string_view::npos) {
      const std::string_view type = headers.substr(lineEnd + 2);
      if (type.substr(0, 13) != "Content-Type:") return false;
      part.contentType = std::string(type.substr(13));
    }
    part.content = std::string(body.substr(contentStart, contentEnd - contentStart));
    parts.push_back(std::move(part));
    at = contentEnd + 2;
  }
}

}  // namespace

ReceivedRequest ParseRequestBody(std::string body) {
  ReceivedRequest request;
  request.body = std::move(body);
  request.wellFormed = SplitParts(request.body, request.parts);
  for (const ReceivedPart& part : request.parts) {
    if (!part.filename.empty()) {
      request.images.push_back(part);
    } else if (part.name == "data") {
      request.data = DecipherPayload(part.content);
    } else if (part.name == "appId") {
      request.appId = Number(part.content);
    } else if (part.name == "imagesNum") {
      request.imagesNum = Number(part.content);
    }
  }
  if (!request.data.empty()) {
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    request.jsonParsed = reader->parse(request.data.data(), request.data.data() + request.data.size(),
                                       &request.json, nullptr) &&
                         request.json.isObject();
  }
  return request;
}

}  // namespace simcloud
