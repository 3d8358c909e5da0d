// The senses in which a drawing's corners and arcs turn, to tell a solution
// that keeps them from a mirror image.
#pragma once

#include <vector>

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

private:
    // From the direction a -> b to the direction c -> d.
    struct Turn {
        Index a = 0;
        Index b = 0;
        Index c = 0;
        Index d = 0;
        bool counter_clockwise = false;
    };
    const System& system_;
    std::vector<Turn> turns_;
};

}  // namespace ovralis
