#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/desktop_x11.h"
#include "platform/dialogs.h"
#include "platform/dialogs_gtk.h"
#include "platform/text.h"

#include <gdk/gdkx.h>

namespace {

struct OpenRun {
    DWORD flags = 0;
    std::string defaultExtension;
    std::string chosen;
    bool done = false;
    std::vector<GtkWidget*> choiceWidgets; // one per choice: a combo box or a check button
    std::vector<int32_t> choices;          // what they showed when the file was accepted
};

bool IsFolder(const std::string& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0;
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string CurrentDirectory()
{
    std::string path(4096, '\0');
    if (!getcwd(path.data(), path.size()))
        return {};
    path.resize(path.find('\0'));
    return path;
}

// A failure leaves the directory as it was, which is all that can be done.
void ChangeDirectory(const std::string& path)
{
    if (chdir(path.c_str()) != 0)
        return;
}

// A Windows pattern as a GTK glob: "*.*" means every file, and letters match
// either case.
std::string GlobFor(const std::string& pattern)
{
    if (pattern == "*.*" || pattern == "*")
        return "*";
    std::string glob;
    for (char c : pattern) {
        char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower >= 'a' && lower <= 'z') {
            glob += '[';
            glob += lower;
            glob += static_cast<char>(lower - 'a' + 'A');
            glob += ']';
        } else {
            glob += c;
        }
    }
    return glob;
}

std::vector<std::string> SplitAt(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

void AddFilters(GtkFileChooser* chooser, const std::u16string& filter)
{
    std::vector<std::string> items = SplitAt(NarrowWide(filter), '\0');
    for (size_t i = 0; i + 1 < items.size() && !items[i].empty(); i += 2) {
        GtkFileFilter* entry = gtk_file_filter_new();
        gtk_file_filter_set_name(entry, items[i].c_str());
        for (std::string pattern : SplitAt(items[i + 1], ';')) {
            size_t first = pattern.find_first_not_of(' ');
            size_t last = pattern.find_last_not_of(' ');
            if (first != std::string::npos)
                gtk_file_filter_add_pattern(entry, GlobFor(pattern.substr(first, last - first + 1)).c_str());
        }
        gtk_file_chooser_add_filter(chooser, entry);
    }
}

std::u16string CutStartName(const std::u16string& name)
{
    if (name.size() <= kMaxStartNameUnits)
        return name;
    size_t keep = kMaxStartNameUnits;
    // Never keep half of a surrogate pair.
    if (name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF)
        --keep;
    return name.substr(0, keep);
}

// Puts text in the chooser's name field, as typing it would.
void ShowStartName(GtkWidget* dialog, const std::u16string& startName)
{
    std::string name = NarrowWide(CutStartName(startName));
    if (name.empty())
        return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))));
    for (GList* child = children; child; child = child->next) {
        if (GTK_IS_FILE_CHOOSER_WIDGET(child->data))
            g_signal_emit_by_name(child->data, "location-popup", name.c_str());
    }
    g_list_free(children);
}

// Centres the shown dialog in the work area: its final size is known only
// once the chooser has settled it, when the window is mapped.
gboolean CentreOnMap(GtkWidget* widget, GdkEvent*, gpointer)
{
    GdkDisplay* display = gtk_widget_get_display(widget);
    if (GDK_IS_X11_DISPLAY(display)) {
        RECT area = WorkAreaRect(gdk_x11_display_get_xdisplay(display));
        int width = 0, height = 0;
        gtk_window_get_size(GTK_WINDOW(widget), &width, &height);
        gtk_window_move(GTK_WINDOW(widget), area.right / 2 - width / 2, area.bottom / 2 - height / 2);
    }
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(CentreOnMap), nullptr);
    return FALSE;
}

void Place(GtkWindow* window, const OpenFileDialog& request)
{
    if (request.placed)
        gtk_window_move(window, request.x, request.y);
    else
        g_signal_connect(window, "map-event", G_CALLBACK(CentreOnMap), nullptr);
}

std::string WithDefaultExtension(const std::string& path, const std::string& extension)
{
    std::string name = path.substr(path.rfind('/') + 1);
    if (extension.empty() || name.find('.') != std::string::npos)
        return path;
    return path + "." + extension;
}

