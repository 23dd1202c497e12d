#include "platform/dialogs_gtk.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/x11_threads.h"

namespace {

// Without a session bus GTK's settings store cannot save the file chooser's
// view settings and warns on every change; keep them in memory then.
void KeepSettingsInMemoryWithoutSessionBus()
{
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        return;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat bus;
    if (runtime && stat((std::string(runtime) + "/bus").c_str(), &bus) == 0)
        return;
    setenv("GSETTINGS_BACKEND", "memory", 0);
}

} // namespace

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
    KeepSettingsInMemoryWithoutSessionBus();
    gdk_set_allowed_backends("x11");
    std::lock_guard<std::mutex> hold(ConnectionLock());
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
