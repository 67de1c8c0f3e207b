#include "cli/interrupt.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

#include "codec/codec_runtime.h"
#include "settings/replacement_file.h"

namespace qv::cli {

namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler may only touch a lock-free flag");

extern "C" void onInterrupt(int signal)
{
    int none = 0;
    if (received.compare_exchange_strong(none, signal))
        return;
    // The second signal: nothing else may be waited for.
    removeTemporaryFilesNow();
    ::_exit(128 + signal);
}

}  // namespace

void installInterruptHandler()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool interruptRequested() { return received.load(std::memory_order_relaxed) != 0; }

int interruptExitCode() { return 128 + received.load(std::memory_order_relaxed); }

void endInterruptedNow()
{
    removeTemporaryFilesNow();
    // A stuck decoder may hold the stream captured; the line must reach the user.
    codec::endLibraryOutputCaptureNow();
    std::fputs(kInterruptedLine, stderr);
    std::fflush(stderr);
    ::_exit(interruptExitCode());
}

}  // namespace qv::cli
