// The CPU quota of control groups, read from fake /proc and /sys trees laid
// out as Linux, systemd and container runtimes lay them out.
#include "os/cgroup.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "support/files.h"

namespace lumek {
namespace {

using test::FakeTree;

// A mountinfo line for a cgroup v1 hierarchy with `options` as its
// controllers, `root` of the hierarchy mounted at `point`.
std::string v1Mount(int id, const std::string& root, const std::string& point,
                    const std::string& options) {
    return std::to_string(id) + " 25 0:" + std::to_string(id) + " " + root + " " + point +
           " rw,nosuid,nodev,noexec,relatime shared:" + std::to_string(id) +
           " - cgroup cgroup rw," + options + "\n";
}

std::string v2Mount(const std::string& root, const std::string& point) {
    return "30 25 0:26 " + root + " " + point +
           " rw,nosuid,nodev,noexec,relatime shared:4 - cgroup2 cgroup2 rw,nsdelegate\n";
}

std::string cfs(FakeTree& tree, const std::string& dir, long long quota, long long period) {
    tree.put(dir + "/cpu.cfs_quota_us", std::to_string(quota) + "\n");
    tree.put(dir + "/cpu.cfs_period_us", std::to_string(period) + "\n");
    return dir;
}

TEST(CgroupCpuLimit, Version1ReadsTheLeafAndEveryGroupAboveIt) {
    // A systemd slice: the parent is limited to one processor, the child
    // (where the process is) sets nothing.
    FakeTree tree;
    tree.put("/proc/self/mountinfo", v1Mount(31, "/", "/sys/fs/cgroup/cpu,cpuacct", "cpu,cpuacct") +
                                         v1Mount(32, "/", "/sys/fs/cgroup/cpuset", "cpuset"));
    tree.put("/proc/self/cgroup", "5:cpuset:/\n4:cpu,cpuacct:/parent/child\n0::/\n");
    cfs(tree, "/sys/fs/cgroup/cpu,cpuacct", -1, 100000);
    cfs(tree, "/sys/fs/cgroup/cpu,cpuacct/parent", 100000, 100000);
    cfs(tree, "/sys/fs/cgroup/cpu,cpuacct/parent/child", -1, 100000);
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 1);

    // The tightest level wins, wherever it is; a fraction rounds up.
    cfs(tree, "/sys/fs/cgroup/cpu,cpuacct/parent", 400000, 100000);
    cfs(tree, "/sys/fs/cgroup/cpu,cpuacct/parent/child", 250000, 100000);
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 3);
}

TEST(CgroupCpuLimit, OnlyTheCpuControllerCountsNotCpusetOrCpuacctAlone) {
    // The process is in /pinned for cpuset and cpuacct, but in / for cpu:
    // the quota of cpu's /pinned belongs to a group it is not in.
    FakeTree tree;
    tree.put("/proc/self/mountinfo", v1Mount(31, "/", "/sys/fs/cgroup/cpu", "cpu") +
                                         v1Mount(32, "/", "/sys/fs/cgroup/cpuacct", "cpuacct") +
                                         v1Mount(33, "/", "/sys/fs/cgroup/cpuset", "cpuset"));
    tree.put("/proc/self/cgroup", "5:cpuset:/pinned\n3:cpuacct:/pinned\n4:cpu:/\n");
    cfs(tree, "/sys/fs/cgroup/cpu", -1, 100000);
    cfs(tree, "/sys/fs/cgroup/cpu/pinned", 100000, 100000);
    cfs(tree, "/sys/fs/cgroup/cpuacct/pinned", 100000, 100000);
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 0);
}

TEST(CgroupCpuLimit, AJointCpuAndCpuacctMountIsFoundWhereverItIsMounted) {
    FakeTree tree;
    tree.put("/proc/self/mountinfo", v1Mount(31, "/", "/sys/fs/cgroup/cpu,cpuacct", "cpu,cpuacct"));
    tree.put("/proc/self/cgroup", "4:cpuacct,cpu:/user.slice\n");
    cfs(tree, "/sys/fs/cgroup/cpu,cpuacct/user.slice", 150000, 100000);
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 2);
}