// The row of choices under the file list, one widget per choice in run.
GtkWidget* NewChoiceRow(const std::vector<DialogChoice>& choices, OpenRun& run)
{
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    for (const DialogChoice& choice : choices) {
        GtkWidget* widget = nullptr;
        if (choice.options.empty()) {
            widget = gtk_check_button_new_with_mnemonic(choice.label.c_str());
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), choice.chosen != 0);
        } else {
            GtkWidget* label = gtk_label_new_with_mnemonic(choice.label.c_str());
            widget = gtk_combo_box_text_new();
            for (const std::string& option : choice.options)
                gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widget), option.c_str());
            bool inRange = choice.chosen >= 0 && static_cast<size_t>(choice.chosen) < choice.options.size();
            gtk_combo_box_set_active(GTK_COMBO_BOX(widget), inRange ? choice.chosen : 0);
            gtk_label_set_mnemonic_widget(GTK_LABEL(label), widget);
            gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
        }
        gtk_box_pack_start(GTK_BOX(row), widget, FALSE, FALSE, 0);
        gtk_widget_set_margin_end(widget, 12);
        run.choiceWidgets.push_back(widget);
    }
    gtk_widget_show_all(row);
    return row;
}

void ReadChoices(OpenRun& run)
{
    run.choices.clear();
    for (GtkWidget* widget : run.choiceWidgets) {
        if (GTK_IS_COMBO_BOX(widget))
            run.choices.push_back(std::max(0, gtk_combo_box_get_active(GTK_COMBO_BOX(widget))));
        else
            run.choices.push_back(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget)) ? 1 : 0);
    }
}

// Accepts the choice only when the flags allow it; otherwise the dialog stays
// open, as it does when a typed folder is missing.
void OnResponse(GtkDialog* dialog, gint response, gpointer data)
{
    auto* run = static_cast<OpenRun*>(data);
    if (response != GTK_RESPONSE_ACCEPT) {
        run->done = true;
        return;
    }
    gchar* file = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    std::string path = file ? WithDefaultExtension(file, run->defaultExtension) : std::string();
    g_free(file);
    bool refused = path.empty() || IsFolder(path) ||
                   ((run->flags & OFN_PATHMUSTEXIST) && !IsFolder(FolderOf(path))) ||
                   ((run->flags & OFN_FILEMUSTEXIST) && !Exists(path));
    if (refused) {
        g_signal_stop_emission_by_name(dialog, "response");
        return;
    }
    run->chosen = path;
    ReadChoices(*run);
    run->done = true;
}

// Esc cancels the dialog whatever has the focus, as it does on Windows; GTK
// would otherwise let the name field keep it while it holds text.
gboolean OnKeyPress(GtkWidget* dialog, GdkEventKey* event, gpointer)
{
    if (event->keyval != GDK_KEY_Escape)
        return FALSE;
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    return TRUE;
}

GtkWidget* NewChooser(const OpenFileDialog& request, const std::string& startFolder)
{
    std::string title = request.title.empty() ? "Open" : DisplayText(request.title);
    GtkWidget* dialog = gtk_file_chooser_dialog_new(title.c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_OPEN,
                                                    "_Cancel", GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT,
                                                    nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_select_multiple(chooser, FALSE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    gtk_window_set_resizable(GTK_WINDOW(dialog), TRUE);
    if (!startFolder.empty())
        gtk_file_chooser_set_current_folder(chooser, startFolder.c_str());
    AddFilters(chooser, request.filter);
    Place(GTK_WINDOW(dialog), request);
    return dialog;
}

} // namespace

std::u16string ShowOpenFileDialog(const OpenFileDialog& request, int32_t& count, std::vector<int32_t>* chosen)
{
    count = 0;
    if (!StartGtk())
        return {};
    std::string before = CurrentDirectory();
    std::string folder = request.folder.empty() ? before : NarrowWide(request.folder);
    OpenRun run;
    run.flags = request.flags;
    run.defaultExtension = NarrowWide(request.defaultExtension);
    GtkWidget* dialog = NewChooser(request, folder);
    if (!request.choices.empty())
        gtk_file_chooser_set_extra_widget(GTK_FILE_CHOOSER(dialog), NewChoiceRow(request.choices, run));
    g_signal_connect(dialog, "response", G_CALLBACK(OnResponse), &run);
    g_signal_connect(dialog, "key-press-event", G_CALLBACK(OnKeyPress), nullptr);
    ShowStartName(dialog, request.startName);
    RunDialogUntil(dialog, &run.done);
    // GTK leaves the current directory alone; it is put back all the same if
    // anything in the dialog moved it.
    if (!before.empty() && CurrentDirectory() != before)
        ChangeDirectory(before);
    if (run.chosen.empty())
        return {};
    if (!(request.flags & OFN_NOCHANGEDIR))
        ChangeDirectory(FolderOf(run.chosen));
    count = 1;
    if (chosen)
        *chosen = run.choices;
    return WidenAnsi(run.chosen);
}
