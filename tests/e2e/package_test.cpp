// What an installation and the .deb hold, and that the program runs from
// them: the install tree from `cmake --install`, the package from CPack,
// unpacked with dpkg-deb into a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "tests/e2e/run_command.h"
#include "tests/support/command.h"
#include "tests/support/temp_folder.h"

using namespace sgtest;
namespace fs = std::filesystem;

namespace {

std::set<std::string> Lines(const std::string& text)
{
    std::set<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.insert(line);
    return lines;
}

// The files and links of a tree, relative to its root.
std::set<std::string> FilesUnder(const std::string& root)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_directory() || entry.is_symlink())
            names.insert(entry.path().lexically_relative(root).string());
    }
    return names;
}

// --version and one conversion with no display, by the program in prefix.
void ExpectRunsFrom(const std::string& prefix)
{
    std::string program = prefix + "/bin/stereoglass";
    TempFolder work("sg-pkg-run");
    fs::copy_file(std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps", work / "Figure.JPS");
    std::vector<std::string> environment = {"HOME=" + work.path, "XDG_CONFIG_HOME=" + work.path, "LD_LIBRARY_PATH"};
    CommandRun version = RunCommand({program, "--version"}, work.path, environment);
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out.rfind("stereoglass 1.", 0), 0u) << version.out;
    // The conversion copies the picture's EXIF, and so loads the metadata
    // library, with Exiv2 under it, from beside the program.
    std::vector<std::string> windowRun = environment;
    windowRun.push_back("LD_DEBUG=files");
    CommandRun convert = RunCommand({program, "-c", "Figure.JPS"}, work.path, windowRun);
    EXPECT_EQ(convert.exitCode, 0) << convert.err;
    EXPECT_EQ(convert.out, "Figure.JPS -> figure_anaglyph.jpg\n");
    EXPECT_TRUE(fs::exists(work / "figure_anaglyph.jpg"));
    EXPECT_NE(convert.err.find("needed by " + prefix + "/bin/../lib/stereoglass/libstereoglass-metadata.so"), std::string::npos) << convert.err;
    EXPECT_EQ(convert.err.find("metadata library cannot be loaded"), std::string::npos) << convert.err;
    // A run that needs a window loads the desktop library from beside the
    // program (here it then finds no display).
    CommandRun show = RunCommand({program, "Figure.JPS"}, work.path, windowRun);
    EXPECT_NE(show.err.find("needed by " + prefix + "/bin/../lib/stereoglass/libstereoglass-desktop.so"), std::string::npos) << show.err;
    EXPECT_EQ(show.err.find("desktop library cannot be loaded"), std::string::npos) << show.err;
    // So does the alignment load the matching, with OpenCV under it.
    CommandRun align = RunCommand({program, "-c", "--align", "Figure.JPS"}, work.path, windowRun);
    EXPECT_EQ(align.exitCode, 0) << align.err;
    EXPECT_NE(align.err.find("needed by " + prefix + "/bin/../lib/stereoglass/libstereoglass-measure.so"), std::string::npos) << align.err;
    EXPECT_EQ(align.err.find("measuring library cannot be loaded"), std::string::npos) << align.err;
}

// What each package installs, relative to the prefix.
const std::map<std::string, std::set<std::string>> kPackages = {
    {"stereoglass",
     {"bin/stereoglass", "lib/stereoglass/libstereoglass-desktop.so", "lib/stereoglass/libstereoglass-measure.so",
      "lib/stereoglass/libstereoglass-metadata.so", "share/applications/stereoglass.desktop", "share/icons/hicolor/scalable/apps/stereoglass.svg",
      "share/man/man1/stereoglass.1.gz", "share/mime/packages/stereoglass.xml", "share/doc/stereoglass/copyright",
      "share/doc/stereoglass/changelog.gz", "share/thumbnailers/stereoglass.thumbnailer"}},
    {"libstereoglass1",
     {"lib/libstereoglass.so.1", "lib/libstereoglass.so.1.0.0", "share/doc/libstereoglass1/copyright",
      "share/doc/libstereoglass1/changelog.gz"}},
    {"libstereoglass-dev",
     {"include/stereoglass.h", "lib/libstereoglass.so", "share/doc/libstereoglass-dev/copyright",
      "share/doc/libstereoglass-dev/changelog.gz"}},
};

