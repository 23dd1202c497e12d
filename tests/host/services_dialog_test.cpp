// The open-file dialog and the message box, driven through the X server
// under openbox. The main thread blocks in the dialog (GTK stays on it); a
// driver thread finds the dialog by title and types into it with xdotool.
// What the X server cannot tell (the folder shown, the filter, the buttons)
// is read from the dialog's widgets by a GLib timer that runs inside the
// dialog's own loop.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host/services.h"
#include "platform/dialogs.h"
#include "platform/text.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/x_windows.h"
#include "tests/support/xdotool.h"
#include "tests/support/xserver.h"

// After the Windows types, which GLib's TRUE and FALSE macros would replace.
#include <gtk/gtk.h>

namespace {

const std::u16string kFilter = std::u16string(u"All Files") + u'\0' + u"*.*" + u'\0';
constexpr uint32_t kChooserFlags = 0x800800;

std::u16string Choose(const std::u16string& title, const std::string& folder, int32_t& count,
                      const std::u16string& startName = u"", int32_t x = 0, int32_t y = 0)
{
    std::u16string wideFolder = WidenAnsi(folder);
    return ChooseOpenFile(wideFolder, 0, x, y, title, wideFolder, kFilter, startName, u"", kChooserFlags, count);
}

// Drives the dialog titled title with the steps once it is shown; closes it
// with Esc when the steps did not.
std::thread Driver(const std::string& title, std::vector<std::string> steps)
{
    return std::thread([title, steps] {
        unsigned long window = sgtest::WaitForTitle(title);
        ASSERT_NE(window, 0u) << "no window titled " << title;
        if (!sgtest::AnswerDialog(window, steps))
            ADD_FAILURE() << "the dialog stayed open";
    });
}

struct Search {
    GType type;
    std::vector<GtkWidget*> found;
};

void Visit(GtkWidget* widget, gpointer data)
{
    auto* search = static_cast<Search*>(data);
    if (G_TYPE_CHECK_INSTANCE_TYPE(widget, search->type))
        search->found.push_back(widget);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), Visit, data);
}

// Every widget of the type inside root, internal children included.
std::vector<GtkWidget*> Find(GtkWidget* root, GType type)
{
    Search search{type, {}};
    Visit(root, &search);
    return search.found;
}

GtkWidget* ToplevelTitled(const char* title)
{
    GtkWidget* match = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item; item = item->next) {
        const char* name = gtk_window_get_title(GTK_WINDOW(item->data));
        if (name && std::string(name) == title && gtk_widget_get_mapped(GTK_WIDGET(item->data)))
            match = GTK_WIDGET(item->data);
    }
    g_list_free(windows);
    return match;
}

// Runs inspect on the main thread, inside the dialog's loop, once the
// toplevel titled title is shown.
struct Inspection {
    const char* title;
    void (*inspect)(GtkWidget* dialog, Inspection& self);
    bool ran = false;
    int tries = 0;
    std::string folder;
    std::vector<std::string> filterNames;
    std::vector<bool> filterShows;
    std::vector<std::string> entryTexts;
    std::string text;
    int buttons = 0;
    int visibleImages = 0;
    bool keptAbove = false;
};

void Inspect(Inspection& inspection)
{
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* self = static_cast<Inspection*>(data);
            GtkWidget* dialog = ToplevelTitled(self->title);
            if (!dialog)
                return G_SOURCE_CONTINUE;
            self->inspect(dialog, *self);
            self->ran = true;
            return self->folder == "(none)" && ++self->tries < 100 ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
        },
        &inspection);
}

bool FilterShows(GtkFileFilter* filter, const char* name)
{
    GtkFileFilterInfo info = {};
    info.contains = GTK_FILE_FILTER_DISPLAY_NAME;
    info.display_name = name;
    return gtk_file_filter_filter(filter, &info);
}

