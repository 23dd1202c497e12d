// bench_screen_settle COMMAND...: starts the command and reads the middle
// row and column of the root window every 5 ms; when they have not changed
// for 1.5 s, prints the milliseconds from the command's first line on stdout
// (the moment its dialog would have closed) to their last change, ends the
// command and exits. For the time from the dialog's end to the picture
// settled on the screen.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<unsigned long> MiddleLines(Display* display, Window root, int width, int height)
{
    std::vector<unsigned long> lines;
    XImage* row = XGetImage(display, root, 0, height / 2, width, 1, AllPlanes, ZPixmap);
    XImage* column = XGetImage(display, root, width / 2, 0, 1, height, AllPlanes, ZPixmap);
    for (int x = 0; row && x < width; ++x)
        lines.push_back(XGetPixel(row, x, 0));
    for (int y = 0; column && y < height; ++y)
        lines.push_back(XGetPixel(column, 0, y));
    if (row)
        XDestroyImage(row);
    if (column)
        XDestroyImage(column);
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: bench_screen_settle COMMAND...\n", stderr);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("bench_screen_settle: no display\n", stderr);
        return 2;
    }
    Window root = DefaultRootWindow(display);
    int width = DisplayWidth(display, DefaultScreen(display));
    int height = DisplayHeight(display, DefaultScreen(display));
    std::vector<unsigned long> last = MiddleLines(display, root, width, height);

    int ready[2];
    if (pipe(ready) != 0)
        return 2;
    pid_t child = fork();
    if (child == 0) {
        dup2(ready[1], STDOUT_FILENO);
        close(ready[0]);
        close(ready[1]);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    close(ready[1]);
    char first;
    if (read(ready[0], &first, 1) != 1) {
        std::fputs("bench_screen_settle: the command said nothing\n", stderr);
        return 1;
    }
    Clock::time_point start = Clock::now();
    Clock::time_point changed = start;
    bool everChanged = false;
    while (Clock::now() - (everChanged ? changed : start) < std::chrono::milliseconds(everChanged ? 1500 : 20000)) {
        std::vector<unsigned long> now = MiddleLines(display, root, width, height);
        if (now != last) {
            changed = Clock::now();
            everChanged = true;
            last.swap(now);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    if (!everChanged) {
        std::fputs("bench_screen_settle: the screen never changed\n", stderr);
        return 1;
    }
    std::printf("%.0f\n", std::chrono::duration<double, std::milli>(changed - start).count());
    return 0;
}
