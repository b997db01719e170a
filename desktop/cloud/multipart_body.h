#pragma once
// The hand-built multipart/form-data body of a cloud request.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

inline constexpr const char* kContentTypeHeader =
    "content-type:multipart/form-data;boundary=--cc20180430";
inline constexpr int kAppId = 10021;

// "data" with the enciphered payload, "appId"; with images "imagesNum" (the number of paths
// given) and one part "image0".. per file that holds more than one byte; the closing line.
std::string buildRequestBody(std::string_view payload, std::span<const std::string> imagePaths);

// The whole file, or nothing when it cannot be read (a line on standard error), holds one
// byte or less, or is larger than any image blob could be.
std::vector<char> readFileIntoBody(const std::string& path);

// Appends the image part `name`; a file that gives no bytes leaves the body as it was.
void appendImagePart(std::string& body, std::string_view name, const std::string& path);

}  // namespace torvane
