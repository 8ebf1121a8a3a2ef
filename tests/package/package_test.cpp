// The packages ./build.sh package makes: the Debian package names what the
// program needs and its program writes a golden picture; the Windows zip
// holds the program and the README.
#include <gtest/gtest.h>

#include <string>

#include "support/files.h"
#include "support/golden.h"
#include "support/sha256.h"

namespace lumek {
namespace {

using test::shellQuote;

TEST(DebianPackage, DependsOnSdl2AndTheCppRuntime) {
    test::TempDir dir;
    const test::ProcessResult info =
        test::runCommand("dpkg-deb --info " + shellQuote(LUMEK_DEB), dir.path());
    ASSERT_EQ(info.status, 0) << info.err;
    const size_t depends = info.out.find(" Depends: ");
    ASSERT_NE(depends, std::string::npos) << info.out;
    const std::string line = info.out.substr(depends, info.out.find('\n', depends) - depends);
    EXPECT_NE(line.find("libsdl2-2.0-0"), std::string::npos) << line;
    EXPECT_NE(line.find("libstdc++6"), std::string::npos) << line;
    EXPECT_NE(line.find("libc6"), std::string::npos) << line;
    EXPECT_NE(info.out.find(" Version: " LUMEK_VERSION), std::string::npos) << info.out;
}

TEST(DebianPackage, ItsProgramWritesAGoldenPicture) {
    test::TempDir dir;
    ASSERT_EQ(test::runCommand("dpkg-deb -x " + shellQuote(LUMEK_DEB) + " root", dir.path()).status,
              0);
    EXPECT_FALSE(test::readFile(dir.file("root/usr/share/doc/lumek/README.md")).empty());
    const test::ProcessResult run =
        test::runCommand("root/usr/bin/lumek -shot1 && root/usr/bin/lumek --version", dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Lumeklogo.raw  2359296 bytes\nlumek " LUMEK_VERSION "\n");
    // The first picture of a run: the first golden one.
    EXPECT_EQ(test::sha256Hex(test::readFile(dir.file("Lumeklogo.raw"))),
              test::kGoldenShots[0].second);
}

TEST(WindowsZip, HoldsTheProgramAndTheReadme) {
    test::TempDir dir;
    const test::ProcessResult list =
        test::runCommand("unzip -Z1 " + shellQuote(LUMEK_WINDOWS_ZIP), dir.path());
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("lumek.exe\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("README.md\n"), std::string::npos) << list.out;
}

}  // namespace
}  // namespace lumek
