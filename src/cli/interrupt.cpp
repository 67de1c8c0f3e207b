#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace qv::cli {

namespace {

std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler may only touch a lock-free flag");

extern "C" void onInterrupt(int) { requested.store(true, std::memory_order_relaxed); }

}  // namespace

void installInterruptHandler()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // A second Ctrl+C ends the tool at once, for when a step does not stop.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

bool interruptRequested() { return requested.load(std::memory_order_relaxed); }

}  // namespace qv::cli
