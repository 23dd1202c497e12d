#include "platform/display.h"

#include "platform/x11_threads.h"

bool DisplayAvailable()
{
    return ThreadDisplay() != nullptr;
}
