// The cloud stand-in as a program for the demonstration: answers plainly until it is ended.
// Usage: fv_cloud [port]   (default 56190)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "sim_cloud/cloud_stand_in.h"

int main(int argc, char** argv) {
  const int port = argc > 1 ? std::atoi(argv[1]) : 56190;
  try {
    simcloud::CloudStandIn cloud(port);
    std::printf("cloud stand-in at %s\n", cloud.baseUrl().c_str());
    std::fflush(stdout);
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
