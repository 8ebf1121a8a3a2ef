// Which processors there are and where they sit, read from fake /sys trees
// laid out as Linux lays them out.
#include "os/processors.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/files.h"

namespace lumek {
namespace {

using test::FakeTree;

void cpu(FakeTree& tree, int id, int core, int package, const std::string& siblings) {
    const std::string dir = "/sys/devices/system/cpu/cpu" + std::to_string(id) + "/topology/";
    tree.put(dir + "core_id", std::to_string(core) + "\n");
    tree.put(dir + "physical_package_id", std::to_string(package) + "\n");
    tree.put(dir + "thread_siblings_list", siblings + "\n");
}

TEST(CpuList, RangesAndSinglesInAnyOrder) {
    EXPECT_EQ(os::parseCpuList("0-3,8,10-11\n"), (std::vector<int>{0, 1, 2, 3, 8, 10, 11}));
    EXPECT_EQ(os::parseCpuList("5,1-2,2"), (std::vector<int>{1, 2, 5}));
    EXPECT_EQ(os::parseCpuList(""), std::vector<int>{});
    EXPECT_EQ(os::parseCpuList("x,3-1,4-,7"), std::vector<int>{7});
}

TEST(LinuxTopology, OneCoreWithTwoThreadsNamesBothThreads) {
    FakeTree tree;
    tree.put("/sys/devices/system/cpu/online", "0-1\n");
    cpu(tree, 0, 0, 0, "0-1");
    cpu(tree, 1, 0, 0, "0-1");
    const os::Topology t = os::readLinuxTopology(tree.root());
    EXPECT_EQ(t.online, 2);
    EXPECT_EQ(t.physicalCores, 1);
    EXPECT_EQ(t.threadsPerCore, 2);
    EXPECT_EQ(t.packages, 1);
    EXPECT_EQ(t.find(0).describe(), "processor 0 (core 0, first thread; package 0)");
    EXPECT_EQ(t.find(1).describe(), "processor 1 (core 0, second thread; package 0)");
    EXPECT_EQ(t.onePerCore({0, 1}), std::vector<int>{0});
    EXPECT_EQ(t.onePerCore({1}), std::vector<int>{1});
}

TEST(LinuxTopology, TwoPackagesWithInterleavedSiblings) {
    // Two sockets of two cores with two threads each; Linux numbers the
    // first threads of every core before the second ones.
    FakeTree tree;
    tree.put("/sys/devices/system/cpu/online", "0-7\n");
    cpu(tree, 0, 0, 0, "0,4");
    cpu(tree, 1, 1, 0, "1,5");
    cpu(tree, 2, 0, 1, "2,6");
    cpu(tree, 3, 1, 1, "3,7");
    cpu(tree, 4, 0, 0, "0,4");
    cpu(tree, 5, 1, 0, "1,5");
    cpu(tree, 6, 0, 1, "2,6");
    cpu(tree, 7, 1, 1, "3,7");
    const os::Topology t = os::readLinuxTopology(tree.root());
    EXPECT_EQ(t.online, 8);
    EXPECT_EQ(t.physicalCores, 4) << "core ids repeat in each package";
    EXPECT_EQ(t.packages, 2);
    EXPECT_EQ(t.threadsPerCore, 2);
    EXPECT_EQ(t.find(6).describe(), "processor 6 (core 0, second thread; package 1)");
    EXPECT_EQ(t.onePerCore({0, 1, 2, 3, 4, 5, 6, 7}), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(t.onePerCore({7, 5, 3}), (std::vector<int>{3, 5}));
}

TEST(LinuxTopology, ANewerKernelsCoreCpusListServesAsWell) {
    FakeTree tree;
    tree.put("/sys/devices/system/cpu/online", "0-1\n");
    for (int id : {0, 1}) {
        const std::string dir = "/sys/devices/system/cpu/cpu" + std::to_string(id) + "/topology/";
        tree.put(dir + "core_id", "3\n");
        tree.put(dir + "physical_package_id", "0\n");
        tree.put(dir + "core_cpus_list", "0-1\n");
    }
    EXPECT_EQ(os::readLinuxTopology(tree.root()).find(1).describe(),
              "processor 1 (core 3, second thread; package 0)");
}

TEST(LinuxTopology, MissingFilesLeaveOnlyWhatIsKnown) {
    FakeTree none;
    const os::Topology empty = os::readLinuxTopology(none.root());
    EXPECT_EQ(empty.online, 0);
    EXPECT_EQ(empty.find(4).describe(), "processor 4");

    // A virtual machine that tells the processors but not their cores.
    FakeTree tree;
    tree.put("/sys/devices/system/cpu/online", "0-2\n");
    tree.put("/sys/devices/system/cpu/cpu1/topology/physical_package_id", "0\n");
    const os::Topology t = os::readLinuxTopology(tree.root());
    EXPECT_EQ(t.online, 3);
    EXPECT_EQ(t.physicalCores, 0);
    EXPECT_EQ(t.threadsPerCore, 0);
    EXPECT_EQ(t.packages, 0) << "not every processor tells its package";
    EXPECT_EQ(t.find(1).describe(), "processor 1 (package 0)");
    EXPECT_EQ(t.onePerCore({2, 0, 1}), (std::vector<int>{0, 1, 2}));
}

TEST(LiveTopology, TheAffinityIsAmongTheOnlineProcessorsAndPinningWorks) {
    const os::Topology t = os::systemTopology();
    const std::vector<int> usable = os::affinityProcessors();
    ASSERT_FALSE(usable.empty());
    for (int id : usable) EXPECT_EQ(t.find(id).id, id);
    // On a thread of its own: threads started later inherit a pinning.
    bool pinned = false;
    int ranOn = -1;
    std::thread([&] {
        pinned = os::pinThread(usable.back());
        ranOn = os::currentProcessor();
    }).join();
    EXPECT_TRUE(pinned);
    EXPECT_EQ(ranOn, usable.back());
}

}  // namespace
}  // namespace lumek
