// The source chooser through the X server under openbox: the main thread
// blocks in fSelectFile while a driver thread watches what the dialog
// watcher did to the window and then answers the dialog with the keyboard.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/source_chooser.h"
#include "tests/host/services_x.h"
#include "tests/support/xserver.h"

namespace {

constexpr long MWM_FUNC_ALL = 1;
constexpr long MWM_FUNC_CLOSE = 32;
constexpr long MWM_DECOR_ALL = 1;
constexpr long MWM_DECOR_MENU = 16;

std::string Cwd()
{
    char path[4096];
    return getcwd(path, sizeof path) ? path : "";
}

struct ScratchFolder {
    std::string path;
    std::string previous = Cwd();
    ScratchFolder()
    {
        char name[] = "/tmp/sg-chooser-XXXXXX";
        path = mkdtemp(name) ? name : "";
        if (!path.empty() && chdir(path.c_str()) != 0)
            path.clear();
    }
    ~ScratchFolder()
    {
        if (chdir(previous.c_str()) != 0)
            return;
        std::string cleanup = "rm -rf '" + path + "'";
        if (system(cleanup.c_str()) != 0)
            return;
    }
};

// The close function as the window's Motif hints give it.
bool HintsAllowClose(unsigned long window)
{
    std::vector<long> hints = sgtest::PropertyLongs(window, "_MOTIF_WM_HINTS");
    if (hints.size() < 3 || !(hints[0] & 1))
        return true;
    bool listed = hints[1] & MWM_FUNC_CLOSE;
    return (hints[1] & MWM_FUNC_ALL) ? !listed : listed;
}

bool HintsShowMenu(unsigned long window)
{
    std::vector<long> hints = sgtest::PropertyLongs(window, "_MOTIF_WM_HINTS");
    if (hints.size() < 3 || !(hints[0] & 2))
        return true;
    bool listed = hints[2] & MWM_DECOR_MENU;
    return (hints[2] & MWM_DECOR_ALL) ? !listed : listed;
}

// What the driver saw of the dialog once the watcher had changed it.
struct Seen {
    bool found = false;
    bool maximised = false;
    bool closeInHints = true;
    bool menuInHints = true;
    std::vector<int> geometry;
};

std::thread Driver(Seen& seen, std::vector<std::string> steps)
{
    return std::thread([&seen, steps] {
        unsigned long window = sgtest::WaitForTitle("Select File");
        seen.found = window != 0;
        if (!seen.found)
            return;
        seen.maximised = sgtest::WaitUntil(
            [&] {
                return sgtest::HasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_MAXIMIZED_VERT") &&
                       sgtest::HasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_MAXIMIZED_HORZ");
            },
            5000);
        seen.closeInHints = HintsAllowClose(window);
        seen.menuInHints = HintsShowMenu(window);
        seen.geometry = sgtest::ScreenGeometry(window);
        sgtest::DriveWindow(window, steps);
        if (!sgtest::WaitUntil([&] { return !sgtest::WindowExists(window); }, 5000)) {
            ADD_FAILURE() << "the dialog stayed open";
            sgtest::DriveWindow(window, {"key:Escape"});
        }
    });
}

class Chooser : public ::testing::Test {
protected:
    void SetUp() override
    {
        SG_REQUIRE_WM();
        if (system("command -v xdotool >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "xdotool is not installed; skipping a test that types into a dialog";
        setenv("NO_AT_BRIDGE", "1", 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
    }
};

} // namespace

TEST_F(Chooser, DialogIsMaximisedWithoutCloseAndOpensInTheCurrentDirectory)
{
    ScratchFolder scratch;
    ASSERT_FALSE(scratch.path.empty());
    Seen seen;
    // A bare name is taken in the folder the dialog shows: the current one.
    std::thread driver = Driver(seen, {"key:ctrl+l", "type:not-yet-there.jps", "sleep:200", "key:Return"});
    std::string path = fSelectFile();
    driver.join();

    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.maximised);
    EXPECT_FALSE(seen.closeInHints);
    EXPECT_FALSE(seen.menuInHints);
    ASSERT_EQ(seen.geometry.size(), 4u);
    EXPECT_GE(seen.geometry[2], 1800); // across the screen, less the frame
    EXPECT_GE(seen.geometry[3], 950);
    EXPECT_EQ(path, scratch.path + "/not-yet-there.jps");
    EXPECT_EQ(Cwd(), scratch.path);
}

TEST_F(Chooser, AFileInAnotherFolderComesBackAndTheDirectoryStays)
{
    ScratchFolder scratch;
    ASSERT_FALSE(scratch.path.empty());
    std::string elsewhere = scratch.path + "/elsewhere";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
    std::string picture = elsewhere + "/Figure-SBS.JPS";
    std::ofstream(picture) << "x";
    Seen seen;
    std::thread driver = Driver(seen, {"key:ctrl+l", "type:" + picture, "sleep:200", "key:Return"});
    std::string path = fSelectFile();
    driver.join();
    EXPECT_EQ(path, picture);
    EXPECT_EQ(Cwd(), scratch.path);
}

TEST_F(Chooser, EscapeGivesAnEmptyPath)
{
    ScratchFolder scratch;
    Seen seen;
    std::thread driver = Driver(seen, {"sleep:200", "key:Escape"});
    std::string path = fSelectFile();
    driver.join();
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(path, "");
    EXPECT_EQ(Cwd(), scratch.path);
}
