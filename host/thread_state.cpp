#include "host/thread_state.h"

HostThreadState& ThisThreadState()
{
    static thread_local HostThreadState state;
    return state;
}
