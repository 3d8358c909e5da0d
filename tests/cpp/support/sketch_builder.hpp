// Builders shared by the C++ tests: a constraint from its fields, a sketch
// written as lists or grown by coordinates, and the text of an expected error.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "system/system.hpp"

namespace ovralis {

// A constraint of `kind` with its index fields and its real fields, each in
// the kind's declared order; fields left out are zero.
Constraint constraint(ConstraintKind kind, std::array<Index, 3> index,
                      std::array<double, 2> value = {});

// The lists of a test sketch. Written with designated initialisers (every list
// left out is empty), grown by the helpers below, or both; it converts to a
// System with the default settings wherever one is expected.
struct Sketch {
    std::vector<Point> points = {};
    std::vector<Line> lines = {};
    std::vector<Circle> circles = {};
    std::vector<Arc> arcs = {};
    std::vector<Ellipse> ellipses = {};
    std::vector<ArcOfEllipse> arcs_of_ellipse = {};
    std::vector<Constraint> constraints = {};

    // Each helper adds one entity, after the new points it is drawn through,
    // and returns the entity's index.
    Index point(double x, double y, bool fixed = false);
    Index line(Index p1, Index p2);
    Index line(double ax, double ay, double bx, double by);
    Index circle(double cx, double cy, double radius);
    Index arc(double cx, double cy, double sx, double sy, double ex, double ey, double radius);
    Index ellipse(double cx, double cy, double fx, double fy, double radmin);
    Index arc_of_ellipse(double cx, double cy, double fx, double fy, double radmin, double sx,
                         double sy, double ex, double ey);

    void constrain(ConstraintKind kind, std::array<Index, 3> index,
                   std::array<double, 2> value = {});

    operator System() const;
};

// The message of the `Error` that `call` throws. A call that throws nothing
// fails the test and gives "<no error>"; an error of another type propagates.
template <class Error, class Call>
std::string error_text(Call&& call) {
    try {
        std::forward<Call>(call)();
    } catch (const Error& error) {
        return error.what();
    }
    ADD_FAILURE() << "the call threw no error";
    return "<no error>";
}

}  // namespace ovralis
