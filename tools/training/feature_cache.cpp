#include "feature_cache.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "content_hash.h"
#include "feature/filter_bank.h"
#include "sim_finger/finger_generator.h"

namespace training {
namespace {

using fvtools::Fnv1a;
using fvtools::Hex;

// What a change of the extraction would change, short of the trained tables (which only the
// codes and the coarse vector read): responses, outline and coverage of one image's blocks.
std::uint64_t ExtractionFingerprint() {
  const auto pixels = simfinger::FingerImage(4242, 0);
  ImageBlocks b;
  std::uint64_t h = Fnv1a("blocks-v1", 9);
  if (!ExtractBlocks(pixels.data(), b)) return h;
  for (int i = 0; i < 3; ++i) {
    const veltrum::FeatureBlock& block = b.blocks[i];
    h = Fnv1a(b.responses[i].data(), b.responses[i].size() * sizeof(std::int32_t), h);
    h = Fnv1a(block.cellVectors, sizeof block.cellVectors, h);
    h = Fnv1a(block.edgePairs, sizeof block.edgePairs, h);
    h = Fnv1a(block.coverage15, sizeof block.coverage15, h);
    h = Fnv1a(block.coverage27, sizeof block.coverage27, h);
  }
  return h;
}

constexpr std::size_t kResponseBytes = veltrum::kResponseEntries * sizeof(std::int32_t);

bool Load(const std::filesystem::path& file, bool& ok, ImageBlocks& out) {
  std::ifstream in(file, std::ios::binary);
  char flag = 0;
  if (!in.read(&flag, 1)) return false;
  ok = flag == 1;
  if (!ok) return true;
  for (int i = 0; i < 3; ++i) {
    out.responses[i].resize(veltrum::kResponseEntries);
    in.read(reinterpret_cast<char*>(&out.blocks[i]), sizeof out.blocks[i]);
    in.read(reinterpret_cast<char*>(out.responses[i].data()), kResponseBytes);
  }
  return bool(in);
}

void Store(const std::filesystem::path& file, bool ok, const ImageBlocks& blocks) {
  // Written aside and renamed, so an interrupted run never leaves half a file behind.
  std::ostringstream part_name;
  part_name << file.string() << ".part" << std::this_thread::get_id();
  const std::filesystem::path part = part_name.str();
  {
    std::ofstream out(part, std::ios::binary);
    const char flag = ok ? 1 : 0;
    out.write(&flag, 1);
    for (int i = 0; ok && i < 3; ++i) {
      out.write(reinterpret_cast<const char*>(&blocks.blocks[i]), sizeof blocks.blocks[i]);
      out.write(reinterpret_cast<const char*>(blocks.responses[i].data()), kResponseBytes);
    }
    if (!out) return;
  }
  std::error_code error;
  std::filesystem::rename(part, file, error);
}

}  // namespace

FeatureCache::FeatureCache(std::string folder) : folder_(std::move(folder)) {
  if (folder_.empty()) return;
  folder_ = (std::filesystem::path(folder_) / Hex(ExtractionFingerprint())).string();
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  if (error) folder_.clear();
}

bool FeatureCache::Blocks(const CorpusImage& image, ImageBlocks& out) {
  if (folder_.empty()) return ExtractBlocks(image.pixels.data(), out);
  const std::filesystem::path file =
      std::filesystem::path(folder_) / (Hex(Fnv1a(image.pixels.data(), image.pixels.size())) + ".blk");
  bool ok = false;
  if (Load(file, ok, out)) return ok;
  ok = ExtractBlocks(image.pixels.data(), out);
  Store(file, ok, out);
  return ok;
}

int ForEachExtracted(const CorpusPlan& plan, FeatureCache& cache, int threads,
                     const std::function<void(const CorpusImage&, bool ok, const ImageBlocks&)>& visit) {
  threads = std::max(threads, 1);
  const std::vector<ImageSpec> list = ListImages(plan);
  const std::size_t batch = static_cast<std::size_t>(threads) * 8;
  int visited = 0;
  for (std::size_t first = 0; first < list.size(); first += batch) {
    const std::size_t count = std::min(batch, list.size() - first);
    std::vector<CorpusImage> images(count);
    std::vector<ImageBlocks> blocks(count);
    std::vector<char> loaded(count, 0), ok(count, 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
      workers.emplace_back([&, t] {
        for (std::size_t i = t; i < count; i += threads) {
          loaded[i] = LoadImage(list[first + i], images[i]);
          if (loaded[i]) ok[i] = cache.Blocks(images[i], blocks[i]);
        }
      });
    }
    for (auto& w : workers) w.join();
    for (std::size_t i = 0; i < count; ++i) {
      if (!loaded[i]) continue;
      visit(images[i], ok[i] != 0, blocks[i]);
      ++visited;
    }
  }
  return visited;
}

}  // namespace training
