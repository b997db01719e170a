#include "blob/jpeg_decode.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "common/log.h"

namespace dravex {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf escape;
};

// libjpeg's fatal errors return here through longjmp, the way the library expects.
[[noreturn]] void OnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

void OnMessage(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX];
  info->err->format_message(info, text);
  logMessage(0, "%s\n", text);
}

// Everything that lives across the jump is made before setjmp and only read through pointers.
bool Decode(jpeg_decompress_struct& info, const std::uint8_t* data, std::size_t size, int width,
            int height, std::uint8_t* pixels) {
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
  info.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&info);
  if (static_cast<int>(info.output_width) != width || static_cast<int>(info.output_height) != height ||
      info.output_components != 1) {
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels + static_cast<std::size_t>(info.output_scanline) * static_cast<std::size_t>(width);
    if (jpeg_read_scanlines(&info, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(&info);
  return true;
}

// Decode with libjpeg's error exit caught; nothing here has a destructor to skip.
bool DecodeCatchingErrors(const std::uint8_t* data, std::size_t size, int width, int height,
                          std::uint8_t* pixels) {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnError;
  errors.base.output_message = OnMessage;
  volatile bool decoded = false;
  if (setjmp(errors.escape) == 0) {
    jpeg_create_decompress(&info);
    decoded = Decode(info, data, size, width, height, pixels);
  }
  jpeg_destroy_decompress(&info);
  return decoded;
}

}  // namespace

bool decodeGreyJpeg(const std::uint8_t* data, std::size_t size, int width, int height,
                    std::uint8_t* grey) {
  if (data == nullptr || size == 0 || width <= 0 || height <= 0) return false;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  if (!DecodeCatchingErrors(data, size, width, height, pixels.data())) return false;
  std::memcpy(grey, pixels.data(), pixels.size());
  return true;
}

}  // namespace dravex
