// How a caller stops a running solve: a poll the engine calls between steps,
// and the exception it throws once the store is back at a consistent point.
#pragma once

#include <exception>
#include <functional>

namespace ovralis {

// Polled by the solve engine between steps (at least every iteration and every damping attempt);
// returns true when the caller wants the solve to stop.
using InterruptPoll = std::function<bool()>;

// Thrown by the engine after an interrupted solve has put the caller's units back and
// propagated the equalities, so the store holds a consistent point.
struct SolveInterrupted : std::exception {
    const char* what() const noexcept override;
};

}  // namespace ovralis
