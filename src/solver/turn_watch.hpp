// The senses in which a drawing's corners and arcs turn, to tell a solution
// that keeps them from a mirror image.
#pragma once

#include <vector>

#include <Eigen/Core>

#include "system/system.hpp"

namespace ovralis {

// Records, at the entities' values when it is made, the sense of every
// clear turn: at each point where two lines meet (sharing the point, or
// joined to it by coincidences), from one line's far end to the other's;
// from each arc's start to its end about its centre; and from one line's
// direction to the other's for every angle and perpendicular constraint,
// whose equation holds either way round. A turn counts when the
// sine of its angle is at least a tenth, so that a drawn-straight corner,
// which the constraints may bend either way, is not judged. A sketch of more
// than a few thousand points is not watched: there, following a mirrored
// answer back from the drawing costs several times the solve itself.
class TurnWatch {
public:
    explicit TurnWatch(const System& system);

    // Whether some recorded turn now turns clearly the other way.
    bool flipped() const;
    // How many recorded turns now turn clearly the other way.
    std::size_t flips() const;

    // Turns back, in the variable vector x that the entities hold, what
    // turned over: each flipped arc's centre is mirrored across its chord
    // and each flipped corner's meeting point across the line through the
    // corner's two far ends, which keeps their distances to those points.
    // A point that cannot move (fixed) or a chord of no length is left, as
    // are the turns of angle and perpendicular constraints, which have no
    // one point to mirror. Returns whether anything moved.
    bool turn_back(Eigen::VectorXd& x) const;

private:
    // From the direction a -> b to the direction c -> d.
    struct Turn {
        Index a = 0;
        Index b = 0;
        Index c = 0;
        Index d = 0;
        bool counter_clockwise = false;
    };
    bool turned_over(const Turn& turn) const;

    const System& system_;
    std::vector<Turn> turns_;
};

}  // namespace ovralis
