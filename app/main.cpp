#include <cstdio>

#include "app/run.h"
#include "platform/os.h"
#include "platform/temporary_files.h"

int main(int argc, char** argv)
{
    // However the run is interrupted, no hidden temporary of a save stays.
    RemoveTemporariesOnFatalSignals();
    int exitCode = fRun(argc, argv);
    // Like ExitProcess: the result window's thread ends with the process,
    // without running static destructors under its feet.
    std::fflush(nullptr);
    OsEndProcess(exitCode);
}
