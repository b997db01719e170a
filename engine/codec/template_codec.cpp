#include "codec/template_codec.h"

#include <cstring>

#include "core/alloc.h"
#include "core/status.h"

namespace veltrum {
namespace {

static_assert(kBSamples * 104 <= kStreamWords * 32);
static_assert(kStreamBytes <= sizeof(VeinModel::codeRows));

// Most significant bit first: word 0 bit 31 is the stream's first bit.
class BitWriter {
 public:
  explicit BitWriter(std::uint32_t* words) : words_(words) {}
  void Put(std::uint32_t value, int bits) {
    for (int b = bits - 1; b >= 0; --b, ++pos_) {
      if ((value >> b) & 1u) words_[pos_ >> 5] |= 0x80000000u >> (pos_ & 31);
    }
  }

 private:
  std::uint32_t* words_;
  int pos_ = 0;
};

class BitReader {
 public:
  explicit BitReader(const std::uint32_t* words) : words_(words) {}
  std::uint32_t Get(int bits) {
    std::uint32_t value = 0;
    for (int b = 0; b < bits; ++b, ++pos_) {
      value = (value << 1) | ((words_[pos_ >> 5] >> (31 - (pos_ & 31))) & 1u);
    }
    return value;
  }

 private:
  const std::uint32_t* words_;
  int pos_ = 0;
};

unsigned char* StreamBytes(VeinModel& model) { return reinterpret_cast<unsigned char*>(model.codeRows); }
const unsigned char* StreamBytes(const VeinModel& model) {
  return reinterpret_cast<const unsigned char*>(model.codeRows);
}

// The grid words keep only their low byte, repeated through the stored word.
void PutLowByteWord(unsigned char* out, std::int32_t value) {
  std::memset(out, static_cast<unsigned char>(value & 0xFF), 4);
}

}  // namespace

int PackBitRows(VeinModel& copy, unsigned char* out, int* outLength) {
  auto rows = AllocArray<std::uint32_t>(kBSamples * 4);
  if (!rows) return kOutOfMemory;
  std::memcpy(rows.get(), copy.codeRows, sizeof copy.codeRows);
  std::memset(copy.codeRows, 0, sizeof copy.codeRows);
  std::uint32_t stream[kStreamWords] = {};
  BitWriter writer(stream);
  for (int r = 0; r < kBSamples; ++r) {
    const std::uint32_t* row = &rows[r * 4];
    writer.Put(row[0], 32);
    writer.Put(row[1], 32);
    writer.Put(row[2], 32);
    writer.Put(row[3] & 0xFFu, 8);
  }
  std::memcpy(StreamBytes(copy), stream, sizeof stream);
  return PackModel(out, outLength, copy);
}

int PackModel(unsigned char* out, int* outLength, const VeinModel& packed) {
  int length = 0;
  auto put = [&](const void* source, int bytes) {
    std::memcpy(out + length, source, static_cast<std::size_t>(bytes));
    length += bytes;
  };
  put(packed.edgePairs, sizeof packed.edgePairs);
  put(packed.cellVectors, sizeof packed.cellVectors);
  put(StreamBytes(packed), kStreamBytes);
  PutLowByteWord(out + length, packed.gridOrigin);
  length += 4;
  PutLowByteWord(out + length, packed.gridStep);
  length += 4;
  put(packed.cellWeights, sizeof packed.cellWeights);
  put(packed.codeWeights, sizeof packed.codeWeights);
  put(packed.coarse, sizeof packed.coarse);
  *outLength = length;
  return kOk;
}

int UnpackModel(const unsigned char* data, VeinModel& model) {
  int offset = 0;
  auto take = [&](void* target, int bytes) {
    std::memcpy(target, data + offset, static_cast<std::size_t>(bytes));
    offset += bytes;
  };
  take(model.edgePairs, sizeof model.edgePairs);
  take(model.cellVectors, sizeof model.cellVectors);
  take(StreamBytes(model), kStreamBytes);
  take(&model.gridOrigin, 4);
  take(&model.gridStep, 4);
  take(model.cellWeights, sizeof model.cellWeights);
  take(model.codeWeights, sizeof model.codeWeights);
  take(model.coarse, sizeof model.coarse);
  return kOk;
}

int UnpackBitRows(VeinModel& model) {
  auto stream = AllocArray<std::uint32_t>(kStreamWords);
  if (!stream) return kFailed;
  std::memcpy(stream.get(), StreamBytes(model), kStreamBytes);
  std::memset(model.codeRows, 0, sizeof model.codeRows);
  BitReader reader(stream.get());
  for (auto& row : model.codeRows) {
    row[0] = reader.Get(32);
    row[1] = reader.Get(32);
    row[2] = reader.Get(32);
    row[3] = reader.Get(8);
  }
  return kOk;
}

}  // namespace veltrum
