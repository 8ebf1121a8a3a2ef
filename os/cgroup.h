// The CPU limit that Linux control groups put on this process: a container's
// or a systemd slice's quota, which the affinity mask does not show.
#pragma once

#include <string>

namespace lumek::os {

// The tightest CPU quota of this process's control group and every group
// above it, in cgroup v1 (the cpu controller's hierarchy) and v2 alike, as
// whole processors rounded up; 0 when no group sets one. Mount points come
// from /proc/self/mountinfo, so a container that sees its group under the
// host's path is read right. `root` goes before every path read: "" on a
// live system, a fake tree in tests.
int cgroupCpuLimit(const std::string& root);

}  // namespace lumek::os
