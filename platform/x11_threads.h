#pragma once
// Xlib and threads: XInitThreads runs once before any other Xlib or GTK call,
// and each thread that talks to the X server has its own Display connection.
// Platform-internal: only platform/ includes this.
#include <X11/Xlib.h>

#include <mutex>

// Calls XInitThreads once per process; safe from any thread.
void InitXThreads();
// This thread's connection to $DISPLAY, opened on first use and closed when
// the thread ends; nullptr when there is no display.
Display* ThreadDisplay();
// Held while ThreadDisplay opens a connection and while GTK starts.
// XOpenDisplay keeps Xlib's process-wide lock until the server answers, and
// the server answers no new client while another one grabs it. GDK grabs the
// server as it starts up and takes that lock inside the grab, so a thread
// connecting just then would leave both waiting for each other for good.
std::mutex& ConnectionLock();
