// Prints the stage checksums over the fixed image set, one row a line; the committed baseline
// (tests/engine_checksums/stage_checksums.txt) is this program's output with the data folder.
// Usage: print_stage_checksums [data folder]   (default $FV_DATA_DIR; none: synthetic only)

#include <cstdio>
#include <cstdlib>
#include <string>

#include "stage_checksums.h"

int main(int argc, char** argv) {
  std::string dataDir;
  if (argc > 1) {
    dataDir = argv[1];
  } else if (const char* env = std::getenv("FV_DATA_DIR")) {
    dataDir = env;
  }
  for (const std::string& row : stagesums::ComputeChecksums(dataDir)) std::puts(row.c_str());
  return 0;
}
