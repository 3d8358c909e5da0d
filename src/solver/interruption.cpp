// The message of an interrupted solve, and the poll that throws it.
#include "solver/interruption.hpp"

namespace ovralis {

const char* SolveInterrupted::what() const noexcept { return "solve interrupted"; }

void throw_if_interrupted(const InterruptPoll& interrupted) {
    if (interrupted && interrupted()) throw SolveInterrupted{};
}

}  // namespace ovralis
