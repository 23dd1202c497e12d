#include <unistd.h>

#include <cstdio>

#include "app/run.h"

int main(int argc, char** argv)
{
    int exitCode = fRun(argc, argv);
    // Like ExitProcess: the result window's thread ends with the process,
    // without running static destructors under its feet.
    std::fflush(nullptr);
    _exit(exitCode);
}
