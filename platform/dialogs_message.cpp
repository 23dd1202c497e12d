#include <string>

#include "platform/dialogs.h"
#include "platform/dialogs_gtk.h"
#include "platform/text.h"

namespace {

constexpr const char* kDefaultCaption = "Stereoglass";

void OnResponse(GtkDialog*, gint, gpointer data)
{
    *static_cast<bool*>(data) = true;
}

std::string TextOf(const WCHAR* text)
{
    // Shown text must be valid UTF-8 for GTK: a file name's bytes that are
    // not UTF-8 show as U+FFFD.
    return text ? DisplayText(std::u16string_view(text, static_cast<size_t>(lstrlenW(text)))) : std::string();
}

} // namespace

int MessageBoxW(HWND, const WCHAR* text, const WCHAR* caption, UINT)
{
    if (!StartGtk())
        return 0;
    std::string title = TextOf(caption);
    if (title.empty())
        title = kDefaultCaption;
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s",
                                            TextOf(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), title.c_str());
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    bool done = false;
    g_signal_connect(box, "response", G_CALLBACK(OnResponse), &done);
    RunDialogUntil(box, &done);
    return IDOK;
}
