// The machine a result was measured on, as the system tells it: the
// processor's maker and model, how many processors and cores, the
// operating system. Readers of files take a root path ("" on a live
// system, a fake tree in tests).
#pragma once

#include <string>

namespace lumek::os {

struct ProcessorName {
    std::string vendor;  // "GenuineIntel", "ARM", ...; empty when not told
    std::string model;   // "Intel(R) Xeon(R) Processor", "4 x Cortex-A76"; empty when not told
};

struct SystemName {
    std::string name;          // "Linux", "Windows"
    std::string version;       // "6.1.0-28-amd64", "10.0.19045"
    std::string distribution;  // "Debian GNU/Linux 12 (bookworm)"; empty elsewhere
    std::string wine;          // Wine's version when the Windows program runs under it
};

struct MachineInfo {
    ProcessorName processor;
    int logicalOnline = 0;
    int logicalUsable = 0;
    int physicalCores = 0;   // 0 when not told
    int threadsPerCore = 0;  // 0 when not told
    int packages = 0;        // 0 when not told
    SystemName system;
};

// The text as valid UTF-8: every byte that does not belong to a well-formed
// sequence (a stray continuation, a cut sequence, an overlong form, a
// surrogate, beyond U+10FFFF) becomes U+FFFD. Whatever the system says is
// passed through this before anything keeps it.
std::string validUtf8(const std::string& text);

// Linux: /proc/cpuinfo ("vendor_id" and "model name" where the kernel gives
// them; on ARM64 the implementer and part of each processor, named from a
// table of known cores), else each processor's MIDR_EL1 in /sys.
ProcessorName readLinuxProcessorName(const std::string& root);

// Linux: PRETTY_NAME of /etc/os-release (or /usr/lib/os-release).
std::string readLinuxDistribution(const std::string& root);

// x86: the CPUID vendor and brand strings; empty elsewhere.
ProcessorName cpuidProcessorName();

// The live system's name (per platform).
SystemName systemName();

// The live machine.
MachineInfo describeMachine();

}  // namespace lumek::os
