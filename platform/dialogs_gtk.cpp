#include "platform/dialogs_gtk.h"

#include <unistd.h>

#include "platform/x11_threads.h"

bool StartGtk()
{
    if (gettid() != getpid())
        return false;
    static bool started = false;
    if (started)
        return true;
    // The dialogs must be X11 windows, so that other threads can find them
    // by title through Xlib.
    InitXThreads();
    gdk_set_allowed_backends("x11");
    started = gtk_init_check(nullptr, nullptr);
    return started;
}

void RunDialogUntil(GtkWidget* dialog, const bool* done)
{
    // Closing the window answers the dialog; the widget stays for us to end.
    g_signal_connect(dialog, "delete-event", G_CALLBACK(gtk_true), nullptr);
    gtk_window_present(GTK_WINDOW(dialog));
    while (!*done)
        gtk_main_iteration();
    gtk_widget_destroy(dialog);
    while (gtk_events_pending())
        gtk_main_iteration();
    gdk_display_sync(gdk_display_get_default());
}
