// The geometry validity checks run by verification: degenerate sizes, lines,
// arcs and ellipses, reported as warnings.
#pragma once

#include <string>
#include <vector>

#include "system/system.hpp"

namespace ovralis {

enum class WarningCategory {
    NonPositiveSize,
    ZeroLengthLine,
    ArcInconsistent,
    EllipseInconsistent
};

struct GeometryWarning {
    WarningCategory category;
    Index entity;
    std::string message;
};

// Degenerate circles, arcs, lines and ellipses, in seven passes. References
// must have been validated.
std::vector<GeometryWarning> check_geometry(const System& system);

}  // namespace ovralis