void InspectChooser(GtkWidget* dialog, Inspection& self)
{
    self.filterNames.clear();
    self.filterShows.clear();
    self.entryTexts.clear();
    gchar* folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog));
    self.folder = folder ? folder : "(none)"; // GTK may know it only a moment later
    g_free(folder);
    GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(dialog));
    for (GSList* item = filters; item; item = item->next) {
        GtkFileFilter* filter = GTK_FILE_FILTER(item->data);
        self.filterNames.push_back(gtk_file_filter_get_name(filter));
        for (const char* name : {"README", "Photo.JPG", "pair.jps", ".hidden"})
            self.filterShows.push_back(FilterShows(filter, name));
    }
    g_slist_free(filters);
    for (GtkWidget* entry : Find(dialog, GTK_TYPE_ENTRY)) {
        if (!GTK_IS_SEARCH_ENTRY(entry) && gtk_widget_get_mapped(entry))
            self.entryTexts.push_back(gtk_entry_get_text(GTK_ENTRY(entry)));
    }
}

void InspectMessageBox(GtkWidget* dialog, Inspection& self)
{
    self.folder = "-";
    gchar* text = nullptr;
    g_object_get(dialog, "text", &text, nullptr);
    self.text = text ? text : "";
    g_free(text);
    for (GtkWidget* button : Find(dialog, GTK_TYPE_BUTTON))
        self.buttons += gtk_widget_get_visible(button) ? 1 : 0;
    for (GtkWidget* image : Find(dialog, GTK_TYPE_IMAGE))
        self.visibleImages += gtk_widget_get_visible(image) && gtk_widget_get_mapped(image) ? 1 : 0;
    GdkWindow* window = gtk_widget_get_window(dialog);
    self.keptAbove = window && (gdk_window_get_state(window) & GDK_WINDOW_STATE_ABOVE);
}

using Dialogs = sgtest::DialogTest;

} // namespace

