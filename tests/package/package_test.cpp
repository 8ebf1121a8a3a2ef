// What ./build.sh package makes, and what cmake --install lays out, as a
// distribution and a user see it: the Debian package's files, what lintian,
// the desktop validators and man say of them, its program's pictures; the
// Windows zip's files and its program's icon and version; the install tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <initializer_list>
#include <map>
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
    for (const char* licence : {"Expat", "BSD-2-clause", "Expat or public-domain", "BSD-3-clause"}) {
        const size_t at = copyright.find(std::string("\n\nLicense: ") + licence + "\n");
        ASSERT_NE(at, std::string::npos) << licence;
        const size_t text = copyright.find('\n', at + 2) + 1;
        EXPECT_GT(copyright.find("\n\n", text) - text, 500u) << licence;
    }
    EXPECT_NE(copyright.find("Files: *\nCopyright: 2026 Lumek developers\nLicense: Expat\n"),
              std::string::npos);
}

// The library's packages beside the program's: the shared library, what a
// program is built with, and the Python module.
const char* const kLibraryPackages[] = {"liblumek1", "liblumek-dev", "python3-lumek"};

std::string debFile(const std::string& package) {
    return std::string(LUMEK_PACKAGE_DIR) + "/" + package + "_" LUMEK_VERSION "_" LUMEK_DEB_ARCH
                                                              ".deb";
}

// Unpacks the named packages into one tree, dir/root, and gives that folder.
std::string unpackDebs(const TempDir& dir, std::initializer_list<std::string> packages) {
    for (const std::string& package : packages) {
        const test::ProcessResult r =
            runCommand("dpkg-deb -x " + shellQuote(debFile(package)) + " root", dir.path());
        EXPECT_EQ(r.status, 0) << package << ": " << r.err;
    }
    return dir.file("root");
}

