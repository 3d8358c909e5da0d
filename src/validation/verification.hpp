#pragma once

#include <string>
#include <vector>

#include "solver/interruption.hpp"
#include "system/system.hpp"
#include "validation/geometry_checks.hpp"

namespace ovralis {

enum class Verdict { Correct, ResidualTooHigh, DegenerateGeometry, WrongBranch };

// "Correct", "ResidualTooHigh", "DegenerateGeometry", "WrongBranch".
const char* verdict_text(Verdict verdict);

struct VerificationCheck {
    std::string name;
    std::string detail;
    bool passed = false;
};

struct VerificationReport {
    std::vector<VerificationCheck> checks;
    std::vector<GeometryWarning> warnings;
    double max_residual = 0.0;
    double tolerance = 0.0;
    Verdict verdict = Verdict::Correct;
};

// Inspects the store as it stands (validates references first; never modifies).
// `interrupted` is polled while the constraints are checked; once it answers
// true, SolveInterrupted is thrown.
VerificationReport verify(const System& system, double tolerance,
                          const InterruptPoll& interrupted = {});

// "[{verdict}] max_residual={:.2e} tol={:.2e} checks={passed}/{total} passed".
std::string summary_line(const VerificationReport& report);

}  // namespace ovralis
