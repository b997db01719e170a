#include "cloud/multipart_body.h"

#include <string>

namespace torvane {
namespace {

constexpr std::string_view kDelimiter = "----cc20180430\r\n";
constexpr std::string_view kClosing = "----cc20180430--";

// The delimiter line and the part's name, up to its closing quote.
void AppendPartName(std::string& body, std::string_view name) {
  body += kDelimiter;
  body += "Content-Disposition:form-data;name=\"";
  body += name;
  body += "\"";
}

void AppendTextPart(std::string& body, std::string_view name, std::string_view value) {
  AppendPartName(body, name);
  body += "\r\n\r\n";
  body += value;
  body += "\r\n";
}

}  // namespace

void appendImagePart(std::string& body, std::string_view name, const std::string& path) {
  const std::vector<char> bytes = readFileIntoBody(path);
  if (bytes.empty()) return;
  AppendPartName(body, name);
  body += ";filename=\"";
  body += path;
  body += "\"\r\nContent-Type:image/jpeg\r\n\r\n";
  body.append(bytes.data(), bytes.size());
  body += "\r\n";
}

std::string buildRequestBody(std::string_view payload, std::span<const std::string> imagePaths) {
  std::string body;
  AppendTextPart(body, "data", payload);
  AppendTextPart(body, "appId", std::to_string(kAppId));
  if (!imagePaths.empty()) {
    AppendTextPart(body, "imagesNum", std::to_string(imagePaths.size()));
    for (std::size_t i = 0; i < imagePaths.size(); ++i) {
      appendImagePart(body, "image" + std::to_string(i), imagePaths[i]);
    }
  }
  body += kClosing;
  return body;
}

}  // namespace torvane
