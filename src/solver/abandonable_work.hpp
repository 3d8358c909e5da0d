// Work that cannot poll (one long library call) made interruptible: it runs on a
// worker thread while the caller polls, and an interrupt leaves it behind.
#pragma once

#include <functional>

#include "solver/interruption.hpp"

namespace ovralis {

// Runs `work` on a worker thread of its own while the calling thread polls
// `interrupted` every few milliseconds, and returns when `work` has finished.
// When the poll answers true, throws SolveInterrupted at once and leaves the
// worker to finish alone, detached. So `work` must own everything it touches
// (capture it by value or through a shared_ptr, never a reference to the
// caller's data), must not throw, and must report its outcome through what it
// owns. Without a poll, or when no thread can be started, `work` runs on the
// calling thread.
void run_abandonable(const std::function<void()>& work, const InterruptPoll& interrupted);

}  // namespace ovralis
