// Returns from main with a device open and its worker running; the library's unload closes it.
#include "dravex.h"
#include "sim_device/sim_device.h"

int main() {
  fvsim_reset();
  fvsim_plug_type(1);
  fvsim_set_finger(0, 1);
  setDebugLevel(0);
  return fvdev_open(0, nullptr) == 1 ? 0 : 3;
}
