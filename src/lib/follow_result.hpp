#pragma once

// FollowResult: a read-only copy of what System.follow reports.

#include "lib/py_ref.hpp"
#include "solver/follow.hpp"

namespace ovralis::py {

PyTypeObject* create_follow_result_type();
Ref wrap_follow_result(const FollowResult& result);

}  // namespace ovralis::py
