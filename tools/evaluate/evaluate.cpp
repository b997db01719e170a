// Recognition measured end to end: each finger enrolled from its first three captures, every
// further capture matched against every template. Prints genuine and impostor similarity
// counts, the false-reject and false-accept rates at the default threshold and the equal error
// rate, for synthetic fingers and for the shared real images when present.
//
//   evaluate [fingers (100)] [captures per synthetic finger (5)] [first seed (50000)] [data dir]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "api/operations.h"
#include "core/similarity.h"
#include "core/status.h"
#include "evaluation.h"
#include "match/shift_search.h"
#include "training_corpus.h"

int main(int argc, char** argv) {
  training::CorpusPlan synthetic;
  synthetic.syntheticFingers = argc > 1 ? std::atoi(argv[1]) : 100;
  synthetic.capturesPerFinger = argc > 2 ? std::atoi(argv[2]) : 5;
  synthetic.firstSeed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 50000;
  const char* env = std::getenv("FV_DATA_DIR");
  const std::string dataDir = argc > 4 ? argv[4] : (env ? env : "");

  training::InitEngineForTraining();
  std::printf("synthetic fingers %llu..%llu, %d captures each\n",
              static_cast<unsigned long long>(synthetic.firstSeed),
              static_cast<unsigned long long>(synthetic.firstSeed + synthetic.syntheticFingers - 1),
              synthetic.capturesPerFinger);
  evaluation::Report(evaluation::Evaluate(synthetic));
  if (!dataDir.empty()) {
    training::CorpusPlan real;
    real.syntheticFingers = 0;
    real.dataDir = dataDir;
    struct Set {
      const char* prefix;
      bool perDevice;
      const char* what;
    };
    // real-a: 4 fingers on two devices; real-b: 64 fingers.
    const Set sets[] = {
        {"", false, "all real images (real-a: templates from device 1, probes from both)"},
        {"a-", false, "real-a, templates from device 1, probes from both devices"},
        {"a-", true, "real-a, each device on its own (8 identities)"},
        {"b-", false, "real-b"},
    };
    for (const Set& set : sets) {
      std::printf("\n%s, %s\n", dataDir.c_str(), set.what);
      evaluation::Report(evaluation::Evaluate(real, set.prefix, set.perDevice));
    }
  }
  return 0;
}
