#include "api/decoded_image.h"

#include "api/last_error.h"

namespace dravex {

DecodedImage decodeArgument(const unsigned char* blob, int length) {
  DecodedImage image;
  const BlobDecodeResult result = decodeBlobBytes(blob, length, image.pixels.data());
  if (result.error) setLastError(*result.error);
  image.ok = result.ok;
  return image;
}

}  // namespace dravex
