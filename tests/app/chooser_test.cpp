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
#include "tests/support/dialog_fixture.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/x_windows.h"
#include "tests/support/xdotool.h"
#include "tests/support/xserver.h"

namespace {

constexpr long MWM_FUNC_CLOSE = 32;
constexpr long MWM_DECOR_MENU = 16;
// A maximised dialog spans the 1920 x 1080 screen, less openbox's frame.
constexpr int kMaximisedWidth = 1800;
constexpr int kMaximisedHeight = 950;

// Whether the window's Motif hints leave a function (field 1, flag 1) or a
// decoration (field 2, flag 2) on: every one when the field is unset, all
// but the listed ones when its first bit is set, else the listed ones.
bool HintsKeep(unsigned long window, int field, long bit)
{
    std::vector<long> hints = sgtest::PropertyLongs(window, "_MOTIF_WM_HINTS");
    if (hints.size() < 3 || !(hints[0] & field))
        return true;
    bool listed = hints[field] & bit;
    return (hints[field] & 1) ? !listed : listed;
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
        seen.closeInHints = HintsKeep(window, 1, MWM_FUNC_CLOSE);
        seen.menuInHints = HintsKeep(window, 2, MWM_DECOR_MENU);
        // The window manager sets the state before the new size reaches the
        // window, so the size is read once it has grown (or the wait ends).
        sgtest::WaitUntil(
            [&] {
                seen.geometry = sgtest::ScreenGeometry(window);
                return seen.geometry.size() == 4 && seen.geometry[2] >= kMaximisedWidth &&
                       seen.geometry[3] >= kMaximisedHeight;
            },
            5000);
        if (!sgtest::AnswerDialog(window, steps))
            ADD_FAILURE() << "the dialog stayed open";
    });
}

using Chooser = sgtest::DialogTest;

} // namespace

TEST_F(Chooser, DialogIsMaximisedWithoutCloseAndOpensInTheCurrentDirectory)
{
    sgtest::ScratchFolder scratch("sg-chooser");
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
    EXPECT_GE(seen.geometry[2], kMaximisedWidth);
    EXPECT_GE(seen.geometry[3], kMaximisedHeight);
    EXPECT_EQ(path, scratch.path + "/not-yet-there.jps");
    EXPECT_EQ(sgtest::CurrentDirectory(), scratch.path);
}

TEST_F(Chooser, AFileInAnotherFolderComesBackAndTheDirectoryStays)
{
    sgtest::ScratchFolder scratch("sg-chooser");
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
    EXPECT_EQ(sgtest::CurrentDirectory(), scratch.path);
}

TEST_F(Chooser, EscapeGivesAnEmptyPath)
{
    sgtest::ScratchFolder scratch("sg-chooser");
    Seen seen;
    std::thread driver = Driver(seen, {"sleep:200", "key:Escape"});
    std::string path = fSelectFile();
    driver.join();
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(path, "");
    EXPECT_EQ(sgtest::CurrentDirectory(), scratch.path);
}
