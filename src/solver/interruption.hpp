// How a caller stops a running solve: a poll the engine calls between steps,
// and the exception it throws once the store is back at a consistent point.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>

namespace ovralis {

// Polled by the solve engine between steps (at least every iteration and every damping attempt);
// returns true when the caller wants the solve to stop.
using InterruptPoll = std::function<bool()>;

// Thrown by the engine after an interrupted solve has put the caller's units back and
// propagated the equalities, so the store holds a consistent point; thrown as well by
// the other long calls that take a poll (the analysis, the drawing), which change nothing.
struct SolveInterrupted : std::exception {
    const char* what() const noexcept override;
};

// Throws SolveInterrupted when there is a poll and it answers true.
void throw_if_interrupted(const InterruptPoll& interrupted);

// How many short steps of a loop (an entity drawn, a constraint judged) may pass
// between two polls: the poll reads a clock, which would cost more than such a step.
inline constexpr std::size_t kStepsPerPoll = 1024;

}  // namespace ovralis