// A control field of a package, without its name ("" when it has none).
std::string controlField(const std::string& package, const std::string& field) {
    TempDir dir;
    const test::ProcessResult r =
        runCommand("dpkg-deb --field " + shellQuote(debFile(package)) + " " + field, dir.path());
    EXPECT_EQ(r.status, 0) << package << ": " << r.err;
    std::string value = r.out;
    while (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
}

TEST(DebianLibraryPackages, EachHoldsItsFilesInTheMultiarchAndPythonFolders) {
    const std::string lib = "usr/lib/" LUMEK_DEB_MULTIARCH "/";
    const std::string version = LUMEK_VERSION;
    TempDir python;
    const test::ProcessResult suffix = runCommand(
        "/usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_config_var(\"EXT_SUFFIX\"))'",
        python.path());
    ASSERT_EQ(suffix.status, 0) << suffix.err;
    const std::string module = "lumek" + suffix.out.substr(0, suffix.out.find('\n'));
    const std::map<std::string, std::set<std::string>> contents = {
        {"liblumek1",
         {lib + "liblumek.so.1 -> liblumek.so." + version, lib + "liblumek.so." + version}},
        {"liblumek-dev",
         {"usr/include/lumek/lumek.h", "usr/include/lumek/lumek.hpp", lib + "liblumek.a",
          lib + "liblumek.so -> liblumek.so.1", lib + "pkgconfig/lumek.pc",
          lib + "cmake/Lumek/LumekConfig.cmake", lib + "cmake/Lumek/LumekConfigVersion.cmake",
          lib + "cmake/Lumek/LumekTargets.cmake", lib + "cmake/Lumek/LumekTargets-none.cmake"}},
        {"python3-lumek", {"usr/lib/python3/dist-packages/" + module}},
    };
    for (const auto& [package, files] : contents) {
        TempDir dir;
        std::set<std::string> expected = files;
        expected.insert("usr/share/doc/" + package + "/changelog.gz");
        expected.insert("usr/share/doc/" + package + "/copyright");
        EXPECT_EQ(listTree(unpackDebs(dir, {package})), expected) << package;
    }
}

TEST(DebianLibraryPackages, ControlFieldsTieThemTogether) {
    EXPECT_EQ(controlField("liblumek1", "Section"), "libs");
    EXPECT_EQ(controlField("liblumek-dev", "Section"), "libdevel");
    EXPECT_EQ(controlField("python3-lumek", "Section"), "python");
    // Installable for several architectures at once; the module is not.
    EXPECT_EQ(controlField("liblumek1", "Multi-Arch"), "same");
    EXPECT_EQ(controlField("liblumek-dev", "Multi-Arch"), "same");
    const std::string library = controlField("liblumek1", "Depends");
    for (const char* runtime : {"libc6", "libstdc++6", "libgcc-s1"})
        EXPECT_NE(library.find(runtime), std::string::npos) << library;
    EXPECT_NE(controlField("liblumek-dev", "Depends").find("liblumek1 (= " LUMEK_VERSION ")"),
              std::string::npos);
    const std::string python = controlField("python3-lumek", "Depends");
    for (const char* needed : {"python3-numpy", "python3 (>= 3.", "libstdc++6"})
        EXPECT_NE(python.find(needed), std::string::npos) << python;
    // The module holds the renderer itself.
    EXPECT_EQ(python.find("liblumek1"), std::string::npos) << python;
    for (const char* package : kLibraryPackages)
        EXPECT_EQ(controlField(package, "Version"), LUMEK_VERSION) << package;
}

// Every symbol the packaged library exports is in the symbols file, with
// the version that brought it, and nothing else is.
TEST(DebianLibraryPackages, SymbolsFileListsExactlyTheExportedSymbols) {
    TempDir dir;
    const std::string root = unpackDebs(dir, {"liblumek1"});
    const test::ProcessResult control = runCommand(
        "dpkg-deb --ctrl-tarfile " + shellQuote(debFile("liblumek1")) + " | tar -xO ./symbols",
        dir.path());
    ASSERT_EQ(control.status, 0) << control.err;
    ASSERT_EQ(control.out.rfind("liblumek.so.1 liblumek1 #MINVER#\n", 0), 0u) << control.out;
    std::set<std::string> listed;
    size_t line = 0;
    while ((line = control.out.find("\n ", line)) != std::string::npos) {
        line += 2;
        const std::string entry = control.out.substr(line, control.out.find('\n', line) - line);
        const size_t space = entry.find(' ');
        ASSERT_NE(space, std::string::npos) << entry;
        listed.insert(entry.substr(0, space));
    }
    const test::ProcessResult nm = runCommand(
        "nm -D --defined-only " + shellQuote(root + "/usr/lib/" LUMEK_DEB_MULTIARCH "/liblumek.so.1"),
        dir.path());
    ASSERT_EQ(nm.status, 0) << nm.err;
    std::set<std::string> exported;
    size_t start = 0;
    while (start < nm.out.size()) {
        const size_t end = nm.out.find('\n', start);
        std::string name = nm.out.substr(start, end - start);
        start = end == std::string::npos ? nm.out.size() : end + 1;
        name = name.substr(name.rfind(' ') + 1);
        const size_t at = name.find("@@");
        if (at != std::string::npos) name.erase(at, 1);
        else name += "@" + name;  // the version node itself
        exported.insert(name);
    }
    EXPECT_EQ(listed, exported);
    EXPECT_EQ(listed.count("lumek_render_frame@LUMEK_1"), 1u);
}

// Together they are what a user gets from the archive: lintian has nothing
// to say about them, not even for information.
TEST(DebianLibraryPackages, LintianReportsNoTagAtAll) {
    TempDir dir;
    std::string files = shellQuote(LUMEK_DEB);
    for (const char* package : kLibraryPackages) {
        files += ' ';
        files += shellQuote(debFile(package));
    }
    const test::ProcessResult r = runCommand(
        "lintian --fail-on error,warning,info --display-info --color never " + files, dir.path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");
}

// A C program built against the unpacked packages, found through the CMake
// package and through pkg-config, and the Python module, render a scene with
// the packaged program's bytes.
TEST(DebianLibraryPackages, ProgramsAndPythonRenderTheCommandLinesBytes) {
    TempDir dir;
    const std::string root = unpackDebs(dir, {"lumek", "liblumek1", "liblumek-dev", "python3-lumek"});
    const std::string libdir = root + "/usr/lib/" LUMEK_DEB_MULTIARCH;
    const std::string scene = shellQuote(std::string(LUMEK_SOURCE_DIR) + "/examples/orbit.json");
    const std::string examples = shellQuote(std::string(LUMEK_SOURCE_DIR) + "/examples");
    const std::string env = "LD_LIBRARY_PATH=" + shellQuote(libdir) + " ";
    // Frame 45 at 30 a second is the moment 1.5.
    const test::ProcessResult cli = runCommand(
        "root/usr/bin/lumek --scene " + scene + " -shot --size 100x57 --time 1.5 --output cli",
        dir.path());
    ASSERT_EQ(cli.status, 0) << cli.out << cli.err;
    const std::string want = test::readFile(dir.file("cli.raw"));
    ASSERT_EQ(want.size(), 100u * 57u * 3u);

    const test::ProcessResult cmake = runCommand(
        "cmake -S " + examples + " -B cmake-build -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=" +
            shellQuote(root + "/usr") + " && cmake --build cmake-build --target render_scene_c && " +
            env + "cmake-build/render_scene_c " + scene + " cmake.rgb 100 57 45",
        dir.path());
    ASSERT_EQ(cmake.status, 0) << cmake.out << cmake.err;
    EXPECT_TRUE(test::readFile(dir.file("cmake.rgb")) == want) << "C program (CMake package)";
    // The package's own configuration file, not one elsewhere on the system.
    const std::string cache = test::readFile(dir.file("cmake-build/CMakeCache.txt"));
    EXPECT_NE(cache.find("Lumek_DIR:PATH=" + libdir + "/cmake/Lumek"), std::string::npos);

    const test::ProcessResult pc = runCommand(
        "PKG_CONFIG_PATH=" + shellQuote(libdir + "/pkgconfig") +
            " cc -std=c99 -I/usr/include/stb -o render_pc " + examples +
            "/render_scene.c $(PKG_CONFIG_PATH=" + shellQuote(libdir + "/pkgconfig") +
            " pkg-config --cflags --libs lumek) && " + env + "./render_pc " + scene +
            " pc.rgb 100 57 45 && " + env + "ldd ./render_pc",
        dir.path());
    ASSERT_EQ(pc.status, 0) << pc.out << pc.err;
    EXPECT_TRUE(test::readFile(dir.file("pc.rgb")) == want) << "C program (pkg-config)";
    EXPECT_NE(pc.out.find("liblumek.so.1 => " + libdir + "/liblumek.so.1"), std::string::npos)
        << pc.out;

    // Debian's own interpreter, the one the package is built for, whatever
    // else is first on the path.
    const test::ProcessResult py = runCommand(
        "PYTHONPATH=" + shellQuote(root + "/usr/lib/python3/dist-packages") +
            " /usr/bin/python3 -c 'import sys, lumek\n"
            "sys.stderr.write(lumek.__file__)\n"
            "a = lumek.Scene.from_file(sys.argv[1]).render(100, 57, frame=45)\n"
            "sys.stdout.buffer.write(a.tobytes())' " +
            scene,
        dir.path());
    ASSERT_EQ(py.status, 0) << py.err;
    EXPECT_EQ(py.err.rfind(root + "/usr/lib/python3/dist-packages/lumek", 0), 0u) << py.err;
    EXPECT_TRUE(py.out == want) << "Python module";
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
