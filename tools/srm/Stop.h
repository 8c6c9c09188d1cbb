#pragma once
#include <csignal>

// Set by SIGTERM, SIGINT or SIGHUP. The work checks it between chunks and between
// items, so a cancel is obeyed within one chunk's write.
extern volatile std::sig_atomic_t g_stopSignal;

void installStopHandlers();

// Ends the process the way the stop signal would have, so the parent sees it.
[[noreturn]] void dieOfStopSignal();
