#pragma once

// Whether a redundant constraint holds, judged as a solve judges convergence,
// without the all-pairs length scale wherever that cannot change the answer.

#include "solver/interruption.hpp"
#include "system/system.hpp"

namespace ovralis {

// A constraint holds when its geometric error (a length relative to the
// solve's length scale, or an angle in radians) is within
// geometric_tolerance(tol): after a solve that converged with the same tol,
// every constraint holds.
//
// The solve's length scale, the mean point spacing, costs a pass over all
// pairs of points. It lies between n/(n-1) m and 2 m, with m the mean distance
// of the points from their centroid (the triangle inequality, both ways), and
// the judgement changes monotonically with the scale (an error is a length
// over the scale or an angle that does not depend on it, against a tolerance
// that does not grow with the scale). So when both bounds agree, so does the
// exact scale, which is computed only for a constraint that lies in between.
class ConflictJudge {
public:
    // `interrupted` is polled while the exact scale is computed, if it is.
    ConflictJudge(const System& system, double tol, const InterruptPoll& interrupted = {});

    bool holds(const Constraint& c);
    // An equation holds when its relative error (equation_error) is within
    // the same tolerance, which depends on the scale only through rounding.
    bool holds(const Equation& e);

private:
    // A length scale with the tolerance that goes with it.
    struct Measure {
        double scale = 0.0;
        double tolerance = 0.0;
    };

    // Below it, length_scale falls back to 1.
    static constexpr double kMinScale = 1e-12;

    Measure measure(double scale) const;
    bool holds_in(const Constraint& c, const Measure& m) const;
    bool holds_in(const Equation& e, const Measure& m) const;
    template <typename Item>
    bool holds_item(const Item& item);

    const System& system_;
    double tol_;
    InterruptPoll interrupted_;
    bool bracketed_ = false;
    Measure low_;
    Measure high_;
    Measure exact_;  // scale 0 until needed
};

}  // namespace ovralis
