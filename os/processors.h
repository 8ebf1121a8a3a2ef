// Which logical processors there are and how they sit in physical cores and
// packages, as the system tells; binding a thread to one. The readers take
// a root path ("" on a live system, a fake tree in tests).
#pragma once

#include <string>
#include <vector>

namespace lumek::os {

// One logical processor. Unknown parts are -1.
struct Processor {
    int id = -1;       // the system's number: Linux's cpu number; on Windows
                       // 64 x processor group + number in the group
    int core = -1;     // the system's id of its physical core (within its package)
    int package = -1;  // the system's id of its package (socket)
    int thread = -1;   // 0 for its core's first hardware thread, 1 for the second, ...
    int threadsInCore = -1;

    // "processor 5 (core 2, second thread; package 0)", or as much of it
    // as is known.
    std::string describe() const;
};

struct Topology {
    std::vector<Processor> processors;  // every online one, by id
    int online = 0;                     // logical processors online
    int physicalCores = 0;              // 0 when the system does not tell
    int packages = 0;                   // 0 when the system does not tell
    int threadsPerCore = 0;             // the most in any core; 0 when not told

    // The processor with this id, or one with only its id known.
    Processor find(int id) const;
    // Of `usable`, the first processor of each physical core, in id order
    // (every one when cores are not known).
    std::vector<int> onePerCore(const std::vector<int>& usable) const;
};

// "0-3,8,10-11" as a list of numbers; malformed parts are skipped.
std::vector<int> parseCpuList(const std::string& text);

// Linux: /sys/devices/system/cpu (online, and each cpuN/topology).
Topology readLinuxTopology(const std::string& root);

// The live system's topology (Linux from /sys, Windows from
// GetLogicalProcessorInformationEx), and the processors this process may
// run on (its affinity), by id.
Topology systemTopology();
std::vector<int> affinityProcessors();

// Binds the calling thread to the processor with this id; false when the
// system refused.
bool pinThread(int processor);

// The processor the calling thread runs on now, or -1.
int currentProcessor();

// Whether the calling thread is still bound to this processor alone: false
// once its affinity was changed from outside (taskset -a -p), true where
// the system does not tell.
bool stillPinnedTo(int processor);

}  // namespace lumek::os
