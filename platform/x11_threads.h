#pragma once
// Xlib and threads: XInitThreads runs once before any other Xlib or GTK call,
// and each thread that talks to the X server has its own Display connection.
// Platform-internal: only platform/ includes this.
#include <X11/Xlib.h>

// Calls XInitThreads once per process; safe from any thread.
void InitXThreads();
// This thread's connection to $DISPLAY, opened on first use and closed when
// the thread ends; nullptr when there is no display.
Display* ThreadDisplay();
