// The message of an interrupted solve.
#include "solver/interruption.hpp"

namespace ovralis {

const char* SolveInterrupted::what() const noexcept { return "solve interrupted"; }

}  // namespace ovralis
