// bench_show_file SOURCE: the program's run after the dialog (convert, show
// the written file full screen, wait for a key), for measuring a window that
// waits and the time from the dialog's end to a settled screen. It prints
// "ready" on stdout at the moment the dialog would have closed: the process
// has started, its libraries are loaded and it talks to the display.
#include <unistd.h>

#include <cstdio>

#include "app/main_flow.h"
#include "host/services.h"
#include "platform/display.h"
#include "platform/memory.h"

int main(int argc, char** argv)
{
    if (argc < 2 || !DisplayAvailable()) {
        std::fputs("usage: bench_show_file SOURCE (with a display)\n", stderr);
        return 2;
    }
    ReuseFreedMemory();
    EnterThread(nullptr);
    std::puts("ready");
    std::fflush(stdout);
    int32_t code = fConvertAndShow(argv[1]);
    LeaveThread(nullptr);
    std::fflush(nullptr);
    _exit(code);
}
