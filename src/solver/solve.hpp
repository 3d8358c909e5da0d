// The solve step behind System.solve, the solve engine, and what they report.
#pragma once

#include <cstdint>

#include "solver/interruption.hpp"
#include "system/system.hpp"

namespace ovralis {

enum class SolveMethod { Automatic, DogLeg, Bfgs };

enum class SolveOutcome {
    Converged,
    IterationLimit,
    DampingLimit,
    NoFreeVariablesNotSatisfied,
    NonFinite,
    // The method's own test passed but some constraint does not hold: the
    // full residual, eliminated kinds included, is not within tol (an
    // equality group holding two different fixed values), or a geometric
    // error is not within its tolerance (convergence_judge.hpp).
    ConstraintsNotSatisfied,
};

// What the solve engine reports about one run of a method.
struct SolveReport {
    bool converged = false;
    SolveOutcome outcome = SolveOutcome::IterationLimit;
    std::uint64_t iterations = 0;
};

// What System.solve hands to Python.
struct SolveResult {
    bool converged = false;
    std::uint64_t iterations = 0;
    double max_residual = 0.0;
    double residual_cost = -0.0;
};

// The solve step: validates references (InvalidReference before anything
// changes), runs the engine with method Automatic and measures the full
// residual afterwards.
SolveResult solve(System& system, std::uint64_t max_iter, double tol,
                  const InterruptPoll& interrupted = {});

// Validates references, prepares the system (variables, normalisation,
// propagation), runs one method, and restores the caller's units. The
// entities hold the result. When `interrupted` asks to stop, the store is put
// back at the method's best point in the caller's units and SolveInterrupted
// is thrown.
SolveReport solve_engine(System& system, std::uint64_t max_iter, SolveMethod method, double tol,
                         const InterruptPoll& interrupted = {});

}  // namespace ovralis