TEST(CgroupCpuLimit, AContainerThatSeesTheHostsPathReadsItsMountedGroup) {
    // Without a cgroup namespace the container sees its group's host path,
    // but only that group is mounted, at the hierarchy's usual place.
    FakeTree tree;
    tree.put("/proc/self/mountinfo",
             v1Mount(31, "/docker/0123abcd", "/sys/fs/cgroup/cpu,cpuacct", "cpu,cpuacct") +
                 v2Mount("/docker/0123abcd", "/sys/fs/cgroup/unified"));
    tree.put("/proc/self/cgroup", "4:cpu,cpuacct:/docker/0123abcd\n0::/docker/0123abcd\n");
    cfs(tree, "/sys/fs/cgroup/cpu,cpuacct", 200000, 100000);
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 2);

    // The same with cgroup v2 only.
    FakeTree v2;
    v2.put("/proc/self/mountinfo", v2Mount("/docker/0123abcd", "/sys/fs/cgroup"));
    v2.put("/proc/self/cgroup", "0::/docker/0123abcd\n");
    v2.put("/sys/fs/cgroup/cpu.max", "300000 100000\n");
    EXPECT_EQ(os::cgroupCpuLimit(v2.root()), 3);
}

TEST(CgroupCpuLimit, Version2ReadsEveryLevelAndMaxMeansNoLimit) {
    FakeTree tree;
    tree.put("/proc/self/mountinfo", v2Mount("/", "/sys/fs/cgroup"));
    tree.put("/proc/self/cgroup", "0::/system.slice/lumek.service\n");
    tree.put("/sys/fs/cgroup/system.slice/cpu.max", "200000 100000\n");
    tree.put("/sys/fs/cgroup/system.slice/lumek.service/cpu.max", "max 100000\n");
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 2);

    tree.put("/sys/fs/cgroup/system.slice/cpu.max", "max 100000\n");
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 0);

    // Beside a v1 cpu hierarchy (a hybrid system): both are read.
    tree.put("/proc/self/mountinfo", v1Mount(31, "/", "/sys/fs/cgroup/cpu", "cpu") +
                                         v2Mount("/", "/sys/fs/cgroup/unified"));
    tree.put("/proc/self/cgroup", "4:cpu:/batch\n0::/batch\n");
    cfs(tree, "/sys/fs/cgroup/cpu/batch", 50000, 100000);
    tree.put("/sys/fs/cgroup/unified/batch/cpu.max", "max 100000\n");
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 1);
}

TEST(CgroupCpuLimit, AHugeQuotaIsNoLimitRatherThanAWrappedOne) {
    // 4,294,967,297 processors: the kernel takes it; as an int it wraps to 1.
    FakeTree tree;
    tree.put("/proc/self/mountinfo", v2Mount("/", "/sys/fs/cgroup"));
    tree.put("/proc/self/cgroup", "0::/big\n");
    tree.put("/sys/fs/cgroup/big/cpu.max", "4294967297000 1000\n");
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), INT_MAX);

    tree.put("/sys/fs/cgroup/big/cpu.max", "9223372036854775807 1\n");
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), INT_MAX);
}

TEST(CgroupCpuLimit, MissingOrMalformedFilesMeanNoLimit) {
    FakeTree empty;
    EXPECT_EQ(os::cgroupCpuLimit(empty.root()), 0);

    FakeTree tree;
    tree.put("/proc/self/mountinfo", v2Mount("/", "/sys/fs/cgroup"));
    tree.put("/proc/self/cgroup", "garbage\n0::relative\n0::/a\n");
    tree.put("/sys/fs/cgroup/a/cpu.max", "lots 100000\n");
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 0);
    tree.put("/sys/fs/cgroup/a/cpu.max", "100000 0\n");
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 0);
}

TEST(CgroupCpuLimit, WithoutAMountTableTheUsualPlacesAreRead) {
    FakeTree tree;
    tree.put("/proc/self/cgroup", "4:cpu,cpuacct:/job\n");
    cfs(tree, "/sys/fs/cgroup/cpu/job", 100000, 100000);
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 1);
}

TEST(CgroupCpuLimit, EscapedBlanksInMountPointsAreDecoded) {
    FakeTree tree;
    tree.put("/proc/self/mountinfo", v2Mount("/", "/srv/cgroup\\040root"));
    tree.put("/proc/self/cgroup", "0::/a\n");
    tree.put("/srv/cgroup root/a/cpu.max", "100000 100000\n");
    EXPECT_EQ(os::cgroupCpuLimit(tree.root()), 1);
}

}  // namespace
}  // namespace lumek
