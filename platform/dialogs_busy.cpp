// The sign of work: a small window with a line of text and the busy cursor,
// shown on the main thread while other threads do the work.
#include <chrono>
#include <thread>

#include "platform/dialogs.h"
#include "platform/dialogs_gtk.h"
#include "platform/text.h"

namespace {

constexpr auto kPoll = std::chrono::milliseconds(10);

// Waits until done or the time is over; true when done.
bool WaitUntil(const std::atomic<bool>& done, std::chrono::steady_clock::time_point end)
{
    while (!done.load()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

GtkWidget* NewBusyWindow(const std::u16string& text)
{
    // Titled by its text, so that it is never taken for the message box
    // ("Stereoglass") that may follow it.
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), DisplayText(text).c_str());
    gtk_window_set_deletable(GTK_WINDOW(window), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    // Closing it would not stop the work; the window goes when the work ends.
    g_signal_connect(window, "delete-event", G_CALLBACK(gtk_true), nullptr);
    GtkWidget* label = gtk_label_new(DisplayText(text).c_str());
    g_object_set(label, "margin", 24, nullptr);
    gtk_container_add(GTK_CONTAINER(window), label);
    gtk_widget_show_all(window);
    GdkWindow* shown = gtk_widget_get_window(window);
    if (shown) {
        GdkCursor* busy = gdk_cursor_new_from_name(gdk_window_get_display(shown), "wait");
        gdk_window_set_cursor(shown, busy);
        if (busy)
            g_object_unref(busy);
    }
    return window;
}

void RunPendingEvents()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

} // namespace

void ShowBusyUntil(const std::atomic<bool>& done, int32_t delayMs, const std::u16string& text)
{
    auto shownFrom = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
    if (WaitUntil(done, shownFrom) || !StartGtk()) {
        while (!done.load())
            std::this_thread::sleep_for(kPoll);
        return;
    }
    GtkWidget* window = NewBusyWindow(text);
    while (!done.load()) {
        RunPendingEvents();
        std::this_thread::sleep_for(kPoll);
    }
    gtk_widget_destroy(window);
    RunPendingEvents();
    gdk_display_sync(gdk_display_get_default());
}
