// The two entry points of persistence: a store to a JSON document and back.
#pragma once

#include <string>
#include <string_view>

#include "system/system.hpp"

namespace ovralis {

// The whole store as one compact JSON document.
std::string to_json(const System& system);

// A new store from a document; raises DocumentError with the reader's message
// (ending " at line {} column {}" where the position is known). The loaded
// store uses central differences (analytic_jacobian false).
System from_json(std::string_view text);

}  // namespace ovralis
