#include "solver/alternatives.hpp"

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <utility>

#include "solver/convergence_judge.hpp"
#include "solver/follow.hpp"
#include "solver/normalisation.hpp"
#include "solver/solve.hpp"
#include "system/dof.hpp"
#include "system/references.hpp"
#include "validation/verification.hpp"

namespace ovralis {
namespace {

// Candidates tried at most, whatever the sketch's size.
constexpr std::size_t kMostCandidates = 64;
// Neighbours of one point whose pairs give mirror lines.
constexpr std::size_t kMostNeighbours = 6;
// Perturbed starts for a sketch with no degrees of freedom, and their size
// relative to the mean point spacing.
constexpr int kPerturbations = 8;
constexpr double kPerturbationSize = 0.5;
// Two solutions are the same when no coordinate or radius differs by more
// than this many times the solve's tolerance, relative to the length scale.
constexpr double kDistinctFactor = 1e3;
// The residual tolerance the verification is asked with (its own default).
constexpr double kVerificationTolerance = 1e-6;

// The points an entity of a constraint field stands on.
void add_points_of(const System& s, FieldType type, Index index, std::set<Index>& out) {
    switch (type) {
        case FieldType::Point: out.insert(index); break;
        case FieldType::Line: out.insert({s.lines[index].p1, s.lines[index].p2}); break;
        case FieldType::Circle: out.insert(s.circles[index].center); break;
        case FieldType::Arc:
            out.insert({s.arcs[index].center, s.arcs[index].start, s.arcs[index].end});
            break;
        case FieldType::Ellipse:
            out.insert({s.ellipses[index].center, s.ellipses[index].focus1});
            break;
        case FieldType::ArcOfEllipse: {
            const ArcOfEllipse& e = s.arcs_of_ellipse[index];
            out.insert({e.center, e.focus1, e.start, e.end});
            break;
        }
        case FieldType::Real: break;
    }
}

std::set<Index> points_of(const System& s, const Constraint& c) {
    std::set<Index> points;
    const KindInfo& info = kind_info(c.kind);
    for (std::uint8_t f = 0; f < info.field_count; ++f) {
        const FieldSpec& field = info.fields[f];
        if (field.type != FieldType::Real) add_points_of(s, field.type, c.index[field.slot], points);
    }
    return points;
}

// For every point, the points it shares a constraint with.
std::vector<std::set<Index>> neighbours(const System& s) {
    std::vector<std::set<Index>> out(s.points.size());
    for (const Constraint& c : s.constraints) {
        const std::set<Index> points = points_of(s, c);
        for (const Index p : points) {
            for (const Index q : points) {
                if (p != q) out[p].insert(q);
            }
        }
    }
    return out;
}

Point reflected(const Point& p, const Point& a, const Point& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    const double t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2;
    const double fx = a.x + t * dx;
    const double fy = a.y + t * dy;
    return {2.0 * fx - p.x, 2.0 * fy - p.y, p.fixed};
}

// Starting copies with one free point mirrored over a line of two neighbours.
std::vector<System> reflected_starts(const System& system) {
    std::vector<System> starts;
    const std::vector<std::set<Index>> around = neighbours(system);
    for (Index p = 0; p < system.points.size(); ++p) {
        if (system.points[p].fixed) continue;
        const std::vector<Index> near(around[p].begin(), around[p].end());
        const std::size_t count = std::min(near.size(), kMostNeighbours);
        for (std::size_t i = 0; i < count; ++i) {
            for (std::size_t j = i + 1; j < count; ++j) {
                const Point& a = system.points[near[i]];
                const Point& b = system.points[near[j]];
                if (a.x == b.x && a.y == b.y) continue;
                if (starts.size() >= kMostCandidates) return starts;
                starts.push_back(system);
                starts.back().points[p] = reflected(system.points[p], a, b);
            }
        }
    }
    return starts;
}

std::vector<System> perturbed_starts(const System& system, double scale) {
    std::vector<System> starts;
    std::mt19937_64 random(20261209);
    std::normal_distribution<double> offset(0.0, kPerturbationSize * scale);
    for (int k = 0; k < kPerturbations; ++k) {
        System start = system;
        for (Point& p : start.points) {
            if (p.fixed) continue;
            p.x += offset(random);
            p.y += offset(random);
        }
        starts.push_back(std::move(start));
    }
    return starts;
}

// The largest difference of a coordinate or a radius between two copies.
double difference(const System& a, const System& b) {
    double largest = 0.0;
    for (std::size_t i = 0; i < a.points.size(); ++i) {
        largest = std::max({largest, std::abs(a.points[i].x - b.points[i].x),
                            std::abs(a.points[i].y - b.points[i].y)});
    }
    for (std::size_t i = 0; i < a.circles.size(); ++i) {
        largest = std::max(largest, std::abs(a.circles[i].radius - b.circles[i].radius));
    }
    for (std::size_t i = 0; i < a.arcs.size(); ++i) {
        largest = std::max(largest, std::abs(a.arcs[i].radius - b.arcs[i].radius));
    }
    return largest;
}

// The verification's checks of what the residuals cannot see: an angle
// measured the other way round, a collapsed line.
bool verified(const System& candidate) {
    const Verdict verdict = verify(candidate, kVerificationTolerance).verdict;
    return verdict != Verdict::WrongBranch && verdict != Verdict::DegenerateGeometry;
}

// The candidate brought onto the constraints: followed there, else solved.
bool settle(System& candidate, double tol, const InterruptPoll& interrupted) {
    const System start = candidate;
    if (follow(candidate, 200, tol, interrupted).converged) return verified(candidate);
    candidate = start;
    return solve(candidate, 200, tol, interrupted).converged &&
           geometry_holds(candidate, tol, length_scale(candidate)) && verified(candidate);
}

}  // namespace

std::vector<System> alternatives(const System& system, std::size_t limit, double tol,
                                 const InterruptPoll& interrupted) {
    validate_references(system);
    const double scale = length_scale(system);
    const double distinct = kDistinctFactor * std::max(tol, 1e-12) * scale;
    std::vector<System> starts = reflected_starts(system);
    if (analyze_dof(system).dof == 0) {
        std::vector<System> perturbed = perturbed_starts(system, scale);
        std::move(perturbed.begin(), perturbed.end(), std::back_inserter(starts));
    }
    std::vector<std::pair<double, System>> found;
    for (System& candidate : starts) {
        if (!settle(candidate, tol, interrupted)) continue;
        const double distance = difference(candidate, system);
        if (distance <= distinct) continue;
        const bool seen = std::any_of(found.begin(), found.end(), [&](const auto& other) {
            return difference(other.second, candidate) <= distinct;
        });
        if (!seen) found.emplace_back(distance, std::move(candidate));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<System> out;
    for (std::size_t i = 0; i < found.size() && i < limit; ++i) out.push_back(std::move(found[i].second));
    return out;
}

}  // namespace ovralis
