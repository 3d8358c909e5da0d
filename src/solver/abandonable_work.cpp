// A worker thread per piece of work, and a caller that waits for it in short
// slices so that it can poll between them.
#include "solver/abandonable_work.hpp"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace ovralis {
namespace {

// Shorter than the poll's own interval, so that every poll that is due is asked.
constexpr std::chrono::milliseconds kWaitSlice{5};

// Shared by the caller and the worker, so that whichever lets go last frees it.
struct Completion {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
};

}  // namespace

void run_abandonable(const std::function<void()>& work, const InterruptPoll& interrupted) {
    if (!interrupted) {
        work();
        return;
    }
    const auto completion = std::make_shared<Completion>();
    std::thread worker;
    try {
        // The worker gets copies of `work` and `completion`, nothing of the caller's.
        // It throws nothing, so it never needs the runtime's exception state.
        worker = std::thread([work, completion]() noexcept {
            work();
            const std::lock_guard<std::mutex> lock(completion->mutex);
            completion->done = true;
            completion->finished.notify_all();
        });
    } catch (const std::system_error&) {
        // No thread to be had (the process's thread or memory limit): the work
        // runs here, uninterruptible but complete.
        work();
        return;
    }
    // Joined once the work is done; left to run on when anything (the
    // interrupt, or a poll that fails) ends the wait early.
    struct DetachUnlessJoined {
        std::thread& worker;
        ~DetachUnlessJoined() {
            if (worker.joinable()) worker.detach();
        }
    } leave_behind{worker};
    std::unique_lock<std::mutex> lock(completion->mutex);
    while (!completion->finished.wait_for(lock, kWaitSlice, [&] { return completion->done; })) {
        lock.unlock();
        throw_if_interrupted(interrupted);
        lock.lock();
    }
    lock.unlock();
    worker.join();
}

}  // namespace ovralis
