#include "Stop.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

volatile std::sig_atomic_t g_stopSignal = 0;

namespace {
void onStop(int sig) { g_stopSignal = sig; }
}  // namespace

void installStopHandlers()
{
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    // No SA_RESTART: a write blocked on a slow device returns EINTR and the loop
    // sees the flag at once.
    sa.sa_flags = 0;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    // A reader of -v output that goes away must not kill us halfway through a file.
    ::signal(SIGPIPE, SIG_IGN);
}

void dieOfStopSignal()
{
    const int sig = g_stopSignal ? g_stopSignal : SIGTERM;
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    std::_Exit(128 + sig);
}
