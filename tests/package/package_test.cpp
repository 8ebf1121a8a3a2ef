// What ./build.sh package makes, and what cmake --install lays out, as a
// distribution and a user see it: the Debian package's files, what lintian,
// the desktop validators and man say of them, its program's pictures; the
// Windows zip's files and its program's icon and version; the install tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "packaging/icons.h"
#include "support/files.h"
#include "support/golden.h"
#include "support/png_decode.h"
#include "support/sha256.h"

namespace lumek {
namespace {

using test::runCommand;
using test::shellQuote;
using test::TempDir;

const std::string kId = LUMEK_APP_ID;

// The files below `root` (folders left out), relative to it; a symbolic link
// as "path -> target".
std::set<std::string> listTree(const std::string& root) {
    namespace fs = std::filesystem;
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string path = entry.path().lexically_relative(root).string();
        if (entry.is_symlink())
            files.insert(path + " -> " + fs::read_symlink(entry.path()).string());
        else if (!entry.is_directory())
            files.insert(path);
    }
    return files;
}

// What an install under /usr holds. Debian compresses the manual page and
// the documents, adds its changelog and copyright file, and leaves out the
// licence (it is in the copyright file).
std::set<std::string> expectedFiles(bool debian) {
    const std::string z = debian ? ".gz" : "";
    std::set<std::string> files = {
        "usr/bin/lumek",
        "usr/bin/lumek-show",
        "usr/share/applications/" + kId + ".desktop",
        "usr/share/metainfo/" + kId + ".metainfo.xml",
        "usr/share/man/man1/lumek.1" + z,
        "usr/share/man/man1/lumek-show.1" + z + " -> lumek.1" + z,
        "usr/share/doc/lumek/README.md" + z,
        "usr/share/doc/lumek/THIRD-PARTY-NOTICES" + z,
    };
    for (int size : kIconSizes) {
        const std::string edge = std::to_string(size);
        files.insert("usr/share/icons/hicolor/" + edge + "x" + edge + "/apps/" + kId + ".png");
    }
    if (debian) {
        files.insert("usr/share/doc/lumek/changelog.gz");
        files.insert("usr/share/doc/lumek/copyright");
    } else {
        files.insert("usr/share/doc/lumek/LICENSE");
    }
    return files;
}

// Unpacks the Debian package into dir/root and gives that folder.
std::string unpackDeb(const TempDir& dir) {
    const test::ProcessResult r =
        runCommand("dpkg-deb -x " + shellQuote(LUMEK_DEB) + " root", dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    return dir.file("root");
}

// Every icon in the hicolor folders is a PNG picture of the size its folder
// names, and each shows the logo: the blue triangles and the orange disc.
void expectIconsOfTheirSizes(const std::string& root) {
    namespace fs = std::filesystem;
    int icons = 0;
    for (const auto& folder : fs::directory_iterator(root + "/usr/share/icons/hicolor")) {
        const std::string name = folder.path().filename().string();
        const int edge = std::stoi(name);
        ASSERT_EQ(name, std::to_string(edge) + "x" + std::to_string(edge));
        const test::PngPixels png =
            test::decodePng(test::readFile(folder.path().string() + "/apps/" + kId + ".png"));
        EXPECT_EQ(png.width, edge) << name;
        EXPECT_EQ(png.height, edge) << name;
        int blue = 0, orange = 0;
        for (size_t i = 0; i + 2 < png.rgb.size(); i += 3) {
            const int r = static_cast<uint8_t>(png.rgb[i]),
                      g = static_cast<uint8_t>(png.rgb[i + 1]),
                      b = static_cast<uint8_t>(png.rgb[i + 2]);
            blue += b > r + 40 && b > g;
            orange += r > b + 100 && g > b + 60;
        }
        EXPECT_GT(blue, png.width * png.height / 50) << name;
        EXPECT_GT(orange, png.width * png.height / 10) << name;
        ++icons;
    }
    EXPECT_EQ(icons, static_cast<int>(std::size(kIconSizes)));
}

// The switches a text names: "-" or "--" and a lower-case word with digits,
// not inside another word ("-t1..-t5" names -t1 and -t5).
std::set<std::string> switchesIn(const std::string& text) {
    std::set<std::string> found;
    auto word = [](char c) {
        return std::islower(static_cast<unsigned char>(c)) ||
               std::isdigit(static_cast<unsigned char>(c));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '-') continue;
        if (i > 0 && (std::isalnum(static_cast<unsigned char>(text[i - 1])) || text[i - 1] == '-'))
            continue;
        size_t end = i + 1;
        if (end < text.size() && text[end] == '-') ++end;
        if (end >= text.size() || !std::islower(static_cast<unsigned char>(text[end]))) continue;
        while (end < text.size() && word(text[end])) ++end;
        found.insert(text.substr(i, end - i));
        i = end - 1;
    }
    return found;
}

TEST(DebianPackage, DependsOnSdl2AndTheCppRuntime) {
    TempDir dir;
    const test::ProcessResult info =
        runCommand("dpkg-deb --info " + shellQuote(LUMEK_DEB), dir.path());
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
    TempDir dir;
    unpackDeb(dir);
    const test::ProcessResult run =
        runCommand("root/usr/bin/lumek -shot1 && root/usr/bin/lumek --version", dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Lumeklogo.raw  2359296 bytes\nlumek " LUMEK_VERSION "\n");
    // The first picture of a run: the first golden one. The package is
    // built with Debian's compiler flags, not the project's.
    EXPECT_EQ(test::sha256Hex(test::readFile(dir.file("Lumeklogo.raw"))),
              test::kGoldenShots[0].second);
}

TEST(DebianPackage, HoldsTheProgramsTheirDocumentsAndTheDesktopFiles) {
    TempDir dir;
    const std::set<std::string> files = listTree(unpackDeb(dir));
    EXPECT_EQ(files, expectedFiles(true));
    expectIconsOfTheirSizes(dir.file("root"));
}

TEST(DebianPackage, LintianReportsNoErrorAndNoWarning) {
    TempDir dir;
    const test::ProcessResult r = runCommand(
        "lintian --fail-on error,warning --display-info --color never " + shellQuote(LUMEK_DEB),
        dir.path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (const char* level : {"E: ", "W: "}) {
        EXPECT_NE(r.out.rfind(level, 0), 0u) << r.out;
        EXPECT_EQ(r.out.find(std::string("\n") + level), std::string::npos) << r.out;
    }
}

// Debian's machine-readable format: the source's licence and the two that
// come with code compiled in, each with its text.
TEST(DebianPackage, CopyrightNamesEveryLicenceWithItsText) {
    TempDir dir;
    const std::string copyright = test::readFile(unpackDeb(dir) + "/usr/share/doc/lumek/copyright");
    EXPECT_EQ(
        copyright.rfind(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n", 0),
        0u);
    for (const char* licence : {"Expat", "BSD-2-clause", "Expat or public-domain"}) {
        const size_t at = copyright.find(std::string("\n\nLicense: ") + licence + "\n");
        ASSERT_NE(at, std::string::npos) << licence;
        const size_t text = copyright.find('\n', at + 2) + 1;
        EXPECT_GT(copyright.find("\n\n", text) - text, 500u) << licence;
    }
    EXPECT_NE(copyright.find("Files: *\nCopyright: 2026 Lumek developers\nLicense: Expat\n"),
              std::string::npos);
}

TEST(DesktopEntry, ValidatesAndStartsTheShowUnderTheIconsName) {
    TempDir dir;
    const std::string root = unpackDeb(dir);
    const std::string entry = root + "/usr/share/applications/" + kId + ".desktop";
    const test::ProcessResult r =
        runCommand("desktop-file-validate " + shellQuote(entry), dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out + r.err, "");
    const std::string text = test::readFile(entry);
    EXPECT_NE(text.find("\nExec=lumek-show\n"), std::string::npos) << text;
    EXPECT_TRUE(std::filesystem::exists(root + "/usr/bin/lumek-show"));
    EXPECT_NE(text.find("\nIcon=" + kId + "\n"), std::string::npos) << text;
    // Docks match the show's window to the entry by its X11 class, which
    // SDL2 takes from the program's name.
    EXPECT_NE(text.find("\nStartupWMClass=lumek-show\n"), std::string::npos) << text;
}

TEST(AppStream, MetadataValidatesAndNamesTheEntryAndThisRelease) {
    TempDir dir;
    const std::string file = unpackDeb(dir) + "/usr/share/metainfo/" + kId + ".metainfo.xml";
    // Without the network: the screenshot's address is a placeholder.
    const test::ProcessResult r =
        runCommand("appstreamcli validate --no-net --pedantic " + shellQuote(file), dir.path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (const char* level : {"E: ", "W: ", "P: "})
        EXPECT_EQ(r.out.find(level), std::string::npos) << r.out;
    const std::string xml = test::readFile(file);
    EXPECT_NE(xml.find("<id>" + kId + "</id>"), std::string::npos);
    EXPECT_NE(xml.find("<launchable type=\"desktop-id\">" + kId + ".desktop</launchable>"),
              std::string::npos);
    // The newest release comes first.
    const size_t release = xml.find("<release ");
    ASSERT_NE(release, std::string::npos);
    const std::string newest = "<release version=\"" LUMEK_VERSION "\"";
    EXPECT_EQ(xml.compare(release, newest.size(), newest), 0) << xml.substr(release, 60);
    EXPECT_NE(xml.find("<caption>"), std::string::npos);
}

TEST(ManualPage, NamesEverySwitchThatHelpLists) {
    TempDir dir;
    const std::string root = unpackDeb(dir);
    const test::ProcessResult help = runCommand("root/usr/bin/lumek --help", dir.path());
    ASSERT_EQ(help.status, 0);
    const std::set<std::string> listed = switchesIn(help.out);
    ASSERT_GT(listed.size(), 15u) << help.out;
    // As plain text, on lines long enough not to break a switch.
    const test::ProcessResult page = runCommand(
        "zcat root/usr/share/man/man1/lumek.1.gz | groff -man -Tascii -rHY=0 -rLL=250n -P-cbou",
        dir.path());
    ASSERT_EQ(page.status, 0) << page.err;
    const std::set<std::string> named = switchesIn(page.out);
    for (const std::string& s : listed) EXPECT_EQ(named.count(s), 1u) << s << " is not in lumek(1)";
}

TEST(ManualPage, RendersWithoutWarningsForBothPrograms) {
    TempDir dir;
    const std::string root = unpackDeb(dir);
    for (const char* page : {"lumek.1.gz", "lumek-show.1.gz"}) {
        // As lintian checks pages: every warning groff and man know.
        const test::ProcessResult r =
            runCommand("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z " +
                           shellQuote(root + "/usr/share/man/man1/" + page) + " >/dev/null",
                       dir.path());
        EXPECT_EQ(r.status, 0) << page;
        EXPECT_EQ(r.err, "") << page;
    }
    const test::ProcessResult text =
        runCommand("MANWIDTH=80 man -l root/usr/share/man/man1/lumek-show.1.gz", dir.path());
    EXPECT_NE(text.out.find("lumek, lumek-show - real-time two-dimensional lighting renderer"),
              std::string::npos)
        << text.out;
}

TEST(InstallTree, CmakeInstallLaysOutTheProgramsDocumentsAndDesktopFiles) {
    TempDir dir;
    const test::ProcessResult r =
        runCommand("DESTDIR=" + shellQuote(dir.file("root")) + " cmake --install " +
                       shellQuote(LUMEK_BUILD_DIR) + " --prefix /usr",
                   dir.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    std::set<std::string> expected = expectedFiles(false);
#ifdef LUMEK_INSTALL_LIBDIR
    // The renderer as a library, beside the program.
    const std::string lib = std::string("usr/") + LUMEK_INSTALL_LIBDIR + "/";
    const std::string version = LUMEK_VERSION;
    for (const std::string& file :
         {std::string("usr/include/lumek/lumek.h"), std::string("usr/include/lumek/lumek.hpp"),
          lib + "liblumek.a",
          lib + "liblumek.so -> liblumek.so.1", lib + "liblumek.so.1 -> liblumek.so." + version,
          lib + "liblumek.so." + version, lib + "pkgconfig/lumek.pc",
          lib + "cmake/Lumek/LumekConfig.cmake", lib + "cmake/Lumek/LumekConfigVersion.cmake",
          lib + "cmake/Lumek/LumekTargets.cmake",
          lib + "cmake/Lumek/LumekTargets-" + LUMEK_BUILD_TYPE + ".cmake"})
        expected.insert(file);
#endif
    EXPECT_EQ(listTree(dir.file("root")), expected);
    expectIconsOfTheirSizes(dir.file("root"));
    EXPECT_EQ(
        test::readFile(dir.file("root/usr/share/doc/lumek/LICENSE")).rfind("MIT License\n", 0), 0u);
}

TEST(WindowsZip, HoldsTheProgramTheReadmeTheLicenceAndTheNotices) {
    TempDir dir;
    const test::ProcessResult list =
        runCommand("unzip -Z1 " + shellQuote(LUMEK_WINDOWS_ZIP), dir.path());
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "lumek.exe\nREADME.md\nLICENSE\nTHIRD-PARTY-NOTICES\n");
    ASSERT_EQ(runCommand("unzip -q " + shellQuote(LUMEK_WINDOWS_ZIP), dir.path()).status, 0);
    EXPECT_EQ(test::readFile(dir.file("LICENSE")).rfind("MIT License\n", 0), 0u);
    // The notices name what the Windows program is linked with.
    const std::string notices = test::readFile(dir.file("THIRD-PARTY-NOTICES"));
    for (const char* part : {"stb_image_write", "xxHash", "nlohmann/json", "mingw-w64-crt",
                             "winpthreads", "libstdc++"})
        EXPECT_NE(notices.find(part), std::string::npos) << part;
}

// The resource tool's raw version block: VS_FIXEDFILEINFO's numbers, and
// the UTF-16 strings read as ASCII.
TEST(WindowsProgram, VersionResourceReadsBackTheProjectsVersion) {
    TempDir dir;
    ASSERT_EQ(
        runCommand("unzip -q " + shellQuote(LUMEK_WINDOWS_ZIP) + " lumek.exe", dir.path()).status,
        0);
    const test::ProcessResult r = runCommand("wrestool -x --raw --type=16 lumek.exe", dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& block = r.out;
    const size_t fixed = block.find(std::string("\xbd\x04\xef\xfe", 4));
    ASSERT_NE(fixed, std::string::npos);
    auto word = [&](size_t at) {
        return static_cast<uint8_t>(block.at(at)) | static_cast<uint8_t>(block.at(at + 1)) << 8;
    };
    // File and product version: major, minor in the first 32 bits, patch,
    // build in the second.
    for (size_t at : {fixed + 8, fixed + 16}) {
        const std::string version = std::to_string(word(at + 2)) + "." + std::to_string(word(at)) +
                                    "." + std::to_string(word(at + 6)) + "." +
                                    std::to_string(word(at + 4));
        EXPECT_EQ(version, LUMEK_VERSION ".0");
    }
    // Each string ends at a character that is not printable ASCII, so the
    // structures' lengths between them never join a string.
    std::vector<std::string> strings(1);
    for (size_t i = 0; i + 1 < block.size(); i += 2) {
        if (block[i + 1] == '\0' && std::isprint(static_cast<unsigned char>(block[i])))
            strings.back() += block[i];
        else if (!strings.back().empty())
            strings.emplace_back();
    }
    for (const char* key : {"FileVersion", "ProductVersion"}) {
        const auto at = std::find(strings.begin(), strings.end(), key);
        ASSERT_NE(at, strings.end()) << key;
        ASSERT_NE(at + 1, strings.end()) << key;
        EXPECT_EQ(at[1], LUMEK_VERSION) << key;
    }
    EXPECT_NE(std::find(strings.begin(), strings.end(), "lumek.exe"), strings.end());
}

TEST(WindowsProgram, IconHoldsEverySize) {
    TempDir dir;
    ASSERT_EQ(
        runCommand("unzip -q " + shellQuote(LUMEK_WINDOWS_ZIP) + " lumek.exe", dir.path()).status,
        0);
    const test::ProcessResult r = runCommand(
        "wrestool -x --type=14 lumek.exe >lumek.ico && icotool -l lumek.ico", dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    for (int size : kIconSizes) {
        const std::string edge = std::to_string(size);
        EXPECT_NE(r.out.find("--width=" + edge + " --height=" + edge + " --bit-depth=32"),
                  std::string::npos)
            << r.out;
    }
}

}  // namespace
}  // namespace lumek