// Before any test starts a display: nothing shown, a clean failure.
TEST(DialogsWithoutDisplay, FailCleanly)
{
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            int32_t count = 7;
            std::u16string path = Choose(u"Nowhere", "/tmp", count);
            bool quiet = path.empty() && count == 0;
            ShowMessageBox(u"nobody sees this", 0x12000, u"");
            _exit(quiet && MessageBoxW(0, u"x", nullptr, 0) == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Dialogs, OpensInTheFolderWithOneFilterForEveryFileAndCutsTheStartName)
{
    sgtest::ScratchFolder scratch("sg-dialog");
    ASSERT_FALSE(scratch.path.empty());
    std::u16string longName(300, u'n');
    longName[258] = u'z'; // the last unit kept
    Inspection inspection{"Open With Filter", InspectChooser};
    Inspect(inspection);
    std::thread driver = Driver("Open With Filter", {"sleep:300", "key:Escape"});
    int32_t count = 5;
    std::u16string path = Choose(u"Open With Filter", scratch.path, count, longName);
    driver.join();

    EXPECT_EQ(path, u"");
    EXPECT_EQ(count, 0);
    ASSERT_TRUE(inspection.ran);
    EXPECT_EQ(inspection.folder, scratch.path);
    ASSERT_EQ(inspection.filterNames, std::vector<std::string>{"All Files"});
    EXPECT_EQ(inspection.filterShows, (std::vector<bool>{true, true, true, true}));
    ASSERT_EQ(inspection.entryTexts.size(), 1u);
    EXPECT_EQ(inspection.entryTexts[0], std::string(258, 'n') + "z");
    EXPECT_EQ(sgtest::CurrentDirectory(), scratch.path);
}

TEST_F(Dialogs, TypedPathsComeBackInFull)
{
    sgtest::ScratchFolder scratch("sg-dialog");
    ASSERT_FALSE(scratch.path.empty());
    std::string existing = scratch.Make("left-right.jps");
    ASSERT_EQ(mkdir((scratch.path + "/other").c_str(), 0700), 0);
    struct Case {
        const char* name;
        std::string typed;
        std::string expected;
    };
    const Case cases[] = {
        {"existing file by full path", existing, existing},
        {"missing file in an existing folder", scratch.path + "/other/not-there.png",
         scratch.path + "/other/not-there.png"},
        {"name relative to the folder shown", "typed-only.jpg", scratch.path + "/typed-only.jpg"},
    };
    for (const Case& c : cases) {
        std::thread driver = Driver("Pick Typed", {"key:ctrl+l", "type:" + c.typed, "sleep:200", "key:Return"});
        int32_t count = 0;
        std::u16string path = Choose(u"Pick Typed", scratch.path, count);
        driver.join();
        EXPECT_EQ(NarrowWide(path), c.expected) << c.name;
        EXPECT_EQ(count, 1) << c.name;
        EXPECT_EQ(sgtest::CurrentDirectory(), scratch.path) << c.name;
    }
}

TEST_F(Dialogs, APathInAMissingFolderKeepsTheDialogOpen)
{
    sgtest::ScratchFolder scratch("sg-dialog");
    ASSERT_FALSE(scratch.path.empty());
    bool stayedOpen = false;
    std::thread driver([&] {
        unsigned long window = sgtest::WaitForTitle("Missing Folder");
        ASSERT_NE(window, 0u);
        sgtest::DriveWindow(window, {"key:ctrl+l", "type:" + scratch.path + "/no-such-folder/x.jpg", "sleep:200",
                                     "key:Return", "sleep:700"});
        stayedOpen = sgtest::WindowShown(window);
        // The first Esc closes GTK's message about the missing folder.
        EXPECT_TRUE(sgtest::EscapeUntilGone(window));
    });
    int32_t count = 3;
    std::u16string path = Choose(u"Missing Folder", scratch.path, count);
    driver.join();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(path, u"");
    EXPECT_EQ(count, 0);
}

TEST_F(Dialogs, OpensAtTheGivenPositionOrCentredInTheWorkArea)
{
    struct Case {
        const char* name;
        int32_t x, y;
    };
    const Case cases[] = {{"top-left", 0, 0}, {"given", 200, 150}, {"centred", kDefaultPosition, kDefaultPosition}};
    for (const Case& c : cases) {
        std::vector<int> geometry;
        std::thread driver([&] {
            unsigned long window = sgtest::WaitForTitle("Placed");
            ASSERT_NE(window, 0u);
            // Placed once the window manager has framed it.
            sgtest::WaitUntil([&] { return !sgtest::FrameExtents(window).empty(); });
            geometry = sgtest::ScreenGeometry(window);
            sgtest::DriveWindow(window, {"key:Escape"});
        });
        int32_t count = 0;
        Choose(u"Placed", "/tmp", count, u"", c.x, c.y);
        driver.join();
        ASSERT_EQ(geometry.size(), 4u) << c.name;
        // The window manager's frame sits at the position; the client area
        // starts inside it by the border and the title bar.
        if (c.x != kDefaultPosition) {
            EXPECT_GE(geometry[0], c.x) << c.name;
            EXPECT_LE(geometry[0], c.x + 10) << c.name;
            EXPECT_GE(geometry[1], c.y) << c.name;
            EXPECT_LE(geometry[1], c.y + 40) << c.name;
        } else {
            int centreX = geometry[0] + geometry[2] / 2;
            int centreY = geometry[1] + geometry[3] / 2;
            EXPECT_NEAR(centreX, 960, 20) << c.name << " " << geometry[0] << "," << geometry[1] << " " << geometry[2] << "x" << geometry[3];
            EXPECT_NEAR(centreY, 540, 30) << c.name;
        }
    }
}

TEST_F(Dialogs, MessageBoxShowsTheTextWithOneOkButtonAndClosesOnEnter)
{
    const std::string text = "No GDI+ %s %d <b>as given</b>";
    Inspection inspection{"Stereoglass", InspectMessageBox};
    Inspect(inspection);
    bool aboveOthers = false;
    std::thread driver([&] {
        unsigned long window = sgtest::WaitForTitle("Stereoglass");
        ASSERT_NE(window, 0u);
        aboveOthers = sgtest::WaitUntil(
            [&] { return sgtest::HasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"); }, 3000);
        sgtest::DriveWindow(window, {"sleep:200", "key:Return"});
        EXPECT_TRUE(sgtest::WaitUntil([&] { return !sgtest::WindowShown(window); }, 5000));
    });
    ShowMessageBox(WidenAnsi(text), 0x12000, u"");
    driver.join();
    ASSERT_TRUE(inspection.ran);
    EXPECT_EQ(inspection.text, text);
    EXPECT_EQ(inspection.buttons, 1);
    EXPECT_EQ(inspection.visibleImages, 0);
    EXPECT_TRUE(aboveOthers);
}

TEST_F(Dialogs, ShowOnlyOnTheMainThread)
{
    std::u16string path = u"x";
    int32_t count = 9;
    int shown = 5;
    std::thread other([&] {
        path = Choose(u"Off Main", "/tmp", count);
        shown = MessageBoxW(0, u"off main", nullptr, 0);
    });
    other.join();
    EXPECT_EQ(path, u"");
    EXPECT_EQ(count, 0);
    EXPECT_EQ(shown, 0);
}

// Work of more than a second shows a "Converting …" window until it ends;
// shorter work shows nothing.
TEST_F(Dialogs, LongWorkShowsThatItIsWorkingUntilItEnds)
{
    using Clock = std::chrono::steady_clock;
    std::atomic<bool> done = false;
    std::atomic<long> seenAfterMs = -1;
    bool goneAfterDone = false;
    std::thread worker([&] {
        Clock::time_point start = Clock::now();
        unsigned long window = sgtest::WaitForTitle("Converting \xE2\x80\xA6");
        seenAfterMs = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        done = true;
        goneAfterDone = window != 0 && sgtest::WaitUntil([&] { return !sgtest::WindowShown(window); }, 5000);
    });
    ShowBusyUntil(done, 1000, u"Converting \u2026");
    worker.join();
    EXPECT_GE(seenAfterMs.load(), 900) << "shown before a second had passed";
    EXPECT_TRUE(goneAfterDone);

    std::atomic<bool> quick = false;
    std::thread shortWork([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        quick = true;
    });
    ShowBusyUntil(quick, 1000, u"Converting \u2026");
    shortWork.join();
    EXPECT_EQ(sgtest::Xdotool("search --onlyvisible --name '^Converting'"), "");
}

TEST_F(Dialogs, ARowOfChoicesStartsAsGivenAndReturnsWhatWasPickedOnlyWithAFile)
{
    sgtest::ScratchFolder scratch("sg-dialog");
    ASSERT_FALSE(scratch.path.empty());
    std::string existing = scratch.Make("pair.jps");
    auto rows = [] {
        return std::vector<DialogChoice>{{"_Glasses", {"one", "two", "three"}, 1},
                                         {"_Method", {"a", "b"}, 0},
                                         {"S_wap", {}, 1}};
    };
    struct Case {
        const char* name;
        std::vector<std::string> steps;
        std::vector<int32_t> expected;
        bool accepted;
    };
    const Case cases[] = {
        {"left as shown", {"key:ctrl+l", "type:" + existing, "sleep:200", "key:Return"}, {1, 0, 1}, true},
        {"each changed",
         {"key:alt+g", "key:Down", "key:alt+m", "key:Down", "key:alt+w", "sleep:100", "key:ctrl+l",
          "type:" + existing, "sleep:200", "key:Return"},
         {2, 1, 0},
         true},
        {"changed, then cancelled", {"key:alt+g", "key:Up", "key:alt+w", "sleep:100", "key:Escape"}, {1, 0, 1}, false},
    };
    for (const Case& c : cases) {
        std::vector<DialogChoice> choices = rows();
        std::thread driver = Driver("Pick With Choices", c.steps);
        int32_t count = 0;
        std::u16string wideFolder = WidenAnsi(scratch.path);
        std::u16string path = ChooseOpenFile(wideFolder, 0, 0, 0, u"Pick With Choices", wideFolder, kFilter, u"", u"",
                                             kChooserFlags, count, &choices);
        driver.join();
        std::vector<int32_t> picked;
        for (const DialogChoice& choice : choices)
            picked.push_back(choice.chosen);
        EXPECT_EQ(picked, c.expected) << c.name;
        EXPECT_EQ(NarrowWide(path), c.accepted ? existing : "") << c.name;
    }
}
