#pragma once
// The machine code: the processor's feature flags and signature (CPUID leaf 1, EDX then EAX)
// as 16 upper-case hexadecimal digits.

#include <string>

namespace pellacor {

// The answer on processors without CPUID.
inline constexpr const char* kMachineCodeNotAvailable = "not available";

std::string MachineCode();
// The text of one CPUID leaf-1 answer.
std::string FormatMachineCode(unsigned edx, unsigned eax);

}  // namespace pellacor
