#pragma once
// GTK for the dialogs: started once, on the X11 backend, and only ever used
// from the main thread.
#include <gtk/gtk.h>

// Starts GTK when needed; false without a display or off the main thread.
bool StartGtk();

// Shows the dialog, runs GTK until its "response" handlers have ended it
// (*done set), then destroys it and lets the server see it go.
void RunDialogUntil(GtkWidget* dialog, const bool* done);
