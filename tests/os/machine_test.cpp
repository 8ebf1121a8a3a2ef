// The processor's and the system's names, read from fake /proc and /etc
// trees as x86 and ARM64 Linux lay them out.
#include "os/machine.h"

#include <gtest/gtest.h>

#include <string>

#include "support/files.h"

namespace lumek {
namespace {

using test::FakeTree;

// One processor's block of an ARM64 /proc/cpuinfo.
std::string armBlock(int id, const char* implementer, const char* part) {
    return "processor\t: " + std::to_string(id) +
           "\nBogoMIPS\t: 108.00\nFeatures\t: fp asimd evtstrm aes pmull sha1 sha2 crc32\n"
           "CPU implementer\t: " +
           implementer + "\nCPU architecture: 8\nCPU variant\t: 0x4\nCPU part\t: " + part +
           "\nCPU revision\t: 1\n\n";
}

TEST(ProcessorName, X86LinuxGivesVendorAndModelName) {
    FakeTree tree;
    tree.put("/proc/cpuinfo",
             "processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu family\t: 25\n"
             "model name\t: AMD Ryzen 9 7950X 16-Core Processor\ncpu MHz\t\t: 4500.000\n\n"
             "processor\t: 1\nvendor_id\t: AuthenticAMD\n"
             "model name\t: AMD Ryzen 9 7950X 16-Core Processor\n\n");
    const os::ProcessorName name = os::readLinuxProcessorName(tree.root());
    EXPECT_EQ(name.vendor, "AuthenticAMD");
    EXPECT_EQ(name.model, "AMD Ryzen 9 7950X 16-Core Processor");
}

TEST(ProcessorName, Arm64NamesItsCoresFromImplementerAndPart) {
    FakeTree tree;
    tree.put("/proc/cpuinfo", armBlock(0, "0x41", "0xd0c") + armBlock(1, "0x41", "0xd0c"));
    EXPECT_EQ(os::readLinuxProcessorName(tree.root()).model, "Neoverse-N1");
    EXPECT_EQ(os::readLinuxProcessorName(tree.root()).vendor, "ARM");

    // Big and little cores together, as in phones and boards.
    FakeTree mixed;
    std::string cpuinfo;
    for (int id = 0; id < 4; ++id) cpuinfo += armBlock(id, "0x41", "0xd05");
    for (int id = 4; id < 6; ++id) cpuinfo += armBlock(id, "0x41", "0xd0b");
    mixed.put("/proc/cpuinfo", cpuinfo);
    EXPECT_EQ(os::readLinuxProcessorName(mixed.root()).model, "4 x Cortex-A55 + 2 x Cortex-A76");

    // A maker's own core that the table does not know is named by its numbers.
    FakeTree own;
    own.put("/proc/cpuinfo", armBlock(0, "0x51", "0x804"));
    EXPECT_EQ(os::readLinuxProcessorName(own.root()).vendor, "Qualcomm");
    EXPECT_EQ(os::readLinuxProcessorName(own.root()).model, "Qualcomm part 0x804");
}

TEST(ProcessorName, WithoutCpuinfoFieldsEachProcessorsMidrServes) {
    FakeTree tree;
    tree.put("/proc/cpuinfo", "processor\t: 0\nBogoMIPS\t: 50.00\n\n");
    // MIDR_EL1 0x413fd0c1: implementer 0x41, part 0xd0c.
    tree.put("/sys/devices/system/cpu/cpu0/regs/identification/midr_el1", "0x00000000413fd0c1\n");
    tree.put("/sys/devices/system/cpu/cpu1/regs/identification/midr_el1", "0x00000000413fd0c1\n");
    const os::ProcessorName name = os::readLinuxProcessorName(tree.root());
    EXPECT_EQ(name.vendor, "ARM");
    EXPECT_EQ(name.model, "Neoverse-N1");
}

TEST(ProcessorName, NothingToldIsNothingGuessed) {
    FakeTree tree;
    const os::ProcessorName name = os::readLinuxProcessorName(tree.root());
    EXPECT_TRUE(name.vendor.empty());
    EXPECT_TRUE(name.model.empty());
}

TEST(Distribution, PrettyNameWithOrWithoutQuotes) {
    FakeTree tree;
    tree.put("/etc/os-release",
             "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
             "(bookworm)\"\nID=debian\n");
    EXPECT_EQ(os::readLinuxDistribution(tree.root()), "Debian GNU/Linux 12 (bookworm)");

    FakeTree usr;
    usr.put("/usr/lib/os-release", "PRETTY_NAME=Alpine\n");
    EXPECT_EQ(os::readLinuxDistribution(usr.root()), "Alpine");

    FakeTree none;
    EXPECT_EQ(os::readLinuxDistribution(none.root()), "");
}

TEST(MachineText, BytesThatAreNoUtf8BecomeReplacementCharactersBeforeTheyAreKept) {
    const std::string replacement = "\xef\xbf\xbd";
    FakeTree tree;
    tree.put("/etc/os-release", "NAME=Debian\nPRETTY_NAME=\"Debian \xff\xfe bookworm\"\n");
    tree.put("/proc/cpuinfo",
             "processor\t: 0\nvendor_id\t: Genuine\x80\nmodel name\t: Fast CPU \xc3\n\n");
    EXPECT_EQ(os::readLinuxDistribution(tree.root()),
              "Debian " + replacement + replacement + " bookworm");
    const os::ProcessorName name = os::readLinuxProcessorName(tree.root());
    EXPECT_EQ(name.vendor, "Genuine" + replacement);
    EXPECT_EQ(name.model, "Fast CPU " + replacement) << "a sequence cut by the line's end";

    // Well-formed text of every length is kept; each ill-formed sequence
    // is one replacement character.
    EXPECT_EQ(os::validUtf8("A \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"),
              "A \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80");
    EXPECT_EQ(os::validUtf8("\xc0\xaf"), replacement + replacement) << "overlong";
    EXPECT_EQ(os::validUtf8("\xed\xa0\x80"), replacement + replacement + replacement)
        << "a surrogate";
    EXPECT_EQ(os::validUtf8("\xf4\x90\x80\x80"), replacement + replacement + replacement + replacement)
        << "beyond U+10FFFF";
    EXPECT_EQ(os::validUtf8("\xe2\x82x"), replacement + "x") << "cut short";
    EXPECT_EQ(os::validUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(LiveMachine, TellsAtLeastItsProcessorsAndSystem) {
    const os::MachineInfo m = os::describeMachine();
    EXPECT_GE(m.logicalOnline, 1);
    EXPECT_GE(m.logicalUsable, 1);
    EXPECT_LE(m.logicalUsable, m.logicalOnline);
    EXPECT_FALSE(m.system.name.empty());
    EXPECT_FALSE(m.system.version.empty());
#if defined(__x86_64__)
    EXPECT_FALSE(m.processor.vendor.empty()) << "CPUID always names its maker";
#endif
}

}  // namespace
}  // namespace lumek