std::set<std::string> AllInstalled(const std::string& below = "")
{
    std::set<std::string> all;
    for (const auto& [name, files] : kPackages)
        for (const std::string& file : files)
            all.insert(below + file);
    return all;
}

} // namespace

TEST(Package, InstallTreeHoldsTheProgramLibraryAndDesktopFilesAndRuns)
{
    TempFolder prefix("sg-install");
    std::string log = CommandOutput(std::string(SG_CMAKE) + " --install " SG_BINARY_DIR " --prefix " + prefix.path +
                                    " 2>&1");
    ASSERT_TRUE(fs::exists(prefix / "bin/stereoglass")) << log;
    EXPECT_EQ(FilesUnder(prefix.path), AllInstalled());
    // The manual page and the changelog, compressed as Debian wants them.
    EXPECT_EQ(CommandOutput("gzip -cd " + prefix.path + "/share/man/man1/stereoglass.1.gz | head -1"),
              ".TH STEREOGLASS 1 \"2026\" \"Stereoglass 1.0.0\" \"User Commands\"");
    EXPECT_EQ(CommandOutput("gzip -cd " + prefix.path + "/share/doc/stereoglass/changelog.gz | head -1"),
              "stereoglass (1.0.0) unstable; urgency=medium");

    EXPECT_EQ(CommandOutput("desktop-file-validate " + prefix.path + "/share/applications/stereoglass.desktop 2>&1; "
                            "echo $?"),
              "0");
    std::string entry = CommandOutput("grep -E '^(Exec|MimeType)=' " + prefix.path +
                                      "/share/applications/stereoglass.desktop");
    EXPECT_NE(entry.find("Exec=stereoglass %f"), std::string::npos) << entry;
    for (const char* type : {"image/jpeg", "image/png", "image/gif", "image/tiff", "image/bmp", "image/x-jps",
                             "image/x-mpo"})
        EXPECT_NE(entry.find(type), std::string::npos) << type;

    // The library: a SONAME, and only its documented interface exported.
    std::string library = prefix.path + "/lib/libstereoglass.so.1.0.0";
    EXPECT_NE(CommandOutput("readelf -d " + library + " | grep SONAME").find("[libstereoglass.so.1]"),
              std::string::npos);
    std::set<std::string> exported =
        Lines(CommandOutput("nm -D --defined-only " + library + " | awk '$2 ~ /[TtDdBb]/ {print $3}'"));
    std::set<std::string> documented = {
        "SysAllocStringByteLen@@STEREOGLASS_1", "SysFreeString@@STEREOGLASS_1", "fGDIp_2hBMP@@STEREOGLASS_1",
        "sg_ClearTarget@@STEREOGLASS_1",        "sg_CreateMemoryBitmap@@STEREOGLASS_1",
        "sg_EndMemoryBitmap@@STEREOGLASS_1",    "sg_GdiplusShutdown@@STEREOGLASS_1",
        "sg_GdiplusStartup@@STEREOGLASS_1",     "sg_GetTargetSize@@STEREOGLASS_1",
        "sg_ReadPixels@@STEREOGLASS_1",         "sg_RefreshTarget@@STEREOGLASS_1",
        "sg_SelectTarget@@STEREOGLASS_1",       "sg_WritePixels@@STEREOGLASS_1",
    };
    EXPECT_EQ(exported, documented);

    // The thumbnailer's command, as a file manager runs it: a PNG preview of
    // at most the asked size, with no display.
    std::string thumbnailer = prefix.path + "/share/thumbnailers/stereoglass.thumbnailer";
    EXPECT_EQ(CommandOutput("grep -E '^MimeType=' " + thumbnailer), "MimeType=image/x-mpo;image/x-jps;");
    std::string exec = CommandOutput("sed -n 's/^Exec=//p' " + thumbnailer);
    ASSERT_EQ(exec, "stereoglass --thumbnail %s %i %o");
    TempFolder work("sg-pkg-thumb");
    fs::copy_file(std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps", work / "figure.jps");
    CommandRun thumbnail = RunCommand({prefix.path + "/bin/stereoglass", "--thumbnail", "128", "figure.jps",
                                       "preview.png"},
                                      work.path, {"HOME=" + work.path, "LD_LIBRARY_PATH"});
    EXPECT_EQ(thumbnail.exitCode, 0) << thumbnail.err;
    EXPECT_EQ(CommandOutput("identify -format '%m %[fx:max(w,h)]' " + work / "preview.png"), "PNG 128");

    ExpectRunsFrom(prefix.path);
}

// Three packages split as Debian splits a library, each with its copyright
// file and changelog, that lintian passes without errors or warnings.
TEST(Package, DebsAreSplitLikeDebianLibrariesPassLintianAndRunUnpacked)
{
    TempFolder scratch("sg-deb");
    std::string log = CommandOutput(std::string(SG_CPACK) + " -G DEB --config " SG_BINARY_DIR
                                                            "/CPackConfig.cmake -B " +
                                    scratch.path + " 2>&1");
    std::string root = scratch.path + "/root";
    std::string debs;
    for (const auto& [name, files] : kPackages) {
        std::string deb = scratch / (name + "_1.0.0_amd64.deb");
        ASSERT_TRUE(fs::exists(deb)) << name << "\n" << log;
        debs += " " + deb;
        EXPECT_EQ(CommandOutput("dpkg-deb -f " + deb + " Package"), name);
        std::string unpacked = scratch / name;
        CommandOutput("dpkg-deb -x " + deb + " " + unpacked + " && dpkg-deb -x " + deb + " " + root);
        std::set<std::string> expected;
        for (const std::string& file : files)
            expected.insert("usr/" + file);
        EXPECT_EQ(FilesUnder(unpacked), expected) << name;
        // A real maintainer address: a name and a mail host with a domain.
        std::string maintainer = CommandOutput("dpkg-deb -f " + deb + " Maintainer");
        EXPECT_NE(maintainer.find(" <"), std::string::npos) << maintainer;
        EXPECT_EQ(maintainer.find("localhost"), std::string::npos) << maintainer;
    }

    std::string depends = CommandOutput("dpkg-deb -f " + scratch.path + "/stereoglass_1.0.0_amd64.deb Depends");
    for (const char* package : {"libc6", "libgtk-3-0", "libturbojpeg0", "libpng16-16", "libtiff6", "libgif7",
                                "libx11-6", "libexiv2-27"})
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
    EXPECT_EQ(CommandOutput("dpkg-deb -f " + scratch.path + "/libstereoglass-dev_1.0.0_amd64.deb Depends"),
              "libstereoglass1 (= 1.0.0)");
    // The library registers with the ldconfig trigger and its shlibs, and
    // has no maintainer scripts that call ldconfig.
    std::string library = scratch.path + "/libstereoglass1_1.0.0_amd64.deb";
    EXPECT_EQ(CommandOutput("dpkg-deb -I " + library + " triggers"), "activate-noawait ldconfig");
    EXPECT_EQ(CommandOutput("dpkg-deb -I " + library + " shlibs"), "libstereoglass 1 libstereoglass1 (= 1.0.0)");
    EXPECT_EQ(CommandOutput("dpkg-deb --ctrl-tarfile " + library + " | tar -t | grep -c 'post\\|pre'"), "0");

    std::string findings = CommandOutput("lintian --fail-on error,warning" + debs + " 2>/dev/null; echo $?");
    EXPECT_EQ(findings.substr(findings.rfind('\n') + 1), "0") << findings;
    EXPECT_EQ(findings.find("E: "), std::string::npos) << findings;
    EXPECT_EQ(findings.find("W: "), std::string::npos) << findings;

    EXPECT_EQ(FilesUnder(root), AllInstalled("usr/"));
    ExpectRunsFrom(root + "/usr");
}
