#include <unistd.h>

#include <cstdio>

#include "app/startup.h"

int main()
{
    int exitCode = fStartUp();
    // Like ExitProcess: the result window's thread ends with the process,
    // without running static destructors under its feet.
    std::fflush(nullptr);
    _exit(exitCode);
}
