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
      const char* what;
    };
    // real-a: 4 fingers on two devices (templates from device 1); real-b: 64 fingers.
    for (const Set& set : {Set{"", "all real images"}, Set{"a-", "real-a"}, Set{"b-", "real-b"}}) {
      std::printf("\n%s of %s\n", set.what, dataDir.c_str());
      evaluation::Report(evaluation::Evaluate(real, set.prefix));
    }
  }
  return 0;
}
