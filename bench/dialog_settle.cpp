// bench_dialog_settle COMMAND...: the screen as the user sees it after a
// key in a dialog. Reads the middle row and column of the root window, runs
// COMMAND (the key, for instance `xdotool key Return`) and waits for it, then
// reads the same lines every 2 ms until they have not changed for 1.5 s.
// Prints two figures in milliseconds from the command's end: the first
// change (the dialog going) and the last change (the picture settled).
// With SETTLE_VERBOSE set, every change's time goes to stderr, and the
// command's end on the monotonic clock, to line up with a program's own log.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The raw bytes of both lines: a change in any pixel changes them.
std::vector<char> MiddleLines(Display* display, Window root, int width, int height)
{
    std::vector<char> lines;
    for (XImage* image : {XGetImage(display, root, 0, height / 2, width, 1, AllPlanes, ZPixmap),
                          XGetImage(display, root, width / 2, 0, 1, height, AllPlanes, ZPixmap)}) {
        if (!image)
            continue;
        for (int y = 0; y < image->height; ++y) {
            const char* row = image->data + static_cast<size_t>(y) * image->bytes_per_line;
            lines.insert(lines.end(), row, row + (image->width * image->bits_per_pixel + 7) / 8);
        }
        XDestroyImage(image);
    }
    return lines;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: bench_dialog_settle COMMAND...\n", stderr);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("bench_dialog_settle: no display\n", stderr);
        return 2;
    }
    Window root = DefaultRootWindow(display);
    int width = DisplayWidth(display, DefaultScreen(display));
    int height = DisplayHeight(display, DefaultScreen(display));
    std::vector<char> last = MiddleLines(display, root, width, height);

    pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fputs("bench_dialog_settle: the command failed\n", stderr);
        return 1;
    }
    bool verbose = std::getenv("SETTLE_VERBOSE") != nullptr;
    Clock::time_point start = Clock::now();
    Clock::time_point first = start, changed = start;
    if (verbose)
        std::fprintf(stderr, "command ended at %.1f ms of the monotonic clock\n", Ms(start.time_since_epoch()));
    bool everChanged = false;
    while (Clock::now() - (everChanged ? changed : start) <
           std::chrono::milliseconds(everChanged ? 1500 : 20000)) {
        std::vector<char> now = MiddleLines(display, root, width, height);
        if (now != last) {
            changed = Clock::now();
            if (verbose)
                std::fprintf(stderr, "change at %.0f ms\n", Ms(changed - start));
            if (!everChanged)
                first = changed;
            everChanged = true;
            last.swap(now);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!everChanged) {
        std::fputs("bench_dialog_settle: the screen never changed\n", stderr);
        return 1;
    }
    std::printf("%.0f %.0f\n", Ms(first - start), Ms(changed - start));
    return 0;
}
