#include "recording/machine_code.h"

#include <cstdio>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace pellacor {

std::string FormatMachineCode(unsigned edx, unsigned eax) {
  char text[17];
  std::snprintf(text, sizeof text, "%08X%08X", edx, eax);
  return text;
}

std::string MachineCode() {
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0) return FormatMachineCode(edx, eax);
#endif
  return kMachineCodeNotAvailable;
}

}  // namespace pellacor
