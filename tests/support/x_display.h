#pragma once
// The tests' own connection to the X server, one for the whole test program
// and shared by its threads. StartXServer opens it on the main thread before
// any code under test runs: a connection opened while GTK starts could hang
// both (GDK grabs the server then and takes Xlib's global lock inside the
// grab, which XOpenDisplay holds until the server answers). Errors on it are
// ignored, since windows come and go while the tests look at them.
#include <X11/Xlib.h>

namespace sgtest {

// nullptr when there is no X server.
Display* TestDisplay();

} // namespace sgtest
