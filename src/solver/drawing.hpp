// The free values a solve starts from, to give back those that only rounding
// changed.
#pragma once

#include <vector>

#include "system/system.hpp"

namespace ovralis {

// Every point coordinate and radius as the caller left them. Dividing by the
// solve's length scale and multiplying back can change a value's last bit;
// a solve that takes no step puts such values back, so that a sketch that
// holds comes out byte for byte as it went in.
class Drawing {
public:
    explicit Drawing(const System& system);

    // Puts back each value that differs from the saved one by no more than
    // rounding; a value an equality moved further keeps its new value.
    void restore_rounded(System& system) const;

private:
    std::vector<double> values_;
};

}  // namespace ovralis
