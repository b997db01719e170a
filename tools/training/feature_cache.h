#pragma once
// Extracted blocks kept on disk, so repeated training and evaluation runs skip the extraction.
// Files are keyed by the image's pixels and by a fingerprint of the extraction itself (the
// responses of one fixed synthetic image), so a change to the engine's extraction starts a
// fresh folder instead of serving stale blocks. The trained tables are left out of the
// fingerprint: a cached block's codes and coarse vector are those of the tables at caching time,
// so callers read only its responses, outline and coverage (the trainers recompute the rest).

#include <functional>
#include <string>

#include "training_corpus.h"

namespace training {

class FeatureCache {
 public:
  // An empty folder disables the cache: every call extracts.
  explicit FeatureCache(std::string folder);
  // ExtractBlocks through the cache; false when the image is refused.
  bool Blocks(const CorpusImage& image, ImageBlocks& out);

 private:
  std::string folder_;
};

// Visits every image of the plan in ForEachImage's order with its blocks (`ok` false when the
// image is refused), extracting up to `threads` images at a time; returns how many were visited.
// The visits themselves run one after another on the calling thread.
int ForEachExtracted(const CorpusPlan& plan, FeatureCache& cache, int threads,
                     const std::function<void(const CorpusImage&, bool ok, const ImageBlocks&)>& visit);

}  // namespace training
