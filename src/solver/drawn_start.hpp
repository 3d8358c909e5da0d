// The drawing as the user left it, before the eliminated equalities were
// made to hold.
#pragma once

#include <Eigen/Core>

#include "system/system.hpp"

namespace ovralis {

// The variable vector with each equality group (a coincidence's two points,
// a horizontal's two heights, ...) at the mean of its members' values as the
// entities hold them now. Called before propagation, this is the drawing
// with every joined point midway between its drawn copies, where
// propagation would move each group to its first-named member. A group held
// at a fixed value has no variable and is left out.
Eigen::VectorXd drawn_start(const System& system);

}  // namespace ovralis
